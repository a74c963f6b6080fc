#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

namespace tagswap::testing {

// A new, empty folder for one test case, removed with the object. A case may
// make it (or any other folder) the working directory; the one that was
// current when the folder was made comes back first, so that the next case
// starts where the program did and the folder is not in use when it goes.
class ScratchFolder {
public:
    ~ScratchFolder() { QDir::setCurrent(m_startDirectory); }

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString startDirectory() const { return m_startDirectory; }

private:
    QString m_startDirectory = QDir::currentPath();
    QTemporaryDir m_dir;
};

} // namespace tagswap::testing

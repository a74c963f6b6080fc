#pragma once

#include <QString>
#include <QStringList>

namespace tagswap {

class SprayMakerPlugin;

// Finds and loads the spray maker's plugin the first time it is asked for; until
// then none of the maker's libraries is in the process.
class SprayMakerLoader {
public:
    // Beside the program, then where its package keeps its private libraries.
    static QStringList programFolders();

    explicit SprayMakerLoader(QStringList folders = programFolders());

    // The maker, loaded on the first call; null with *error saying why when it cannot be.
    SprayMakerPlugin *plugin(QString *error);
    void setFolders(QStringList folders) { m_folders = std::move(folders); }

private:
    QStringList m_folders;
    SprayMakerPlugin *m_plugin = nullptr;
};

} // namespace tagswap

#pragma once

#include <QMutex>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tagswap {

// The names among names (files in folder) whose bytes equal the file at
// installedPath. Sizes are compared first, so only files of the same size are
// read. Empty when that file is missing or cannot be read. gameFilesInUse is
// held while the installed file is open: Windows replaces no file that is open,
// so Change waits for that read, and only for that.
QSet<QString> sameSprays(const QString &folder, const QStringList &names,
                         const QString &installedPath, QMutex &gameFilesInUse);

// The spray a mod has now (its tempdecal.wad, else its pldecal.wad), as the
// spray folder knows it.
struct ModSpray {
    enum class Kind { None, Own, InFolder };
    Kind kind = Kind::None;
    QString name; // when InFolder: the first spray file (*.wad) by name with its bytes
};
ModSpray modSprayNow(const QString &gameDirectory, const QString &mod, const QString &sprayFolder,
                     QMutex &gameFilesInUse);

} // namespace tagswap

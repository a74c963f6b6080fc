#include "installed_spray.h"

#include "file_access.h"
#include "folder_listing.h"
#include "game_paths.h"
#include "replaced_sprays.h"

#include <QDir>
#include <QFileInfo>

namespace tagswap {

namespace {

// Sprays are tens of kilobytes; a larger file is compared no further.
constexpr qint64 kCompareLimit = 16 << 20;

QByteArray contents(const QString &path)
{
    return readWholeFile(path, kCompareLimit).bytes;
}

} // namespace

QSet<QString> sameSprays(const QString &folder, const QStringList &names,
                         const QString &installedPath, QMutex &gameFilesInUse)
{
    QMutexLocker reading(&gameFilesInUse);
    const QFileInfo installed(installedPath);
    if (installedPath.isEmpty() || !installed.isFile() || installed.size() > kCompareLimit)
        return {};
    const QByteArray wanted = contents(installedPath);
    reading.unlock();
    if (wanted.size() != installed.size())
        return {};
    const QStringList same = namesWithBytes(folder, names, wanted);
    return QSet<QString>(same.cbegin(), same.cend());
}

ModSpray modSprayNow(const QString &gameDirectory, const QString &mod, const QString &sprayFolder,
                     QMutex &gameFilesInUse)
{
    const QString installed = installedSprayPath(gameDirectory, mod);
    if (installed.isEmpty() || !isExistingFile(installed))
        return {};
    QStringList names =
        sameSprays(sprayFolder, filesWithSuffix(sprayFolder, u".wad"), installed, gameFilesInUse)
            .values();
    if (names.isEmpty())
        return {ModSpray::Kind::Own, {}};
    names.sort(Qt::CaseInsensitive);
    return {ModSpray::Kind::InFolder, names.constFirst()};
}

} // namespace tagswap

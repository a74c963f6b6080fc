#include "several_mods.h"

#include "file_replace.h"
#include "game_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>

namespace tagswap {

namespace {

bool isGameDirectory(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

QString identity(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

} // namespace

bool isSameMod(const QString &mod, const QString &other)
{
#ifdef Q_OS_WIN
    return mod.compare(other, Qt::CaseInsensitive) == 0;
#else
    return mod == other;
#endif
}

QStringList runnableMods(const QString &gameDirectory)
{
    if (!isGameDirectory(gameDirectory))
        return {};
    const QDir game(gameDirectory);
    QStringList mods = game.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    mods.removeIf([&game](const QString &mod) {
        return !isModFolderName(mod)
               || !isExistingFile(game.filePath(mod + QStringLiteral("/liblist.gam")));
    });
    mods.sort(Qt::CaseInsensitive);
    return mods;
}

QList<ModFolder> modsToOffer(const QString &gameDirectory, const QString &chosenMod,
                             const QStringList &otherGames)
{
    QList<ModFolder> offered;
    QStringList mods = runnableMods(gameDirectory);
    // The player chose it for Change already, so it is offered whatever it holds.
    const bool listed = std::any_of(mods.cbegin(), mods.cend(), [&chosenMod](const QString &mod) {
        return isSameMod(mod, chosenMod);
    });
    if (!listed && isGameDirectory(gameDirectory) && isModFolderName(chosenMod)
        && QFileInfo(QDir(gameDirectory).filePath(chosenMod)).isDir()) {
        mods.append(chosenMod);
        mods.sort(Qt::CaseInsensitive);
    }
    for (const QString &mod : std::as_const(mods))
        offered.append({gameDirectory, mod});
    for (const QString &other : otherGames) {
        if (!isGameDirectory(other) || identity(other) == identity(gameDirectory))
            continue;
        for (const QString &mod : runnableMods(other))
            offered.append({other, mod});
    }
    return offered;
}

QList<ModInstall> installInMods(const QString &source, const QList<ModFolder> &mods,
                                const QString &sprayFolder, const QString &keptFolder,
                                const QDateTime &when, QMutex *gameFilesInUse)
{
    QList<ModInstall> done;
    for (const ModFolder &where : mods) {
        const QMutexLocker replacing(gameFilesInUse);
        done.append({where, installSpray({source, where.gameDirectory, where.mod, sprayFolder,
                                          keptFolder, when})});
    }
    return done;
}

} // namespace tagswap

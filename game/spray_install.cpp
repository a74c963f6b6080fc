#include "spray_install.h"

#include "file_replace.h"
#include "game_paths.h"
#include "platform.h"
#include "replaced_sprays.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tagswap {

namespace {

// The "user" flags tell what the running user may do, not what the file's bits
// say: for root they are always set. They are dropped when setting, ignored when asking.
constexpr QFileDevice::Permissions kWriteBits =
    QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
constexpr QFileDevice::Permissions kWritePermissions = kWriteBits | QFileDevice::WriteUser;

QString tr(const char *text)
{
    return QCoreApplication::translate("SprayInstall", text);
}

constexpr SprayFile kBothFiles[] = {SprayFile::PlDecal, SprayFile::TempDecal};

// Paths in messages as the player's system writes them.
QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// An install that fails replaces nothing, so the copies it kept are of sprays
// still in the game: they go, and the kept folder is as it was.
SprayInstallResult failed(SprayInstallResult result, std::initializer_list<QString> lines)
{
    for (const QString &path : std::as_const(result.kept))
        QFile::remove(path);
    result.kept.clear();
    result.error = joinLines(lines);
    return result;
}

// Fills result.kept; false, with result.error set, when a spray could not be kept.
bool keepWhatIsReplaced(const SprayInstall &request, SprayInstallResult &result)
{
    for (const SprayFile file : kBothFiles) {
        const QString gameFile = sprayDestination(request.gameDirectory, request.mod, file);
        const KeptSpray kept = keepReplacedSpray(gameFile, request.mod, file, {request.sprayFolder},
                                                 request.keptFolder, request.when);
        if (kept.status == KeptSpray::Status::Kept)
            result.kept.append(kept.path);
        if (kept.status == KeptSpray::Status::Failed) {
            result =
                failed(result, {tr("Could not keep a copy of %1 in %2, so nothing was replaced.")
                                    .arg(shown(gameFile), shown(request.keptFolder)),
                                tr("Reason: %1").arg(kept.error)});
            return false;
        }
    }
    return true;
}

// Windows renames nothing over a read-only file, so there the guard comes off
// for the step (and goes back on should it fail). The attribute is the file's,
// so a tempdecal.wad with other names (hard links) loses it under those too.
// Elsewhere the rename ignores the old file's mode and it is never touched: a
// mode change would reach the file's other names, or through a link the file it
// points to.
bool liftsGuardFirst(const QString &tempdecal)
{
#ifdef Q_OS_WIN
    return !QFileInfo(tempdecal).isSymbolicLink() && isWriteGuarded(tempdecal);
#else
    Q_UNUSED(tempdecal);
    return false;
#endif
}

} // namespace

bool isWriteGuarded(const QString &path)
{
    // Read from the permission bits: asking the system whether we may write
    // says yes to root whatever the bits are.
    return QFile::exists(path) && !(QFile::permissions(path) & kWriteBits);
}

bool setWriteGuard(const QString &path, bool guarded, QString *error)
{
    QFile file(path);
    const QFileDevice::Permissions now = file.permissions();
    const QFileDevice::Permissions wanted =
        guarded ? now & ~kWritePermissions : now | QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (!file.setPermissions(wanted)) {
        *error = file.errorString();
        return false;
    }
    if (isWriteGuarded(path) != guarded) {
        *error = tr("The file system does not keep the change.");
        return false;
    }
    return true;
}

SprayInstallResult installSpray(const SprayInstall &request)
{
    SprayInstallResult result;
    // An empty mod text stands for the game directory itself.
    if (!request.mod.isEmpty() && !isModFolderName(request.mod))
        return failed(result,
                      {tr("Could not copy %1 to %2.")
                           .arg(shown(request.source),
                                shown(sprayDestination(request.gameDirectory, request.mod))),
                       tr("Reason: %1").arg(notModFolderName(request.mod))});
    if (!keepWhatIsReplaced(request, result))
        return result;

    const QString pldecal =
        sprayDestination(request.gameDirectory, request.mod, SprayFile::PlDecal);
    const QString tempdecal =
        sprayDestination(request.gameDirectory, request.mod, SprayFile::TempDecal);
    const bool wasGuarded = liftsGuardFirst(tempdecal);
    QString reason;
    if (wasGuarded && !setWriteGuard(tempdecal, false, &reason)) {
        return failed(result,
                      {tr("Could not copy %1 to %2.").arg(shown(request.source), shown(tempdecal)),
                       tr("Reason: %1").arg(reason)});
    }
    QString notReplaced;
    QStringList notPutBack;
    if (!replaceAllWithCopy(request.source, {pldecal, tempdecal}, &notReplaced, &reason,
                            &notPutBack)) {
        if (QString ignored; wasGuarded)
            setWriteGuard(tempdecal, true, &ignored);
        const std::initializer_list<QString> lines = {
            tr("Could not copy %1 to %2.").arg(shown(request.source), shown(notReplaced)),
            tr("Reason: %1").arg(reason)};
        if (notPutBack.isEmpty())
            return failed(result, lines);
        // A file not put back was replaced after all: its kept copy stays.
        result.error = joinLines(lines);
        return result;
    }
    result.installed = true;
    if (!setWriteGuard(tempdecal, true, &reason)) {
        result.warning = joinLines(
            {tr("The spray is installed, but %1 could not be made read-only, so the game's "
                "options screen may overwrite it.")
                 .arg(shown(tempdecal)),
             tr("Reason: %1").arg(reason)});
    }
    return result;
}

} // namespace tagswap

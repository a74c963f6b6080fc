#include "spray_install.h"

#include "file_replace.h"
#include "game_paths.h"
#include "platform.h"
#include "replaced_sprays.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

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
            result.error =
                joinLines({tr("Could not keep a copy of %1 in %2, so nothing was replaced.")
                               .arg(gameFile, QDir::toNativeSeparators(request.keptFolder)),
                           tr("Reason: %1").arg(kept.error)});
            return false;
        }
    }
    return true;
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
    if (!keepWhatIsReplaced(request, result))
        return result;

    const QString pldecal =
        sprayDestination(request.gameDirectory, request.mod, SprayFile::PlDecal);
    const QString tempdecal =
        sprayDestination(request.gameDirectory, request.mod, SprayFile::TempDecal);
    // Windows refuses to replace a read-only file; the guard goes back on below.
    const bool wasGuarded = isWriteGuarded(tempdecal);
    QString reason;
    if (wasGuarded && !setWriteGuard(tempdecal, false, &reason)) {
        result.error = joinLines({tr("Could not copy %1 to %2.").arg(request.source, tempdecal),
                                  tr("Reason: %1").arg(reason)});
        return result;
    }
    QString failed;
    if (!replaceAllWithCopy(request.source, {pldecal, tempdecal}, &failed, &reason)) {
        if (QString ignored; wasGuarded)
            setWriteGuard(tempdecal, true, &ignored);
        result.error = joinLines({tr("Could not copy %1 to %2.").arg(request.source, failed),
                                  tr("Reason: %1").arg(reason)});
        return result;
    }
    result.installed = true;
    if (!setWriteGuard(tempdecal, true, &reason)) {
        result.warning = joinLines(
            {tr("The spray is installed, but %1 could not be made read-only, so the game's "
                "options screen may overwrite it.")
                 .arg(tempdecal),
             tr("Reason: %1").arg(reason)});
    }
    return result;
}

} // namespace tagswap

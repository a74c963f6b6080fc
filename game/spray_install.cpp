#include "spray_install.h"

#include "file_access.h"
#include "file_replace.h"
#include "game_paths.h"
#include "platform.h"
#include "replaced_sprays.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

namespace tagswap {

namespace {

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

// A copy kept of a spray, and where that spray was.
struct KeptCopy {
    QString of;
    QString copy;
};
using KeptCopies = std::vector<KeptCopy>;

bool sameBytes(const QString &a, const QString &b)
{
    const WholeFile first = readWholeFile(a, kMaxKeptSprayBytes);
    return first.status == WholeFile::Status::Read
           && readWholeFile(b, kMaxKeptSprayBytes).bytes == first.bytes;
}

// An install that fails replaces nothing, so the copies it kept are of sprays
// still in the game: they go, and the kept folder is as it was. A copy whose
// spray is no longer where it was (a backup the step cleared) stays.
SprayInstallResult failed(SprayInstallResult result, const KeptCopies &kept,
                          std::initializer_list<QString> lines)
{
    for (const KeptCopy &k : kept) {
        if (sameBytes(k.of, k.copy))
            QFile::remove(k.copy);
    }
    result.kept.clear();
    result.error = joinLines(lines);
    return result;
}

// The sprays the step replaces or clears: each game file, and the backups that
// an earlier step cut short left beside it, which may hold the only copy of a
// spray (a failed put-back names them to the player).
std::vector<std::pair<QString, SprayFile>> sprayPlaces(const SprayInstall &request)
{
    std::vector<std::pair<QString, SprayFile>> places;
    for (const SprayFile file : kBothFiles) {
        const QString gameFile = sprayDestination(request.gameDirectory, request.mod, file);
        places.emplace_back(gameFile, file);
        for (const QString &backup : leftoverBackups(gameFile))
            places.emplace_back(backup, file);
    }
    return places;
}

// Fills kept; false, with result.error set, when a spray could not be kept.
bool keepWhatIsReplaced(const SprayInstall &request, SprayInstallResult &result, KeptCopies &kept)
{
    const auto places = sprayPlaces(request);
    QStringList gone;
    for (const auto &place : places)
        gone << place.first;
    for (const auto &[place, file] : places) {
        // The step writes these very bytes back: nothing of them is lost.
        if (sameBytes(request.source, place))
            continue;
        const KeptSpray spray = keepReplacedSpray(place, request.mod, file, {request.sprayFolder},
                                                  request.keptFolder, request.when, gone);
        if (spray.status == KeptSpray::Status::Kept) {
            kept.push_back({place, spray.path});
            result.kept.append(spray.path);
        }
        if (spray.status == KeptSpray::Status::Failed) {
            result = failed(result, kept,
                            {tr("Could not keep a copy of %1 in %2, so nothing was replaced.")
                                 .arg(shown(place), shown(request.keptFolder)),
                             tr("Reason: %1").arg(spray.error)});
            return false;
        }
    }
    return true;
}

} // namespace

SprayInstallResult installSpray(const SprayInstall &request)
{
    SprayInstallResult result;
    KeptCopies kept;
    // An empty mod text stands for the game directory itself.
    if (!request.mod.isEmpty() && !isModFolderName(request.mod))
        return failed(result, kept,
                      {tr("Could not copy %1 to %2.")
                           .arg(shown(request.source),
                                shown(sprayDestination(request.gameDirectory, request.mod))),
                       tr("Reason: %1").arg(notModFolderName(request.mod))});
    if (!keepWhatIsReplaced(request, result, kept))
        return result;

    const QString pldecal =
        sprayDestination(request.gameDirectory, request.mod, SprayFile::PlDecal);
    const QString tempdecal =
        sprayDestination(request.gameDirectory, request.mod, SprayFile::TempDecal);
    QString reason;
    QString notReplaced;
    QStringList notPutBack;
    if (!replaceAllWithCopy(request.source, {pldecal, tempdecal}, &notReplaced, &reason,
                            &notPutBack)) {
        const std::initializer_list<QString> lines = {
            tr("Could not copy %1 to %2.").arg(shown(request.source), shown(notReplaced)),
            tr("Reason: %1").arg(reason)};
        if (notPutBack.isEmpty())
            return failed(result, kept, lines);
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

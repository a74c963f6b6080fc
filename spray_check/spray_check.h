#pragma once

#include "running_games.h"

#include <QList>
#include <QString>

#include <functional>

namespace tagswap {

// Why a player's spray does not show in game, or shows the old one: every
// reason Tagswap can see from the player's machine, checked for one mod. Only
// reads; setSprayGuard() is the one thing that writes, and only when asked.

enum class SprayCheck { Installed, NotReplaced, Guarded, UploadsAndDownloads, GameNotRunning };
enum class CheckResult { Passed, Failed, Unknown };

struct CheckOutcome {
    SprayCheck check;
    CheckResult result;
    // What was found, as a sentence or two; for a failure it ends with one
    // sentence saying what to do, for Unknown it says why it could not be checked.
    QString detail;
};

// "Installed", "Not replaced by the game"...
QString checkName(SprayCheck check);
// "installed", "not-replaced"...: names for scripts, which stay as they are.
QString checkKey(SprayCheck check);

using ProgramLister = std::function<RunningPrograms(const QStringList &names)>;

struct SprayCheckRequest {
    QString gameDirectory;
    QString mod;
    QString sprayFolder; // the player's sprays, to name the one pldecal.wad holds
    ProgramLister runningPrograms = runningProgramsNamed;
};

// Every check, in the order of SprayCheck.
QList<CheckOutcome> checkSpray(const SprayCheckRequest &request);

// What Change does for the guard and nothing else: makes the mod's tempdecal.wad read-only.
bool setSprayGuard(const QString &gameDirectory, const QString &mod, QString *error);

} // namespace tagswap

#pragma once

#include "file_access.h" // the guard

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tagswap {

// Installing a spray for a mod as both releases of the game read it.
struct SprayInstall {
    QString source;        // the spray file
    QString gameDirectory; // as stored: paths are built from it unchanged
    QString mod;
    QString sprayFolder; // the player's sprays: a copy there counts as kept
    QString keptFolder;  // where a replaced spray that is kept nowhere else goes
    QDateTime when;      // names the kept copies
};

struct SprayInstallResult {
    bool installed = false;
    QString error;    // when not installed: what failed and why, in lines joined by CR LF
    QString warning;  // when installed but the guard could not be set
    QStringList kept; // copies made of replaced sprays
};

// Keeps the sprays it is about to replace (a failure stops everything), then
// replaces <mod>/pldecal.wad and <mod>/tempdecal.wad in one step, and makes
// tempdecal.wad read-only so that the game's options screen cannot overwrite it.
// A spray counts as kept only where a copy of it outlasts the step, and the old
// files an earlier step left beside the game's (see leftoverBackups()) are kept
// too before the step clears them.
// When it fails, the game's files and the kept folder are as they were, unless
// a replaced file could not be put back, or a leftover was cleared: the error
// then says so, and the copy kept of that spray stays.
SprayInstallResult installSpray(const SprayInstall &request);

} // namespace tagswap

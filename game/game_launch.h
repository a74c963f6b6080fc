#pragma once

#include "command_line.h"
#include "platform.h"

#include <QString>

namespace tagswap {

// What decides how the game is started, read from the system once.
struct LaunchEnvironment {
    QString home;           // the player's home folder
    QString steamProgram;   // "steam" on the search path, or empty
    QString flatpakProgram; // "flatpak" on the search path, or empty

    static LaunchEnvironment ofThisSystem();
};

// How to start the game in gameDirectory with the player's arguments, passed on
// unchanged. The folder's hl.exe (svencoop.exe in Sven Co-op's folder) when it
// can run here (always on Windows); otherwise on Linux through the Steam client
// that holds the game (the Flatpak one when the folder lies in its data), as the
// app that owns the mod the arguments' -game names (Half-Life for none or
// another; Sven Co-op for its folder), and without a Steam client hl.sh (svencoop.sh).
ProgramLaunch gameLaunch(const QString &gameDirectory, const CommandLine &arguments,
                         const LaunchEnvironment &environment);

} // namespace tagswap

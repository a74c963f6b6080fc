#pragma once

#include <QString>
#include <QStringList>

namespace tagswap {

// Paths into the game directory are plain concatenations: nothing is trimmed
// or normalised, so a stored directory is used exactly as the player typed it.

// The two spray files of a mod: the original release reads pldecal.wad, the
// Steam release (Windows, Linux, the Steam Deck) reads tempdecal.wad.
enum class SprayFile { PlDecal, TempDecal };

// <game directory>/<mod>/pldecal.wad, the spray the original release loads for that mod.
QString sprayDestination(const QString &gameDirectory, const QString &mod);
// <game directory>/<mod>/<pldecal.wad or tempdecal.wad>
QString sprayDestination(const QString &gameDirectory, const QString &mod, SprayFile file);
// <mod folder>/pldecal.wad and <mod folder>/tempdecal.wad: the files that
// installing a spray replaces. None for an empty folder text.
QStringList modSprayFiles(const QString &modFolder);
// "pldecal" or "tempdecal"
QString sprayFileStem(SprayFile file);
// Whether a mod text names one folder inside the game directory: not empty, not
// "." or "..", and free of separators and NULs (on Windows, of ':' too, which
// names a drive or a file's stream). Every other character is the mod's own.
bool isModFolderName(const QString &mod);
// "<mod> is not a mod folder name."
QString notModFolderName(const QString &mod);
// The spray a mod shows now: its tempdecal.wad, which the Steam release reads,
// else its pldecal.wad. Empty when the game directory or the mod is not known,
// or when the mod text is no folder name.
QString installedSprayPath(const QString &gameDirectory, const QString &mod);

// The engine's games whose folders Tagswap takes: Half-Life's, which the Steam
// apps of its mods share, and Sven Co-op's, a game of its own.
enum class EngineGame { None, HalfLife, SvenCoop };

// <game directory>/hl.exe, or svencoop.exe for Sven Co-op
QString gameExecutable(const QString &gameDirectory, EngineGame game = EngineGame::HalfLife);
// <game directory>/hl_linux, the native Linux game (also what a Steam Deck runs), or
// svencoop_linux.
QString linuxGameExecutable(const QString &gameDirectory, EngineGame game = EngineGame::HalfLife);
// <game directory>/hl.sh, the script that starts hl_linux with its libraries, or svencoop.sh.
QString linuxGameScript(const QString &gameDirectory, EngineGame game = EngineGame::HalfLife);
// The text less one trailing separator, if it ends in one; once, not repeatedly.
QString withoutTrailingSeparator(const QString &text);

// Which game's program the folder holds: Half-Life's hl.exe (on Linux also
// hl_linux) before Sven Co-op's svencoop.exe (on Linux also svencoop_linux).
EngineGame gameInFolder(const QString &gameDirectory);
// Whether the folder holds the program of one of those games.
bool holdsGameProgram(const QString &gameDirectory);
// Why a folder is no game directory, for messages: "hl.exe does not reside in
// <folder>", or on Linux that neither program does. Half-Life's names only, as
// players of every game of the engine have always been told.
QString gameProgramMissing(const QString &gameDirectory);

} // namespace tagswap

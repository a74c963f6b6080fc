#pragma once

#include <QString>

namespace tagswap {

// Paths into the game directory are plain concatenations: nothing is trimmed
// or normalised, so a stored directory is used exactly as the player typed it.

// <game directory>/<mod>/pldecal.wad, the spray the game loads for that mod.
QString sprayDestination(const QString &gameDirectory, const QString &mod);
// <game directory>/hl.exe
QString gameExecutable(const QString &gameDirectory);
// The text less one trailing separator, if it ends in one; once, not repeatedly.
QString withoutTrailingSeparator(const QString &text);

} // namespace tagswap

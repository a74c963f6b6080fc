#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace tagswap {

// The spray a mod shows now: <game directory>/<mod>/tempdecal.wad, which the
// Steam release reads, else pldecal.wad, which the original release reads.
// Empty when the game directory or the mod is not known.
QString installedSprayPath(const QString &gameDirectory, const QString &mod);

// The names among names (files in folder) whose bytes equal the file at
// installedPath. Sizes are compared first, so only files of the same size are
// read. Empty when that file is missing or cannot be read.
QSet<QString> sameSprays(const QString &folder, const QStringList &names,
                         const QString &installedPath);

// Where replaced sprays are kept: <application data>/replaced.
QString replacedSpraysFolder();

} // namespace tagswap

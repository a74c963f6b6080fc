#pragma once

#include "game_paths.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tagswap {

// A spray the game had is kept before Tagswap replaces it, unless a copy of it
// is kept already, so that a player's only copy of a spray is never lost.

// Larger files are no spray of any of these games, and are not kept.
inline constexpr qint64 kMaxKeptSprayBytes = 1 << 20;

// <application data>/replaced: ~/.local/share/Tagswap/replaced on Linux.
QString replacedSprayFolder();

// Whether one of the folders holds a .wad file of exactly these bytes that keeps
// them through a step replacing the files replacedInStep: a file that is one of
// those, or a link that leads to one, is no copy. Sizes are compared first, so
// only files of the same size are read.
bool hasCopyIn(const QByteArray &bytes, const QStringList &folders,
               const QStringList &replacedInStep);

// The names among names (files in folder) whose bytes are exactly bytes, at most
// `most` of them (all when negative). Sizes are compared first, so only files of
// the same size are read, and no more of them than bytes holds.
QStringList namesWithBytes(const QString &folder, const QStringList &names, const QByteArray &bytes,
                           qsizetype most = -1);

// A name not yet taken in folder: <mod>-<pldecal|tempdecal>-<yyyyMMdd-HHmmss>.wad,
// or with -2, -3... before .wad. A mod text that is no plain file name is made one.
QString keptSprayName(const QString &folder, const QString &mod, SprayFile file,
                      const QDateTime &when);

struct KeptSpray {
    enum class Status { NothingToKeep, AlreadyKept, Kept, Failed };
    Status status = Status::NothingToKeep;
    QString path;  // the copy made, when Kept
    QString error; // why it could not be made, when Failed
};

// Keeps a copy of gameFile in keptFolder unless there is nothing there to keep
// (no file, not a regular file, over the size limit) or a copy that outlasts the
// step is in keptFolder or one of the otherFolders already. The step replaces or
// removes gameFile and the files replacedInStep, so none of them is such a copy.
KeptSpray keepReplacedSpray(const QString &gameFile, const QString &mod, SprayFile file,
                            const QStringList &otherFolders, const QString &keptFolder,
                            const QDateTime &when, const QStringList &replacedInStep = {});

} // namespace tagswap

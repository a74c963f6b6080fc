#pragma once

#include "file_access.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tagswap {

// Copies source over destination so that destination is afterwards either the
// old file or a complete copy, never a mix: the copy is written beside it,
// flushed to disk and renamed into place. On failure nothing is left behind
// and error says why.
bool replaceWithCopy(const QString &source, const QString &destination, QString *error);

// Copies source over every destination as one step: each copy is written in
// full beside its destination and flushed before any is renamed into place, and
// if a rename fails the files already replaced are put back. So afterwards
// either every destination is a complete copy or every one is as it was. On
// failure *failed names the destination that could not be written and *error
// says why; no temporary file is left behind.
// A destination that is a link is itself replaced by a file: what it points to
// is never written.
// Should putting back fail as well, *error also says which destination now holds
// the copy and under which name its old file is kept, and *leftReplaced lists
// those destinations.
bool replaceAllWithCopy(const QString &source, const QStringList &destinations, QString *failed,
                        QString *error, QStringList *leftReplaced = nullptr);

// The second names that a step cut short left beside destination for its old
// file: by a crash, or by a put-back that failed and said where the old file is
// kept. The next step that replaces destination clears them.
QStringList leftoverBackups(const QString &destination);

// Writes bytes to path whole or not at all, as replaceWithCopy() does: the one
// writer of whole files.
bool writeFileWhole(const QString &path, const QByteArray &bytes, QString *error);

} // namespace tagswap

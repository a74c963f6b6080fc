#pragma once

#include <QString>
#include <QStringList>

namespace tagswap {

// Names (without folder) of the regular files in directory whose names end in
// suffix, ignoring letter case: "SPRAY.WAD" matches ".wad". Links to files
// count; hidden files, folders and anything else do not. In no particular
// order; empty when the folder cannot be read.
QStringList filesWithSuffix(const QString &directory, QStringView suffix);

} // namespace tagswap

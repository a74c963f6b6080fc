#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace tagswap {

// The names among names (files in folder) whose bytes equal the file at
// installedPath. Sizes are compared first, so only files of the same size are
// read. Empty when that file is missing or cannot be read.
QSet<QString> sameSprays(const QString &folder, const QStringList &names,
                         const QString &installedPath);

} // namespace tagswap

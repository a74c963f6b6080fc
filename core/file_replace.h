#pragma once

#include <QString>

namespace tagswap {

// Copies source over destination so that destination is afterwards either the
// old file or a complete copy, never a mix: the copy is written beside it,
// flushed to disk and renamed into place. On failure nothing is left behind
// and error says why.
bool replaceWithCopy(const QString &source, const QString &destination, QString *error);

// Whether a regular file (or a link to one) exists at path; its size does not matter.
bool isExistingFile(const QString &path);

} // namespace tagswap

#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace tagswap {

// Limits that keep a hostile or mistaken file from stalling start-up.
struct LineLimits {
    qsizetype maxLines = 32767;    // the most entries a list of the original platform held
    qsizetype maxLineBytes = 1024; // longer than any folder name; the rest of the line is dropped
};

// Reads a text file line by line, as the mod list wants it:
// - CR LF, a lone LF and a lone CR each end a line; a last line without an end
//   counts, a line end at the very end adds no empty line;
// - lines are kept exactly (blanks, empty lines, duplicates);
// - a UTF-8 byte-order mark is skipped; each line is UTF-8 when it is valid
//   UTF-8, otherwise Latin-1, so that no byte is lost or invalid;
// - reading stops after maxLines lines, and a failed read counts as the end.
// Returns nothing when the file cannot be opened. *cutShort, when asked for,
// tells whether the file held more than the limits let through: more lines, or
// a line longer than maxLineBytes.
std::optional<QStringList> readTextLines(const QString &path, LineLimits limits = {},
                                         bool *cutShort = nullptr);

} // namespace tagswap

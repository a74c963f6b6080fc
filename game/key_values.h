#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace tagswap {

// One entry of Valve's KeyValues text (the .vdf and .acf files Steam keeps):
// a key with either a string value or a block of further entries.
struct KeyValues {
    QString key;
    QString value;
    std::vector<KeyValues> children;
    bool isBlock = false;

    // The first child whose key matches, ignoring letter case as Steam does; null if none.
    const KeyValues *child(QStringView childKey) const;
    // The value of that child, or an empty string when there is none or it is a block.
    QString childValue(QStringView childKey) const;
};

// The limits a file must keep to; Steam's own files stay far below them.
inline constexpr qsizetype kMaxKeyValuesBytes = 1 << 20;
inline constexpr int kMaxKeyValuesDepth = 32;

// Reads a whole file's text into a root block (empty key) holding its top-level
// entries. Quoted and bare tokens, { } blocks, // comments, the escapes \\ \" \n \t,
// and [$CONDITION] tags (ignored) are understood. Text over the limits, an unclosed
// quote or block, or a stray brace fails with a one-line reason in *error.
std::optional<KeyValues> parseKeyValues(QByteArrayView text, QString *error = nullptr);

} // namespace tagswap

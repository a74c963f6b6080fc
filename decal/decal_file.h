#pragma once

#include <QByteArray>
#include <QList>
#include <QRgb>
#include <QSize>
#include <QString>

#include <array>
#include <optional>

class QImage;

// Reading and writing spray decal files: a WAD3 file holding exactly one
// 8-bit paletted texture. Nothing here throws; failures come back as an empty
// result plus a human-readable message in *error (when error is non-null).
namespace decal {

inline constexpr int kMaxSide = 256;
inline constexpr int kSideStep = 16; // every tool and guide uses multiples of 16
inline constexpr int kPixelBudget =
    12288; // what Half-Life and Counter-Strike clients accept in practice
inline constexpr int kMaxNameLength = 15; // 16 bytes on disk, NUL-terminated
inline constexpr int kTransparentIndex = 255;
inline constexpr QRgb kTransparentKey = 0xff0000ffu; // pure blue in entry 255 marks a colour spray

struct Decal {
    QString name = QStringLiteral("{LOGO");
    int width = 0;
    int height = 0;
    QByteArray pixels;               // width * height palette indices, row by row from the top
    std::array<QRgb, 256> palette{}; // alpha is ignored
    // The half, quarter and eighth size copies, when whoever made the spray drew them;
    // without them encode() derives them from the full-size pixels.
    std::optional<std::array<QByteArray, 3>> mips;

    // Colour spray: index 255 is transparent and the rest are colours. Otherwise the
    // game treats it as a one-colour logo whose indices are opacities of entry 255.
    bool isColourSpray() const { return (palette[255] | 0xff000000u) == kTransparentKey; }

    bool operator==(const Decal &) const = default;
};

// The type of the file's one entry, as the game writes it: the open-source engine
// that many players run (Xash3D FWGS) tells the kinds apart by it, where the original
// engine reads palette entry 255.
inline constexpr char kColourType = 0x43;
inline constexpr char kOneColourType = 0x40;

// The complete file. Fails (empty result) unless the sides are multiples of 16 up
// to 256, pixels (and mips, when given) match the size and the name is at most 15
// Latin-1 characters.
QByteArray encode(const Decal &decal, QString *error = nullptr);

// Accepts what the game's checks of the texture accept (any entry type or name,
// sides off the 16-pixel grid, pixels wherever the first offset puts them), bar a zero
// height; rejects anything larger than 1 MiB. gameRefusal() adds the file-size limits.
std::optional<Decal> decode(const QByteArray &bytes, QString *error = nullptr);

// What a file that is no spray is when its first bytes are those of a picture ("a PNG
// picture", "an SVG drawing"); empty for anything else.
QString pictureKind(const QByteArray &bytes);

// "64 × 64, colour, 6,296 bytes": how the windows describe a spray.
QString sizeKindAndBytes(int width, int height, bool colour, qint64 bytes);

// The picture at full size and the file's three smaller copies (half, quarter and
// eighth size), each with the file's palette; empty when decode() refuses the bytes.
QList<Decal> decodeLevels(const QByteArray &bytes, QString *error = nullptr);

// The engine takes a player's custom decal file only within these sizes (in bytes).
inline constexpr qint64 kGameMinFileSize = 1024;
inline constexpr qint64 kGameMaxFileSize = 20480;

// Why the game would refuse a spray file of these bytes, in one sentence naming the check
// that fails; empty when it takes it. The engine's checks and no others: the file's size,
// the sides, the offsets of the smaller copies, the palette count, the texture within the
// file. Every part of Tagswap that judges a spray asks this. fileSize is the size on disk
// when a reader stopped before the end of a larger file.
QString gameRefusal(const QByteArray &bytes, qint64 fileSize = 0);

// The largest size with sides multiples of 16 (at least 16, at most 256) that keeps
// roughly the aspect ratio of source and fits in pixelBudget. Small artwork is not
// blown up beyond rounding to the next step. Invalid if nothing fits.
QSize fitSize(QSize source, int pixelBudget = kPixelBudget);

// A colour spray from artwork, scaled with fitSize() when needed. Pixels less than
// half opaque become transparent; the rest map to a fixed colour cube plus greys.
std::optional<Decal> fromImage(const QImage &image, int pixelBudget = kPixelBudget,
                               QString *error = nullptr);

// ARGB32 rendering of how the spray looks, before the game's gamma.
QImage toImage(const Decal &decal);

} // namespace decal

#include "decal_file.h"

#include <QCoreApplication>
#include <QImage>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace decal {
namespace {

constexpr qint64 kFileHeaderSize = 12;    // magic, entry count, directory offset
constexpr qint64 kTextureHeaderSize = 40; // name, width, height, four level offsets
constexpr qint64 kDirEntrySize = 32;
constexpr int kNameBytes = 16;
// The largest legal spray (256x256) is under 90 KB; anything near this is not a spray
// and must not make us allocate or scan much.
constexpr qint64 kMaxFileSize = 1 << 20;

constexpr int kCubeLevels = 6;
constexpr int kCubeStep = 255 / (kCubeLevels - 1);
constexpr int kCubeSize = kCubeLevels * kCubeLevels * kCubeLevels;
constexpr int kGreyCount = kTransparentIndex - kCubeSize;

QString tr(const char *text)
{
    return QCoreApplication::translate("decal", text);
}

std::nullopt_t fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return std::nullopt;
}

quint32 get32(const char *at)
{
    return qFromLittleEndian<quint32>(at);
}
qint32 get32Signed(const char *at)
{
    return qFromLittleEndian<qint32>(at);
}
void put32(char *at, qint64 value)
{
    qToLittleEndian(quint32(value), at);
}

QString problemWith(const Decal &d)
{
    const auto badSide = [](int side) {
        return side < kSideStep || side > kMaxSide || side % kSideStep != 0;
    };
    if (badSide(d.width) || badSide(d.height))
        return tr("A spray must be 16 to 256 pixels on each side in steps of 16, not %1x%2.")
            .arg(d.width)
            .arg(d.height);
    if (d.pixels.size() != qsizetype(d.width) * d.height)
        return tr("The pixel data does not fill %1x%2.").arg(d.width).arg(d.height);
    for (int level = 1; d.mips && level <= 3; ++level) {
        if ((*d.mips)[level - 1].size() != qsizetype(d.width >> level) * (d.height >> level))
            return tr("The smaller copy %1 does not fill %2x%3.")
                .arg(level)
                .arg(d.width >> level)
                .arg(d.height >> level);
    }
    const bool latin1 = std::all_of(d.name.cbegin(), d.name.cend(), [](QChar c) {
        return c.unicode() != 0 && c.unicode() <= 0xff;
    });
    if (d.name.size() > kMaxNameLength || !latin1)
        return tr("The texture name must be at most 15 Latin-1 characters.");
    return {};
}

// Colour sprays keep one real colour per block: averaging palette indices would invent
// unrelated colours. In a one-colour logo the indices are opacities, so averaging is right.
QByteArray reduce(const Decal &d, int factor)
{
    const int w = d.width / factor;
    const int h = d.height / factor;
    const bool average = !d.isColourSpray();
    const auto at = [&](int x, int y) { return int(quint8(d.pixels[qsizetype(y) * d.width + x])); };
    QByteArray out(qsizetype(w) * h, Qt::Uninitialized);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int value = at(x * factor + factor / 2, y * factor + factor / 2);
            if (average) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy)
                    for (int dx = 0; dx < factor; ++dx)
                        sum += at(x * factor + dx, y * factor + dy);
                value = sum / (factor * factor);
            }
            out[qsizetype(y) * w + x] = char(value);
        }
    }
    return out;
}

std::array<QRgb, 256> sprayPalette()
{
    std::array<QRgb, 256> palette{};
    for (int i = 0; i < kCubeSize; ++i) {
        palette[i] = qRgb(i / (kCubeLevels * kCubeLevels) * kCubeStep,
                          i / kCubeLevels % kCubeLevels * kCubeStep, i % kCubeLevels * kCubeStep);
    }
    // Greys between the cube's six, so shading and anti-aliased edges stay smooth.
    for (int k = 0; k < kGreyCount; ++k) {
        const int v = (k + 1) * 255 / (kGreyCount + 1);
        palette[kCubeSize + k] = qRgb(v, v, v);
    }
    palette[kTransparentIndex] = kTransparentKey;
    return palette;
}

int nearestIndex(QRgb c, const std::array<QRgb, 256> &palette)
{
    const int r = qRed(c), g = qGreen(c), b = qBlue(c);
    const auto level = [](int v) { return (v + kCubeStep / 2) / kCubeStep; };
    const auto distance = [&](int index) {
        const QRgb p = palette[index];
        return (qRed(p) - r) * (qRed(p) - r) + (qGreen(p) - g) * (qGreen(p) - g)
               + (qBlue(p) - b) * (qBlue(p) - b);
    };
    const int cube = (level(r) * kCubeLevels + level(g)) * kCubeLevels + level(b);
    const int mean = (r + g + b) / 3;
    const int grey =
        kCubeSize + std::clamp((mean * (kGreyCount + 1) + 127) / 255 - 1, 0, kGreyCount - 1);
    return distance(grey) < distance(cube) ? grey : cube;
}

// Where the engine finds a texture's parts. It reads the palette count as if the
// pixels started right after the header, but the colours after the pixels wherever
// the first offset puts them.
struct TextureLayout {
    qint64 pixelsAt = 0;
    qint64 coloursAt = 0;
    int colours = 0;
};

QString levelOffsetProblem(const char *texture, qint64 count)
{
    static const char *const problems[] = {
        QT_TRANSLATE_NOOP("decal", "The half-size copy of the picture does not directly follow the "
                                   "full-size one."),
        QT_TRANSLATE_NOOP("decal",
                          "The quarter-size copy of the picture does not directly follow the "
                          "half-size one."),
        QT_TRANSLATE_NOOP("decal",
                          "The eighth-size copy of the picture does not directly follow the "
                          "quarter-size one."),
    };
    qint64 expected = get32(texture + 24);
    for (int level = 1; level < 4; ++level) {
        expected += count >> (2 * (level - 1));
        if (get32(texture + 24 + qsizetype(4) * level) != expected)
            return tr(problems[level - 1]);
    }
    return {};
}

// The engine's checks of the texture itself, in its order. Offsets are read unsigned:
// one that the engine's signed arithmetic would take as negative points before the
// texture, where no spray puts its pixels.
std::optional<TextureLayout> textureLayout(const char *texture, qint64 size, QString *error)
{
    const quint32 width = get32(texture + 16);
    const quint32 height = get32(texture + 20);
    // The game would take a zero height, but such a spray has nothing to show.
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return fail(error, tr("The picture is %1x%2 pixels; the game takes sides of 1 to 256 "
                              "pixels.")
                               .arg(width)
                               .arg(height));
    const qint64 count = qint64(width) * height;
    if (const QString problem = levelOffsetProblem(texture, count); !problem.isEmpty())
        return fail(error, problem);
    const qint64 levelsSize = count + count / 4 + count / 16 + count / 64;
    const qint64 countAt = kTextureHeaderSize + levelsSize;
    if (countAt + 2 > size)
        return fail(error, tr("The texture ends before its palette."));
    const int colours = qFromLittleEndian<quint16>(texture + countAt);
    if (colours > 256)
        return fail(error, tr("The palette has %1 colours; at most 256 are allowed.").arg(colours));
    const qint64 pixelsAt = get32(texture + 24);
    const qint64 coloursAt = pixelsAt + levelsSize + 2;
    if (coloursAt + qint64(colours) * 3 > size)
        return fail(error,
                    tr("The palette of %1 colours runs past the end of the texture.").arg(colours));
    return TextureLayout{pixelsAt, coloursAt, colours};
}

} // namespace

QByteArray encode(const Decal &d, QString *error)
{
    if (const QString problem = problemWith(d); !problem.isEmpty()) {
        fail(error, problem);
        return {};
    }
    const qint64 count = qint64(d.width) * d.height;
    const qint64 textureSize = kTextureHeaderSize + count * 85 / 64 + 2 + qint64(256) * 3;
    const qint64 paddedSize = (textureSize + 3) & ~qint64(3);
    const qint64 directoryOffset = kFileHeaderSize + paddedSize;
    const QByteArray name = d.name.toLatin1();

    QByteArray out(directoryOffset + kDirEntrySize, '\0');
    char *const file = out.data();
    // The magic is four bytes with no terminator.
    std::memcpy(file, "WAD3", 4); // NOLINT(bugprone-not-null-terminated-result)
    put32(file + 4, 1);
    put32(file + 8, directoryOffset);

    char *const texture = file + kFileHeaderSize;
    std::memcpy(texture, name.constData(), name.size()); // the field is zero-filled already
    put32(texture + 16, d.width);
    put32(texture + 20, d.height);
    qint64 at = kTextureHeaderSize;
    for (int level = 0; level < 4; ++level) {
        const QByteArray pixels = level == 0 ? d.pixels
                                  : d.mips   ? (*d.mips)[level - 1]
                                             : reduce(d, 1 << level);
        put32(texture + 24 + qsizetype(4) * level, at);
        std::memcpy(texture + at, pixels.constData(), pixels.size());
        at += pixels.size();
    }
    qToLittleEndian(quint16(256), texture + at);
    at += 2;
    for (QRgb c : d.palette) {
        texture[at++] = char(qRed(c));
        texture[at++] = char(qGreen(c));
        texture[at++] = char(qBlue(c));
    }

    char *const entry = file + directoryOffset;
    put32(entry, kFileHeaderSize);
    put32(entry + 4, paddedSize);
    put32(entry + 8, paddedSize);
    entry[12] = d.isColourSpray() ? kColourType : kOneColourType;
    std::memcpy(entry + 16, name.constData(), name.size());
    return out;
}

std::optional<Decal> decode(const QByteArray &bytes, QString *error)
{
    const qint64 fileSize = bytes.size();
    if (fileSize > kMaxFileSize)
        return fail(error,
                    tr("At %1 bytes the file is far too large to be a spray.").arg(fileSize));
    // Said plainly, since players rename a picture to .wad or meet an empty file
    // far more often than a damaged spray.
    if (fileSize == 0)
        return fail(error, tr("The file is empty."));
    if (const QString kind = pictureKind(bytes); !kind.isEmpty())
        return fail(error, tr("The file is %1, not a spray.").arg(kind));
    if (fileSize < kFileHeaderSize + kDirEntrySize || !bytes.startsWith("WAD3"))
        return fail(error, tr("This is not a WAD3 file."));

    // All offsets are widened to 64 bits before any arithmetic, so hostile values
    // cannot wrap around into the buffer.
    const char *const file = bytes.constData();
    if (const qint32 entries = get32Signed(file + 4); entries != 1)
        return fail(error,
                    tr("The file holds %1 entries; a spray holds exactly one.").arg(entries));
    const qint64 directoryOffset = get32Signed(file + 8);
    if (directoryOffset + kDirEntrySize != fileSize)
        return fail(error, tr("The directory is not at the end of the file."));

    const char *const entry = file + directoryOffset;
    const qint64 position = get32Signed(entry);
    const qint64 diskSize = get32Signed(entry + 4);
    const qint64 size = get32Signed(entry + 8);
    if (diskSize != size)
        return fail(error, tr("The texture's stored and unpacked sizes differ."));
    if (size < kTextureHeaderSize || position < kFileHeaderSize
        || position + size > directoryOffset)
        return fail(error, tr("The texture lies outside the file."));

    const char *const texture = file + position;
    const std::optional<TextureLayout> parts = textureLayout(texture, size, error);
    if (!parts)
        return std::nullopt;

    Decal d;
    d.name = QString::fromLatin1(texture, qstrnlen(texture, kNameBytes)).left(kMaxNameLength);
    d.width = int(get32(texture + 16));
    d.height = int(get32(texture + 20));
    d.pixels = QByteArray(texture + parts->pixelsAt, qsizetype(d.width) * d.height);
    const auto *rgb = reinterpret_cast<const uchar *>(texture + parts->coloursAt);
    for (int i = 0; i < parts->colours; ++i, rgb += 3)
        d.palette[i] = qRgb(rgb[0], rgb[1], rgb[2]);
    for (int i = parts->colours; i < 256; ++i)
        d.palette[i] = qRgb(0, 0, 0);
    return d;
}

QString pictureKind(const QByteArray &bytes)
{
    const auto at = [&bytes](qsizetype offset, QByteArrayView magic) {
        return bytes.mid(offset, magic.size()) == magic;
    };
    if (at(0, "\x89PNG\r\n\x1a\n"))
        return tr("a PNG picture");
    if (at(0, "\xff\xd8\xff"))
        return tr("a JPEG picture");
    if (at(0, "GIF87a") || at(0, "GIF89a"))
        return tr("a GIF picture");
    if (at(0, "RIFF") && at(8, "WEBP"))
        return tr("a WebP picture");
    if (at(0, QByteArrayView("II*\0", 4)) || at(0, QByteArrayView("MM\0*", 4)))
        return tr("a TIFF picture");
    // Two letters alone are too weak a sign; the header's reserved field is zero too.
    if (at(0, "BM") && at(6, QByteArrayView("\0\0\0\0", 4)))
        return tr("a BMP picture");
    if (const QByteArray start = bytes.left(1024);
        start.trimmed().startsWith('<') && start.contains("<svg"))
        return tr("an SVG drawing");
    return {};
}

QString sizeKindAndBytes(int width, int height, bool colour, qint64 bytes)
{
    return tr("%1 × %2, %3, %L4 bytes")
        .arg(width)
        .arg(height)
        .arg(colour ? tr("colour") : tr("one-colour"))
        .arg(bytes);
}

QList<Decal> decodeLevels(const QByteArray &bytes, QString *error)
{
    const std::optional<Decal> full = decode(bytes, error);
    if (!full)
        return {};
    // decode() has checked that the directory, the texture and its four levels lie
    // inside the file, one after the other.
    const char *const file = bytes.constData();
    const qint64 position = get32Signed(file + get32Signed(file + 8));
    const char *const texture = file + position;
    QList<Decal> levels{*full};
    for (int level = 1; level < 4; ++level) {
        Decal smaller = *full;
        smaller.width = std::max(1, full->width >> level);
        smaller.height = std::max(1, full->height >> level);
        const qint64 count = (qint64(full->width) * full->height) >> (2 * level);
        smaller.pixels =
            QByteArray(texture + get32(texture + 24 + qsizetype(4) * level), qsizetype(count));
        smaller.pixels.resize(qsizetype(smaller.width) * smaller.height, char(0));
        levels.append(smaller);
    }
    return levels;
}

QString gameRefusal(const QByteArray &bytes, qint64 fileSize)
{
    const qint64 size = std::max(fileSize, qint64(bytes.size()));
    // Only part of the file was read: nothing that large is a spray the game takes.
    const bool partlyRead = size > bytes.size() && size > kGameMaxFileSize;
    if (QString error; !partlyRead && !decode(bytes, &error))
        return error;
    if (size > kGameMaxFileSize)
        return tr("At %L1 bytes it is too large for the game's %L2-byte limit.")
            .arg(size)
            .arg(kGameMaxFileSize);
    if (size < kGameMinFileSize)
        return tr("At %L1 bytes it is smaller than the game's %L2-byte minimum.")
            .arg(size)
            .arg(kGameMinFileSize);
    return {};
}

QSize fitSize(QSize source, int pixelBudget)
{
    if (source.isEmpty() || pixelBudget < kSideStep * kSideStep)
        return {};
    const double w = source.width();
    const double h = source.height();
    const double scale =
        std::min({1.0, kMaxSide / w, kMaxSide / h, std::sqrt(pixelBudget / (w * h))});
    const auto snap = [](double side) {
        return std::clamp(int(std::lround(side / kSideStep)) * kSideStep, kSideStep, kMaxSide);
    };
    // Rounding to the nearest step can overshoot the budget. Shrinking the scale, rather
    // than one side, keeps the aspect ratio; at 16x16 it always fits, so this ends.
    for (double s = scale;; s *= 0.97) {
        const QSize size(snap(w * s), snap(h * s));
        if (size.width() * size.height() <= pixelBudget)
            return size;
    }
}

std::optional<Decal> fromImage(const QImage &image, int pixelBudget, QString *error)
{
    if (image.isNull())
        return fail(error, tr("The picture is empty."));
    const QSize size = fitSize(image.size(), pixelBudget);
    if (!size.isValid())
        return fail(error, tr("A budget of %1 pixels is too small for a spray.").arg(pixelBudget));

    QImage art = image.size() == size
                     ? image
                     : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    art = art.convertToFormat(QImage::Format_ARGB32);

    Decal d;
    d.width = size.width();
    d.height = size.height();
    d.palette = sprayPalette();
    d.pixels.resize(qsizetype(d.width) * d.height);
    for (int y = 0; y < d.height; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(art.constScanLine(y));
        for (int x = 0; x < d.width; ++x) {
            const int index =
                qAlpha(line[x]) < 128 ? kTransparentIndex : nearestIndex(line[x], d.palette);
            d.pixels[qsizetype(y) * d.width + x] = char(index);
        }
    }
    return d;
}

QImage toImage(const Decal &d)
{
    if (d.width <= 0 || d.height <= 0 || d.pixels.size() != qsizetype(d.width) * d.height)
        return {};
    QImage image(d.width, d.height, QImage::Format_ARGB32);
    const bool colour = d.isColourSpray();
    const QRgb ink = d.palette[kTransparentIndex];
    for (int y = 0; y < d.height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < d.width; ++x) {
            const int index = quint8(d.pixels[qsizetype(y) * d.width + x]);
            if (colour)
                line[x] = index == kTransparentIndex ? 0 : d.palette[index] | 0xff000000u;
            else
                line[x] = qRgba(qRed(ink), qGreen(ink), qBlue(ink), index);
        }
    }
    return image;
}

} // namespace decal

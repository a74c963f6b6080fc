#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

// Reading the player's picture, whatever it is, without trusting it: every picture
// passes one gate that checks, before anything is decoded, what decoding would cost
// and whether the file is whole, and every failure is one line for the player.
namespace spray {

inline constexpr qint64 kMaxImagePixels = 100'000'000;
inline constexpr qint64 kMaxVectorFileBytes = 16 * 1024 * 1024;
// Decoding one picture (the frame delivered, a turned copy of it and what the
// decoder keeps besides) takes no more than this, so that making a spray stays
// within 512 MiB. A 100-megapixel frame of four bytes a pixel fits.
inline constexpr qint64 kDecodeBudgetBytes = qint64(384) * 1024 * 1024;
inline constexpr int kMaxFrame = 9999;
// What the process that reads a picture may take besides what it takes at start, and
// for how long it may run (picture_reader.h): the system ends it past either.
inline constexpr qint64 kReaderMemoryMiB = 512;
inline constexpr int kReaderSeconds = 5;

struct ImageHeader {
    QSize size; // as shown, after the file's own orientation
    int frameCount = 1;
    bool vector = false;
};

struct LoadedImage {
    QImage image; // the chosen frame, perhaps decoded smaller than size
    QSize size;   // the size the picture has, as in ImageHeader
    int frameCount = 1;
};

// A picture that has passed the gate: its header read and checked, a drawing parsed
// (once). Copies share what was read.
class Picture {
public:
    static std::optional<Picture> open(const QString &path, QString *error = nullptr);

    const ImageHeader &header() const;

    // Decodes one frame (from 0). With a valid atLeast, a JPEG is decoded at the smallest
    // fraction of its size that still covers atLeast, and an SVG is drawn at about that size.
    std::optional<LoadedImage> decode(int frame = 0, QSize atLeast = {},
                                      QString *error = nullptr) const;

    struct Source;

private:
    explicit Picture(std::shared_ptr<Source> source) : m_source(std::move(source)) {}
    std::shared_ptr<Source> m_source;
};

// What the file says about itself, without decoding its pixels.
std::optional<ImageHeader> readHeader(const QString &path, QString *error = nullptr);

// Picture::open() and decode() in one.
std::optional<LoadedImage> loadImage(const QString &path, int frame = 0, QSize atLeast = {},
                                     QString *error = nullptr);

// The image made smaller, in linear light, to the least that covers atLeast at its
// own shape; as it is when that would not save most of its memory.
LoadedImage reducedToCover(LoadedImage image, QSize atLeast);

// Whether any pixel is less than fully opaque.
bool hasTransparency(const QImage &image);

// The one line for a picture that needs more than the reader may take.
QString beyondMemory(const QString &path);
QString beyondTime(const QString &path);

} // namespace spray

#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// Reading the player's picture, whatever it is, without trusting it: every size is
// checked before anything is decoded, and every failure is one line for the player.
namespace spray {

inline constexpr qint64 kMaxImagePixels = 100'000'000;
inline constexpr qint64 kMaxVectorFileBytes = 16 * 1024 * 1024;
inline constexpr int kMaxFrame = 9999;

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

// What the file says about itself, without decoding its pixels.
std::optional<ImageHeader> readHeader(const QString &path, QString *error = nullptr);

// Decodes one frame (from 0). With a valid atLeast, a JPEG is decoded at the smallest
// fraction of its size that still covers atLeast, and an SVG is drawn at about that size.
std::optional<LoadedImage> loadImage(const QString &path, int frame = 0, QSize atLeast = {},
                                     QString *error = nullptr);

// Whether any pixel is less than fully opaque.
bool hasTransparency(const QImage &image);

} // namespace spray

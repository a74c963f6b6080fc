#pragma once

#include "linear_image.h"

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

// How the part of a picture a spray shows becomes the spray's pixels.
namespace spray {

// Smooth: in linear light, the area average when reducing, Lanczos when enlarging.
// Sharp: each picture pixel becomes a block of spray pixels (nearest neighbour), so
// pixel art and icons keep their edges and colours. Automatic: sharp for a picture
// of few colours enlarged at least twice.
enum class Scaler { Automatic, Smooth, Sharp };

inline constexpr double kSharpFromEnlargement = 2.0;
inline constexpr int kSharpUpToColours = 256;

// What Automatic comes to for this picture and enlargement. Sharp is only ever
// used to enlarge: reduced that way, a picture would lose whole rows at random.
Scaler effectiveScaler(Scaler choice, const QImage &image, const QRectF &source, QSize size);

// The part source of the image at size pixels. Smooth alpha is the picture's true
// coverage of each pixel (see resampleWithoutRinging), so that no overshoot of
// the kernel makes a covered pixel look partly transparent.
LinearImage scaled(const QImage &image, const QRectF &source, QSize size, Scaler choice);

// "smooth", "sharp" or "auto".
std::optional<Scaler> parseScaler(const QString &text, QString *error = nullptr);

} // namespace spray

#pragma once

#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>

#include <optional>

class QIODevice;

// Qt turns a JPEG upright by its EXIF orientation but ignores the same tag in a PNG's
// eXIf chunk and a WebP's EXIF chunk, which phones and editors write too. These read it.
namespace spray {

// The orientation (1 to 8) in a PNG's eXIf chunk before its image data, or in a WebP's
// EXIF chunk; empty when there is none or it makes no sense. Reads a bounded number of
// chunk headers and at most 64 KiB of EXIF, whatever the file claims.
std::optional<int> exifOrientation(QIODevice &file, const QByteArray &format);

// The orientation as Qt's readers express it for a JPEG.
QImageIOHandler::Transformations transformationOf(int orientation);

// The image turned as a reader with auto-transform would turn it.
QImage transformed(const QImage &image, QImageIOHandler::Transformations transformation);

} // namespace spray

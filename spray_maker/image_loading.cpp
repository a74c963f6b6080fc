#include "image_loading.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace spray {
namespace {

// The largest image allowed is 100 megapixels of four bytes each.
constexpr int kAllocationLimitMiB = 512;
// Deflate and LZW pack at most about a thousand pixels into a byte of the file,
// and only for a picture of one flat colour; photographs and drawings stay far below.
constexpr qint64 kMaxPixelsPerFileByte = 1024;
constexpr qint64 kAlwaysDecodedPixels = qint64(1024) * 1024;
// An SVG is drawn at no more than this on a side, whatever it asks for.
constexpr int kMaxVectorSide = 4096;

QString tr(const char *text)
{
    return QCoreApplication::translate("spray", text);
}

std::nullopt_t fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return std::nullopt;
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

bool isSvg(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("svg") || suffix == QLatin1String("svgz");
}

std::optional<QByteArray> readVectorFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, tr("%1 cannot be read: %2").arg(fileName(path), file.errorString()));
    if (file.size() > kMaxVectorFileBytes)
        return fail(error, tr("%1 is too large for a drawing.").arg(fileName(path)));
    return file.read(kMaxVectorFileBytes);
}

// A drawing loses nothing when drawn larger, so it counts as larger than any spray,
// at its own aspect ratio.
std::optional<QSize> vectorSize(QSvgRenderer &renderer, const QString &path, QString *error)
{
    const QSize size = renderer.defaultSize();
    if (!renderer.isValid() || size.isEmpty())
        return fail(error, tr("%1 is not a drawing that can be shown.").arg(fileName(path)));
    return size.scaled(kMaxVectorSide, kMaxVectorSide, Qt::KeepAspectRatio).expandedTo({1, 1});
}

std::optional<ImageHeader> vectorHeader(const QString &path, QString *error)
{
    const auto bytes = readVectorFile(path, error);
    if (!bytes)
        return std::nullopt;
    QSvgRenderer renderer(*bytes);
    const auto size = vectorSize(renderer, path, error);
    if (!size)
        return std::nullopt;
    return ImageHeader{*size, 1, true};
}

QSize coverAtLeast(QSize size, QSize atLeast)
{
    if (!atLeast.isValid() || atLeast.isEmpty())
        return size;
    const double scale =
        std::max(double(atLeast.width()) / size.width(), double(atLeast.height()) / size.height());
    return QSize(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale)));
}

std::optional<LoadedImage> loadVector(const QString &path, QSize atLeast, QString *error)
{
    const auto bytes = readVectorFile(path, error);
    if (!bytes)
        return std::nullopt;
    QSvgRenderer renderer(*bytes);
    const auto size = vectorSize(renderer, path, error);
    if (!size)
        return std::nullopt;
    QSize drawn = coverAtLeast(*size, atLeast);
    if (drawn.width() > kMaxVectorSide || drawn.height() > kMaxVectorSide)
        drawn.scale(kMaxVectorSide, kMaxVectorSide, Qt::KeepAspectRatio);
    QImage image(drawn.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return fail(error, tr("There is not enough memory to draw %1.").arg(fileName(path)));
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return LoadedImage{image, *size, 1};
}

QSize shownSize(QImageReader &reader)
{
    const QSize raw = reader.size();
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    return turned ? raw.transposed() : raw;
}

std::optional<QSize> checkedSize(QImageReader &reader, const QString &path, QString *error)
{
    const QSize size = shownSize(reader);
    if (!size.isValid())
        return QSize(); // not in the header; the decoder's allocation limit still holds
    if (size.isEmpty())
        return fail(error, tr("%1 is an empty image.").arg(fileName(path)));
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels > kMaxImagePixels)
        return fail(error,
                    tr("%1 is %2x%3, larger than the 100 megapixels a spray can be made from.")
                        .arg(fileName(path))
                        .arg(size.width())
                        .arg(size.height()));
    // A few bytes that claim a huge picture (a GIF's screen, a PNG's header) would have
    // the decoder allocate all of it first. A JPEG is decoded at a fraction of its size.
    const qint64 bytes = QFileInfo(path).size();
    if (reader.format() != "jpeg"
        && pixels > std::max(kAlwaysDecodedPixels, bytes * kMaxPixelsPerFileByte))
        return fail(error, tr("%1 claims to be %2x%3, more than its %4 bytes can hold.")
                               .arg(fileName(path))
                               .arg(size.width())
                               .arg(size.height())
                               .arg(bytes));
    return size;
}

// Not every format tells its size before decoding (a GIF's screen is found on the
// way), so the decoder's own allocation is held to what the file's bytes can hold.
int allocationLimitMiB(QImageReader &reader, const QString &path)
{
    if (reader.format() == "jpeg")
        return kAllocationLimitMiB;
    const qint64 pixels =
        std::max(kAlwaysDecodedPixels, QFileInfo(path).size() * kMaxPixelsPerFileByte);
    const qint64 mib = (pixels * 4 + (1 << 20) - 1) >> 20; // four bytes a pixel at most
    return int(std::min<qint64>(mib, kAllocationLimitMiB));
}

std::optional<ImageHeader> rasterHeader(const QString &path, QString *error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return fail(error, tr("%1 is not an image that can be read: %2")
                               .arg(fileName(path), reader.errorString()));
    const auto size = checkedSize(reader, path, error);
    if (!size)
        return std::nullopt;
    return ImageHeader{*size, std::max(1, reader.imageCount()), false};
}

// libjpeg decodes at 1/2, 1/4 or 1/8 of the size almost for free; the result sizes
// are exact, so Qt has nothing left to scale (its scaling is not linear light).
void requestJpegFraction(QImageReader &reader, QSize atLeast)
{
    const QSize raw = reader.size();
    if (reader.format() != "jpeg" || !raw.isValid() || atLeast.isEmpty())
        return;
    if (reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
        atLeast.transpose();
    for (int denominator : {8, 4, 2}) {
        const QSize reduced((raw.width() + denominator - 1) / denominator,
                            (raw.height() + denominator - 1) / denominator);
        if (reduced.width() >= atLeast.width() && reduced.height() >= atLeast.height()) {
            reader.setScaledSize(reduced);
            return;
        }
    }
}

std::optional<QImage> readFrame(QImageReader &reader, int frame, const QString &path,
                                QString *error)
{
    const int count = reader.imageCount();
    if (frame < 0 || frame > kMaxFrame || (count > 0 && frame >= count)
        || (count <= 0 && frame > 0))
        return fail(error, tr("%1 has no frame %2; it has %3.")
                               .arg(fileName(path))
                               .arg(frame + 1)
                               .arg(std::max(1, count)));
    if (frame > 0 && !reader.jumpToImage(frame)) {
        for (int skipped = 0; skipped < frame; ++skipped) {
            if (reader.read().isNull())
                return fail(error, tr("%1 is damaged before frame %2: %3")
                                       .arg(fileName(path))
                                       .arg(frame + 1)
                                       .arg(reader.errorString()));
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return fail(error, tr("%1 cannot be read: %2").arg(fileName(path), reader.errorString()));
    return image;
}

std::optional<LoadedImage> loadRaster(const QString &path, int frame, QSize atLeast, QString *error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return fail(error, tr("%1 is not an image that can be read: %2")
                               .arg(fileName(path), reader.errorString()));
    reader.setAllocationLimit(allocationLimitMiB(reader, path));
    const auto size = checkedSize(reader, path, error);
    if (!size)
        return std::nullopt;
    const int frameCount = std::max(1, reader.imageCount());
    if (frame == 0)
        requestJpegFraction(reader, atLeast);
    const auto image = readFrame(reader, frame, path, error);
    if (!image)
        return std::nullopt;
    if (qint64(image->width()) * image->height() > kMaxImagePixels)
        return fail(error, tr("%1 is larger than the 100 megapixels a spray can be made from.")
                               .arg(fileName(path)));
    const QSize nominal = size->isValid() ? *size : image->size();
    return LoadedImage{*image, nominal, frameCount};
}

} // namespace

bool hasTransparency(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return false;
    constexpr int kBandRows = 64; // converted a band at a time, to bound memory
    for (int top = 0; top < image.height(); top += kBandRows) {
        const QImage band =
            image.copy(0, top, image.width(), kBandRows).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < band.height() && top + y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(band.constScanLine(y));
            if (std::any_of(line, line + band.width(), [](QRgb p) { return qAlpha(p) < 255; }))
                return true;
        }
    }
    return false;
}

std::optional<ImageHeader> readHeader(const QString &path, QString *error)
{
    if (!QFileInfo(path).isFile())
        return fail(error, tr("%1 is not a file.").arg(fileName(path)));
    return isSvg(path) ? vectorHeader(path, error) : rasterHeader(path, error);
}

std::optional<LoadedImage> loadImage(const QString &path, int frame, QSize atLeast, QString *error)
{
    if (!QFileInfo(path).isFile())
        return fail(error, tr("%1 is not a file.").arg(fileName(path)));
    if (isSvg(path)) {
        if (frame != 0)
            return fail(error,
                        tr("%1 has no frame %2; it has 1.").arg(fileName(path)).arg(frame + 1));
        return loadVector(path, atLeast, error);
    }
    return loadRaster(path, frame, atLeast, error);
}

} // namespace spray

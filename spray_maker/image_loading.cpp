#include "image_loading.h"

#include "decoder_warnings.h"
#include "exif_orientation.h"
#include "file_access.h"
#include "linear_image.h"
#include "picture_bytes.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace spray {

struct Picture::Source {
    QString path;
    ImageHeader header;
    // A drawing, parsed once from its XML (inflated here first when it was compressed).
    std::unique_ptr<QSvgRenderer> drawing;
    // A raster picture: what its header says decoding it costs.
    QByteArray format;
    QSize stored;          // before the file's own orientation; invalid when not told
    QSize readerSize;      // as Qt's reader tells it, to see that the file stays the same
    int bitsPerPixel = 32; // of the frame the decoder delivers
    bool transformed = false;
    // The EXIF orientation of a PNG or WebP, which Qt's readers leave to the caller.
    QImageIOHandler::Transformations exifTurn = QImageIOHandler::TransformationNone;
    std::optional<JpegFacts> jpeg;
    qint64 fileBytes = 0;
};

namespace {

constexpr qint64 kMiB = qint64(1024) * 1024;
// More than the largest uncompressed picture allowed: 100 megapixels of four bytes.
constexpr qint64 kMaxRasterFileBytes = 512 * kMiB;
// An SVG is drawn at no more than this on a side, whatever it asks for.
constexpr int kMaxVectorSide = 4096;
// Formats that store every pixel as it is hold at most eight of them in a byte; a
// header that claims more describes a picture that is not there.
constexpr qint64 kMaxUncompressedPixelsPerByte = 8;
// Reaching a frame decodes every frame before it; this many pixels in all take a
// few seconds at most.
constexpr qint64 kMaxPixelsDecodedForAFrame = 4 * kMaxImagePixels;
// Each scan of a progressive JPEG passes over the blocks of its colours, however
// little data it holds: libjpeg-turbo gets through about 18 million such block passes
// a second. Ten scans over the largest picture the budget allows stay within this.
constexpr qint64 kMaxJpegScanBlocks = 40'000'000;
constexpr qint64 kBytesPerJpegBlock = qint64(64) * 2;

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

std::nullptr_t refuse(QString *error, const QString &message)
{
    fail(error, message);
    return nullptr;
}

bool deny(QString *error, const QString &message)
{
    fail(error, message);
    return false;
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString inMiB(qint64 bytes)
{
    return QString::number((bytes + kMiB - 1) / kMiB);
}

qint64 pixelsOf(QSize size)
{
    return qint64(size.width()) * size.height();
}

QByteArray firstBytes(const QString &path, qint64 count)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(count) : QByteArray();
}

QByteArray lastBytes(const QString &path, qint64 count)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(std::max<qint64>(0, file.size() - count)))
        return {};
    return file.read(count);
}

bool hasDrawingName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("svg") || suffix == QLatin1String("svgz");
}

// QImageReader's limit is one for the whole program, so it is set once, not per picture.
void limitDecoderAllocation()
{
    static std::once_flag set;
    std::call_once(set, [] { QImageReader::setAllocationLimit(int(kDecodeBudgetBytes / kMiB)); });
}

// --- drawings ---

std::optional<QByteArray> readDrawing(const QString &path, QString *error)
{
    const tagswap::WholeFile file = tagswap::readWholeFile(path, kMaxVectorFileBytes);
    if (file.status == tagswap::WholeFile::Status::TooLarge)
        return fail(error, tr("%1 is too large for a drawing.").arg(fileName(path)));
    if (file.status == tagswap::WholeFile::Status::NotAFile)
        return fail(error, tr("%1 is not a file.").arg(fileName(path)));
    if (file.status != tagswap::WholeFile::Status::Read)
        return fail(error, tr("%1 cannot be read: %2").arg(fileName(path), file.error));
    const QByteArray &bytes = file.bytes;
    if (!isGzip(bytes))
        return bytes;
    QString fault;
    auto inflated = inflateGzip(bytes, kMaxVectorFileBytes, &fault);
    if (!inflated)
        return fail(error, tr("%1 cannot be used as a drawing: %2.").arg(fileName(path), fault));
    // The SVG parser would inflate another layer itself, without any bound.
    if (isGzip(*inflated))
        return fail(error, tr("%1 is compressed twice.").arg(fileName(path)));
    return inflated;
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

// A drawing's pictures are made as it is parsed and converted as it is drawn; one
// that could not be made is left out, which would be a spray missing part of it.
bool noPictureLost(const DecoderWarnings &warnings, const QString &path, QString *error)
{
    if (warnings.outOfMemory())
        return deny(error, beyondMemory(path));
    if (warnings.lostPicture())
        return deny(error, tr("%1 holds a picture that cannot be read: it is damaged or needs "
                              "more than the %2 MiB a picture may take.")
                               .arg(fileName(path))
                               .arg(kReaderMemoryMiB));
    return true;
}

std::shared_ptr<Picture::Source> openDrawing(const QString &path, QString *error)
{
    const auto xml = readDrawing(path, error);
    if (!xml)
        return nullptr;
    auto source = std::make_shared<Picture::Source>();
    source->path = path;
    {
        const DecoderWarnings warnings;
        source->drawing = std::make_unique<QSvgRenderer>(*xml);
        if (!noPictureLost(warnings, path, error))
            return nullptr;
    }
    const auto size = vectorSize(*source->drawing, path, error);
    if (!size)
        return nullptr;
    source->header = ImageHeader{*size, 1, true};
    return source;
}

QSize coverAtLeast(QSize size, QSize atLeast)
{
    if (!atLeast.isValid() || atLeast.isEmpty())
        return size;
    const double scale =
        std::max(double(atLeast.width()) / size.width(), double(atLeast.height()) / size.height());
    return QSize(int(std::ceil(size.width() * scale)), int(std::ceil(size.height() * scale)));
}

std::optional<LoadedImage> drawVector(const Picture::Source &source, int frame, QSize atLeast,
                                      QString *error)
{
    if (frame != 0)
        return fail(error,
                    tr("%1 has no frame %2; it has 1.").arg(fileName(source.path)).arg(frame + 1));
    QSize drawn = coverAtLeast(source.header.size, atLeast);
    if (drawn.width() > kMaxVectorSide || drawn.height() > kMaxVectorSide)
        drawn.scale(kMaxVectorSide, kMaxVectorSide, Qt::KeepAspectRatio);
    QImage image(drawn.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return fail(error, beyondMemory(source.path));
    image.fill(Qt::transparent);
    const DecoderWarnings warnings;
    QPainter painter(&image);
    source.drawing->render(&painter);
    painter.end();
    if (!noPictureLost(warnings, source.path, error))
        return std::nullopt;
    return LoadedImage{image, source.header.size, 1};
}

// --- raster pictures: the header's claims ---

bool storesEveryPixel(const QByteArray &format)
{
    static const QByteArrayList kUncompressed{"pbm", "pgm", "ppm", "xbm", "xpm", "wbmp", "tga"};
    return kUncompressed.contains(format);
}

bool sizeIsAllowed(const Picture::Source &source, QString *error)
{
    const QSize size = source.stored;
    if (!size.isValid())
        return true; // not in the header; the decoder's allocation limit still holds
    const QString name = fileName(source.path);
    if (size.isEmpty())
        return deny(error, tr("%1 is an empty image.").arg(name));
    if (pixelsOf(size) > kMaxImagePixels)
        return deny(error,
                    tr("%1 is %2x%3, larger than the 100 megapixels a spray can be made from.")
                        .arg(name)
                        .arg(size.width())
                        .arg(size.height()));
    if (storesEveryPixel(source.format)
        && pixelsOf(size) > source.fileBytes * kMaxUncompressedPixelsPerByte)
        return deny(error, tr("%1 claims to be %2x%3, more than its %4 bytes can hold.")
                               .arg(name)
                               .arg(size.width())
                               .arg(size.height())
                               .arg(source.fileBytes));
    return true;
}

bool readJpegFactsInto(Picture::Source &source, QString *error)
{
    QFile file(source.path);
    if (!file.open(QIODevice::ReadOnly))
        return deny(error,
                    tr("%1 cannot be read: %2").arg(fileName(source.path), file.errorString()));
    source.jpeg = readJpegFacts(file);
    if (!source.jpeg)
        return deny(error, tr("%1 is not a JPEG that can be read.").arg(fileName(source.path)));
    return true;
}

// Whether the file runs whole to the end its format marks; cut is what is said of one
// that does not.
bool runsToItsEnd(const Picture::Source &source, Wholeness (*wholeness)(QIODevice &),
                  const QString &cut, QString *error)
{
    const QString name = fileName(source.path);
    QFile file(source.path);
    if (!file.open(QIODevice::ReadOnly))
        return deny(error, tr("%1 cannot be read: %2").arg(name, file.errorString()));
    switch (wholeness(file)) {
    case Wholeness::Whole:
        return true;
    case Wholeness::CutShort:
        return deny(error, tr("%1 is cut short: %2.").arg(name, cut));
    case Wholeness::Damaged:
        break;
    }
    return deny(error, tr("%1 is damaged: its blocks stop making sense before its end.").arg(name));
}

// The readers fill in what is missing from a picture cut short and call it read.
bool isWhole(const Picture::Source &source, QString *error)
{
    const QString name = fileName(source.path);
    if (source.jpeg && !source.jpeg->complete)
        return deny(error,
                    tr("%1 is cut short: its JPEG data stops before the end marker.").arg(name));
    if (source.format == "gif")
        return runsToItsEnd(source, gifWholeness,
                            tr("its GIF data stops before the trailer that ends it"), error);
    if (source.format == "xbm" && !closesXbm(lastBytes(source.path, 64)))
        return deny(
            error, tr("%1 is cut short: its bits stop before the brace that ends them.").arg(name));
    if (source.format != "bmp")
        return true;
    if (!runsToItsEnd(source, bmpRleWholeness,
                      tr("its compressed pixels stop before the mark that ends them"), error))
        return false;
    const auto end = bmpPixelDataEnd(firstBytes(source.path, 64));
    if (end && *end > source.fileBytes)
        return deny(error, tr("%1 is cut short: it has %2 bytes, its header says its pixels "
                              "end at byte %3.")
                               .arg(name)
                               .arg(source.fileBytes)
                               .arg(*end));
    return true;
}

// What decoding a frame delivered at `delivered` takes: the frame, a second copy when it
// is turned to its orientation, and what the format's decoder keeps besides.
qint64 decodeBytes(const Picture::Source &source, QSize delivered)
{
    const qint64 frame = pixelsOf(delivered) * source.bitsPerPixel / 8;
    qint64 bytes = source.transformed ? 2 * frame : frame;
    if (source.format == "gif")
        bytes += frame; // the screen, and a copy to restore it from
    if (source.format == "webp")
        bytes += source.fileBytes + (source.header.frameCount > 1 ? frame : 0);
    if (source.jpeg && source.jpeg->wholePictureBuffered)
        bytes += source.jpeg->coefficientBytes;
    return bytes;
}

bool withinBudget(const Picture::Source &source, QSize delivered, QString *error)
{
    if (!delivered.isValid())
        return true;
    const qint64 bytes = decodeBytes(source, delivered);
    if (bytes <= kDecodeBudgetBytes)
        return true;
    const QString name = fileName(source.path);
    const QSize size = source.stored;
    if (source.jpeg && source.jpeg->wholePictureBuffered)
        return deny(error, tr("%1 is a progressive JPEG of %2x%3: its decoder would keep %4 "
                              "MiB of it at once, more than the %5 MiB a picture may take.")
                               .arg(name)
                               .arg(size.width())
                               .arg(size.height())
                               .arg(inMiB(bytes), inMiB(kDecodeBudgetBytes)));
    return deny(error, tr("%1 (%2x%3) would take %4 MiB to decode, more than the %5 MiB a "
                          "picture may take.")
                           .arg(name)
                           .arg(size.width())
                           .arg(size.height())
                           .arg(inMiB(bytes), inMiB(kDecodeBudgetBytes)));
}

bool scansAreFew(const Picture::Source &source, QString *error)
{
    if (!source.jpeg || !source.jpeg->wholePictureBuffered)
        return true;
    const qint64 blocks = source.jpeg->coefficientBytes / kBytesPerJpegBlock;
    if (qint64(source.jpeg->scans) * blocks <= kMaxJpegScanBlocks)
        return true;
    return deny(error, tr("%1 is a JPEG of %2 scans over %3x%4, more than can be decoded in "
                          "a few seconds.")
                           .arg(fileName(source.path))
                           .arg(source.jpeg->scans)
                           .arg(source.stored.width())
                           .arg(source.stored.height()));
}

QSize shownSize(QSize stored, QImageIOHandler::Transformations transformation)
{
    const bool turned = transformation.testFlag(QImageIOHandler::TransformationRotate90);
    return turned ? stored.transposed() : stored;
}

// libjpeg decodes at 1/2, 1/4 or 1/8 of the size almost for free; what the file
// costs at the least is what it costs at 1/8.
QSize smallestDelivery(const Picture::Source &source)
{
    if (!source.jpeg || !source.stored.isValid())
        return source.stored;
    return QSize((source.stored.width() + 7) / 8, (source.stored.height() + 7) / 8);
}

QImageIOHandler::Transformations exifTurnOf(const Picture::Source &source,
                                            const QImageReader &reader)
{
    if (reader.transformation() != QImageIOHandler::TransformationNone)
        return QImageIOHandler::TransformationNone; // Qt's reader turns it already
    QFile file(source.path);
    const auto orientation =
        file.open(QIODevice::ReadOnly) ? exifOrientation(file, source.format) : std::nullopt;
    return transformationOf(orientation.value_or(1));
}

void describeDecoding(Picture::Source &source, QImageReader &reader)
{
    source.format = reader.format();
    source.readerSize = reader.size();
    source.stored = source.readerSize;
    const auto screen =
        source.format == "gif" ? gifScreenSize(firstBytes(source.path, 10)) : std::nullopt;
    if (screen && !screen->isEmpty())
        source.stored = *screen;
    source.exifTurn = exifTurnOf(source, reader);
    const QImageIOHandler::Transformations turn = reader.transformation() | source.exifTurn;
    source.transformed = turn != QImageIOHandler::TransformationNone;
    // Qt's JPEG reader leaves the format unset when it cannot read the header,
    // so it is asked only once the size was read.
    const QImage::Format format =
        source.readerSize.isValid() ? reader.imageFormat() : QImage::Format_Invalid;
    // A GIF's frames are drawn on a screen of four bytes a pixel, whatever its colours.
    if (format != QImage::Format_Invalid && source.format != "gif")
        source.bitsPerPixel = QImage::toPixelFormat(format).bitsPerPixel();
    source.header =
        ImageHeader{shownSize(source.stored, turn), std::max(1, reader.imageCount()), false};
}

std::shared_ptr<Picture::Source> openRaster(const QString &path, QImageReader &reader,
                                            QString *error)
{
    if (!reader.canRead())
        return refuse(error, tr("%1 is not an image that can be read: %2")
                                 .arg(fileName(path), reader.errorString()));
    auto source = std::make_shared<Picture::Source>();
    source->path = path;
    // Before anything reads the whole file (counting a GIF's frames does).
    source->fileBytes = QFileInfo(path).size();
    if (source->fileBytes > kMaxRasterFileBytes)
        return refuse(error, tr("%1 is %2 MiB, larger than any picture a spray is made from.")
                                 .arg(fileName(path), inMiB(source->fileBytes)));
    describeDecoding(*source, reader);
    if (!sizeIsAllowed(*source, error))
        return nullptr;
    if (source->format == "jpeg" && !readJpegFactsInto(*source, error))
        return nullptr;
    if (!isWhole(*source, error) || !withinBudget(*source, smallestDelivery(*source), error)
        || !scansAreFew(*source, error))
        return nullptr;
    return source;
}

// --- raster pictures: decoding ---

// The smallest of libjpeg's fractions that covers atLeast. The result sizes are exact,
// so Qt has nothing left to scale (its scaling is not linear light). Returns the
// reduced size asked for, before orientation.
std::optional<QSize> requestJpegFraction(QImageReader &reader, QSize atLeast)
{
    const QSize raw = reader.size();
    if (reader.format() != "jpeg" || !raw.isValid() || atLeast.isEmpty())
        return std::nullopt;
    if (reader.transformation().testFlag(QImageIOHandler::TransformationRotate90))
        atLeast.transpose();
    for (int denominator : {8, 4, 2}) {
        const QSize reduced((raw.width() + denominator - 1) / denominator,
                            (raw.height() + denominator - 1) / denominator);
        if (reduced.width() >= atLeast.width() && reduced.height() >= atLeast.height()) {
            reader.setScaledSize(reduced);
            return reduced;
        }
    }
    return std::nullopt;
}

bool frameExists(QImageReader &reader, int frame, const QString &path, QString *error)
{
    const int count = reader.imageCount();
    if (frame >= 0 && frame <= kMaxFrame && (count > 0 ? frame < count : frame == 0))
        return true;
    return deny(error, tr("%1 has no frame %2; it has %3.")
                           .arg(fileName(path))
                           .arg(frame + 1)
                           .arg(std::max(1, count)));
}

bool frameIsNear(const Picture::Source &source, int frame, QString *error)
{
    if (qint64(frame + 1) * pixelsOf(source.stored) <= kMaxPixelsDecodedForAFrame)
        return true;
    return deny(error, tr("%1: reaching frame %2 would decode %2 frames of %3x%4, more than "
                          "can be done in a few seconds.")
                           .arg(fileName(source.path))
                           .arg(frame + 1)
                           .arg(source.stored.width())
                           .arg(source.stored.height()));
}

std::optional<QImage> readFrame(QImageReader &reader, int frame, const QString &path,
                                QString *error)
{
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

std::optional<LoadedImage> decodeRaster(const Picture::Source &source, int frame, QSize atLeast,
                                        QString *error)
{
    const QString name = fileName(source.path);
    const DecoderWarnings warnings;
    QImageReader reader(source.path, source.format);
    reader.setAutoTransform(true);
    if (!reader.canRead() || reader.size() != source.readerSize)
        return fail(error, tr("%1 changed while it was being read.").arg(name));
    if (!frameExists(reader, frame, source.path, error) || !frameIsNear(source, frame, error))
        return std::nullopt;
    const auto reduced = frame == 0 ? requestJpegFraction(reader, atLeast) : std::nullopt;
    const QSize delivered = reduced.value_or(source.stored);
    if (!withinBudget(source, delivered, error))
        return std::nullopt;
    auto image = readFrame(reader, frame, source.path, error);
    if (image)
        *image = transformed(*image, source.exifTurn);
    if (warnings.outOfMemory())
        return fail(error, beyondMemory(source.path));
    if (!image)
        return std::nullopt;
    if (!warnings.missingData().isEmpty())
        return fail(error, tr("%1 is damaged: %2").arg(name, warnings.missingData()));
    if (pixelsOf(image->size()) > kMaxImagePixels)
        return fail(error,
                    tr("%1 is larger than the 100 megapixels a spray can be made from.").arg(name));
    const QSize nominal = source.header.size.isValid() ? source.header.size : image->size();
    return LoadedImage{*image, nominal, source.header.frameCount};
}

std::shared_ptr<Picture::Source> openAny(const QString &path, QString *error)
{
    // Qt's SVG reader claims any gzip data and inflates it without a bound.
    if (isGzip(firstBytes(path, 2)) || hasDrawingName(path))
        return openDrawing(path, error);
    const DecoderWarnings warnings;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (reader.format() == "svg" || reader.format() == "svgz")
        return openDrawing(path, error);
    auto source = openRaster(path, reader, error);
    if (warnings.outOfMemory())
        return refuse(error, beyondMemory(path));
    if (source && !warnings.missingData().isEmpty())
        return refuse(error, tr("%1 is damaged: %2").arg(fileName(path), warnings.missingData()));
    return source;
}

} // namespace

std::optional<Picture> Picture::open(const QString &path, QString *error)
{
    if (!QFileInfo::exists(path))
        return fail(error, tr("%1 does not exist.").arg(fileName(path)));
    if (!QFileInfo(path).isFile())
        return fail(error, tr("%1 is not a file.").arg(fileName(path)));
    limitDecoderAllocation();
    auto source = openAny(path, error);
    if (!source)
        return std::nullopt;
    return Picture(std::move(source));
}

const ImageHeader &Picture::header() const
{
    return m_source->header;
}

std::optional<LoadedImage> Picture::decode(int frame, QSize atLeast, QString *error) const
{
    if (m_source->drawing)
        return drawVector(*m_source, frame, atLeast, error);
    return decodeRaster(*m_source, frame, atLeast, error);
}

std::optional<ImageHeader> readHeader(const QString &path, QString *error)
{
    const auto picture = Picture::open(path, error);
    if (!picture)
        return std::nullopt;
    return picture->header();
}

std::optional<LoadedImage> loadImage(const QString &path, int frame, QSize atLeast, QString *error)
{
    const auto picture = Picture::open(path, error);
    if (!picture)
        return std::nullopt;
    return picture->decode(frame, atLeast, error);
}

LoadedImage reducedToCover(LoadedImage image, QSize atLeast)
{
    const QSize decoded = image.image.size();
    const QSize cover = coverAtLeast(decoded, atLeast);
    // Resampling twice is only worth it when it frees most of the memory.
    if (image.image.isNull() || pixelsOf(decoded) <= 4 * pixelsOf(cover))
        return image;
    image.image = toQImage(resample(image.image, QRectF(QPointF(), QSizeF(decoded)), cover));
    return image;
}

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

QString beyondMemory(const QString &path)
{
    return tr("%1 cannot be read within the %2 MiB of memory a picture may take.")
        .arg(fileName(path))
        .arg(kReaderMemoryMiB);
}

QString beyondTime(const QString &path)
{
    return tr("%1 cannot be read within the %2 seconds a picture may take.")
        .arg(fileName(path))
        .arg(kReaderSeconds);
}

} // namespace spray

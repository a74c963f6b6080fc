#include "exif_orientation.h"

#include <QIODevice>
#include <QTransform>
#include <QtEndian>

namespace spray {
namespace {

constexpr qint64 kMaxExifBytes = qint64(64) * 1024;
// A picture with more chunks before its EXIF than this is no camera's or editor's.
constexpr int kMaxChunks = 4096;
constexpr quint16 kOrientationTag = 0x0112;
constexpr quint16 kTiffShort = 3;
constexpr qint64 kIfdEntryBytes = 12;

// The byte order of the TIFF structure EXIF is stored in.
class TiffReader {
public:
    explicit TiffReader(const QByteArray &data) : m_data(data), m_little(data.startsWith("II")) {}
    bool isTiff() const
    {
        return (m_data.startsWith("II") || m_data.startsWith("MM")) && u16(2) == 42;
    }
    std::optional<quint32> u16(qint64 at) const
    {
        if (at < 0 || at + 2 > m_data.size())
            return std::nullopt;
        const auto *p = reinterpret_cast<const uchar *>(m_data.constData() + at);
        return m_little ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
    }
    std::optional<quint32> u32(qint64 at) const
    {
        if (at < 0 || at + 4 > m_data.size())
            return std::nullopt;
        const auto *p = reinterpret_cast<const uchar *>(m_data.constData() + at);
        return m_little ? qFromLittleEndian<quint32>(p) : qFromBigEndian<quint32>(p);
    }

private:
    QByteArray m_data;
    bool m_little;
};

// The orientation in the first directory of EXIF's TIFF structure; some writers put
// JPEG's "Exif\0\0" before it.
std::optional<int> orientationIn(QByteArray exif)
{
    if (exif.startsWith(QByteArray("Exif\0\0", 6)))
        exif.remove(0, 6);
    const TiffReader tiff(exif);
    const auto directory = tiff.isTiff() ? tiff.u32(4) : std::nullopt;
    const auto entries = directory ? tiff.u16(*directory) : std::nullopt;
    if (!entries)
        return std::nullopt;
    for (quint32 i = 0; i < *entries; ++i) {
        const qint64 entry = qint64(*directory) + 2 + i * kIfdEntryBytes;
        const auto tag = tiff.u16(entry);
        if (!tag)
            return std::nullopt; // the directory runs past the end
        if (*tag != kOrientationTag)
            continue;
        const auto value = tiff.u16(entry + 8);
        if (tiff.u16(entry + 2) != kTiffShort || !value || *value < 1 || *value > 8)
            return std::nullopt;
        return int(*value);
    }
    return std::nullopt;
}

struct ChunkHead {
    QByteArray name;
    qint64 length;  // of its data
    qint64 padding; // after its data
};

// Walks the chunks from `from`, each an 8-byte header that headOf() reads, to the data
// of the one named `wanted`; gives up at a chunk named in `stops`.
template <typename HeadOf>
std::optional<QByteArray> chunkData(QIODevice &file, qint64 from, const QByteArray &wanted,
                                    const QByteArrayList &stops, HeadOf headOf)
{
    if (!file.seek(from))
        return std::nullopt;
    for (int chunk = 0; chunk < kMaxChunks; ++chunk) {
        const QByteArray bytes = file.read(8);
        if (bytes.size() < 8)
            return std::nullopt;
        const ChunkHead head = headOf(bytes);
        if (stops.contains(head.name))
            return std::nullopt;
        if (head.name == wanted)
            return head.length <= kMaxExifBytes ? std::optional(file.read(head.length))
                                                : std::nullopt;
        if (!file.seek(file.pos() + head.length + head.padding))
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QByteArray> pngExif(QIODevice &file)
{
    // Only before the image data, where the PNG standard places eXIf.
    return chunkData(file, 8, "eXIf", {"IDAT", "IEND"}, [](const QByteArray &head) {
        const auto *p = reinterpret_cast<const uchar *>(head.constData());
        return ChunkHead{head.mid(4, 4), qint64(qFromBigEndian<quint32>(p)), 4}; // 4: its CRC
    });
}

std::optional<QByteArray> webpExif(QIODevice &file)
{
    return chunkData(file, 12, "EXIF", {}, [](const QByteArray &head) {
        const auto *p = reinterpret_cast<const uchar *>(head.constData() + 4);
        const qint64 length = qFromLittleEndian<quint32>(p);
        return ChunkHead{head.left(4), length, length & 1};
    });
}

} // namespace

std::optional<int> exifOrientation(QIODevice &file, const QByteArray &format)
{
    std::optional<QByteArray> exif;
    if (format == "png")
        exif = pngExif(file);
    else if (format == "webp")
        exif = webpExif(file);
    return exif ? orientationIn(*exif) : std::nullopt;
}

QImageIOHandler::Transformations transformationOf(int orientation)
{
    switch (orientation) {
    case 2:
        return QImageIOHandler::TransformationMirror;
    case 3:
        return QImageIOHandler::TransformationRotate180;
    case 4:
        return QImageIOHandler::TransformationFlip;
    case 5:
        return QImageIOHandler::TransformationFlipAndRotate90;
    case 6:
        return QImageIOHandler::TransformationRotate90;
    case 7:
        return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8:
        return QImageIOHandler::TransformationRotate270;
    default:
        return QImageIOHandler::TransformationNone;
    }
}

QImage transformed(const QImage &image, QImageIOHandler::Transformations transformation)
{
    if (transformation == QImageIOHandler::TransformationNone)
        return image;
    if (transformation == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    QImage turned = image.mirrored(transformation.testFlag(QImageIOHandler::TransformationMirror),
                                   transformation.testFlag(QImageIOHandler::TransformationFlip));
    if (transformation.testFlag(QImageIOHandler::TransformationRotate90))
        turned = turned.transformed(QTransform().rotate(90));
    return turned;
}

} // namespace spray

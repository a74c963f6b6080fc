#include "picture_bytes.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QScopeGuard>
#include <QtEndian>
#include <QtNumeric>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace spray {
namespace {

constexpr qint64 kReadChunk = qint64(64) * 1024;
constexpr int kInflateStep = 256 * 1024;

QString tr(const char *text)
{
    return QCoreApplication::translate("spray", text);
}

// A device's bytes one at a time, read a chunk at a time, with the one search
// that must be fast: the end of a scan's entropy-coded data.
class ByteStream {
public:
    explicit ByteStream(QIODevice &device) : m_device(device) {}

    std::optional<quint8> next()
    {
        if (!fill())
            return std::nullopt;
        return quint8(m_chunk[m_at++]);
    }

    std::optional<QByteArray> take(qsizetype count)
    {
        QByteArray bytes;
        while (bytes.size() < count && fill()) {
            const qsizetype part = std::min(count - bytes.size(), m_chunk.size() - m_at);
            bytes.append(m_chunk.constData() + m_at, part);
            m_at += part;
        }
        return bytes.size() == count ? std::optional(bytes) : std::nullopt;
    }

    bool skip(qsizetype count)
    {
        while (count > 0 && fill()) {
            const qsizetype part = std::min(count, m_chunk.size() - m_at);
            m_at += part;
            count -= part;
        }
        return count == 0;
    }

    // Past the next 0xFF in the data, wherever it is.
    bool skipPastFF()
    {
        while (fill()) {
            const char *from = m_chunk.constData() + m_at;
            const void *found = std::memchr(from, 0xff, size_t(m_chunk.size() - m_at));
            if (found) {
                m_at += static_cast<const char *>(found) - from + 1;
                return true;
            }
            m_at = m_chunk.size();
        }
        return false;
    }

private:
    bool fill()
    {
        if (m_at < m_chunk.size())
            return true;
        m_chunk = m_device.read(kReadChunk);
        m_at = 0;
        return !m_chunk.isEmpty();
    }

    QIODevice &m_device;
    QByteArray m_chunk;
    qsizetype m_at = 0;
};

int byteAt(const QByteArray &bytes, qsizetype at)
{
    return quint8(bytes[at]);
}

int bigEndian16(const QByteArray &bytes, qsizetype at)
{
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

// A marker's code after the fill bytes; as in libjpeg, bytes that are no marker are passed over.
std::optional<quint8> nextMarker(ByteStream &in)
{
    for (;;) {
        if (!in.skipPastFF())
            return std::nullopt;
        std::optional<quint8> code = in.next();
        while (code && *code == 0xff)
            code = in.next();
        if (!code)
            return std::nullopt;
        if (*code != 0)
            return code;
    }
}

// The marker that ends a scan: inside the scan 0xFF is followed by a stuffed zero
// or a restart marker, which both belong to the scan.
std::optional<quint8> markerAfterScan(ByteStream &in)
{
    for (;;) {
        const std::optional<quint8> code = nextMarker(in);
        if (!code || *code < 0xd0 || *code > 0xd7)
            return code;
    }
}

std::optional<QByteArray> segment(ByteStream &in)
{
    const auto length = in.take(2);
    if (!length || bigEndian16(*length, 0) < 2)
        return std::nullopt;
    return in.take(bigEndian16(*length, 0) - 2);
}

bool isFrameMarker(quint8 code)
{
    return code >= 0xc0 && code <= 0xcf && code != 0xc4 && code != 0xc8 && code != 0xcc;
}

bool isProgressive(quint8 code)
{
    return code == 0xc2 || code == 0xc6 || code == 0xca || code == 0xce;
}

struct Sampling {
    int h = 1;
    int v = 1;
};

struct Frame {
    QSize size;
    bool progressive = false;
    std::vector<Sampling> components;
};

std::optional<Frame> parseFrame(const QByteArray &body, quint8 code)
{
    if (body.size() < 6)
        return std::nullopt;
    Frame frame{QSize(bigEndian16(body, 3), bigEndian16(body, 1)), isProgressive(code), {}};
    const int count = byteAt(body, 5);
    if (count == 0 || body.size() < 6 + 3 * count)
        return std::nullopt;
    for (int i = 0; i < count; ++i) {
        const int factors = byteAt(body, 7 + 3 * i);
        const Sampling sampling{factors >> 4, factors & 0x0f};
        if (sampling.h < 1 || sampling.h > 4 || sampling.v < 1 || sampling.v > 4)
            return std::nullopt;
        frame.components.push_back(sampling);
    }
    return frame;
}

qint64 roundUp(qint64 value, qint64 step)
{
    return (value + step - 1) / step * step;
}

// As libjpeg lays them out: each component's 8x8 blocks of 64 two-byte
// coefficients, rows and columns rounded up to whole units of its sampling.
qint64 coefficientBytes(const Frame &frame)
{
    int hMax = 1;
    int vMax = 1;
    for (const Sampling &s : frame.components) {
        hMax = std::max(hMax, s.h);
        vMax = std::max(vMax, s.v);
    }
    qint64 bytes = 0;
    for (const Sampling &s : frame.components) {
        const qint64 acrossUnit = qint64(8) * hMax;
        const qint64 downUnit = qint64(8) * vMax;
        const qint64 across = roundUp(qint64(frame.size.width()) * s.h, acrossUnit) / acrossUnit;
        const qint64 down = roundUp(qint64(frame.size.height()) * s.v, downUnit) / downUnit;
        bytes += roundUp(across, s.h) * roundUp(down, s.v) * 64 * 2;
    }
    return bytes;
}

// Past a GIF's chain of sub-blocks, each a length byte and that many bytes, which an
// empty one ends.
bool skipSubBlocks(ByteStream &in)
{
    for (;;) {
        const std::optional<quint8> length = in.next();
        if (!length)
            return false;
        if (*length == 0)
            return true;
        if (!in.skip(*length))
            return false;
    }
}

// The colour table that the packed byte of a screen or frame descriptor announces.
bool skipColourTable(ByteStream &in, int packed)
{
    constexpr int kHasTable = 0x80;
    return !(packed & kHasTable) || in.skip(qsizetype(3) * (2 << (packed & 7)));
}

bool skipGifFrame(ByteStream &in)
{
    const auto descriptor = in.take(9);
    return descriptor && skipColourTable(in, byteAt(*descriptor, 8))
           && in.next() // the LZW code size
           && skipSubBlocks(in);
}

// An absolute run in RLE: count pixels as they are, in whole 16-bit words.
bool skipAbsoluteRun(ByteStream &in, int count, bool fourBits)
{
    const int bytes = fourBits ? (count + 1) / 2 : count;
    return in.skip(bytes + bytes % 2);
}

} // namespace

std::optional<JpegFacts> readJpegFacts(QIODevice &file)
{
    ByteStream in(file);
    if (in.next() != 0xff || in.next() != 0xd8)
        return std::nullopt;
    JpegFacts facts;
    std::optional<Frame> frame;
    std::optional<quint8> code = nextMarker(in);
    while (code && *code != 0xd9) {
        if (*code == 0x01 || (*code >= 0xd0 && *code <= 0xd7)) { // markers without a body
            code = nextMarker(in);
            continue;
        }
        const std::optional<QByteArray> body = segment(in);
        if (!body)
            break;
        if (isFrameMarker(*code) && !frame && !(frame = parseFrame(*body, *code)))
            return std::nullopt;
        if (*code != 0xda) {
            code = nextMarker(in);
            continue;
        }
        if (!frame || body->isEmpty())
            return std::nullopt;
        if (facts.scans++ == 0)
            facts.wholePictureBuffered =
                frame->progressive || byteAt(*body, 0) < int(frame->components.size());
        code = markerAfterScan(in);
    }
    if (!frame)
        return std::nullopt;
    facts.complete = code == 0xd9;
    facts.size = frame->size;
    facts.coefficientBytes = coefficientBytes(*frame);
    return facts;
}

std::optional<qint64> bmpPixelDataEnd(const QByteArray &head)
{
    if (head.size() < 26 || !head.startsWith("BM"))
        return std::nullopt;
    const auto *bytes = head.constData();
    const qint64 offset = qFromLittleEndian<quint32>(bytes + 10);
    const quint32 infoSize = qFromLittleEndian<quint32>(bytes + 14);
    qint64 width = 0;
    qint64 height = 0;
    int bits = 0;
    if (infoSize == 12) { // the old OS/2 header
        width = qFromLittleEndian<quint16>(bytes + 18);
        height = qFromLittleEndian<quint16>(bytes + 20);
        bits = qFromLittleEndian<quint16>(bytes + 24);
    } else if (infoSize >= 40 && head.size() >= 34) {
        constexpr quint32 kUncompressed = 0, kBitFields = 3, kAlphaBitFields = 6;
        const quint32 compression = qFromLittleEndian<quint32>(bytes + 30);
        if (compression != kUncompressed && compression != kBitFields
            && compression != kAlphaBitFields)
            return std::nullopt;
        width = qFromLittleEndian<qint32>(bytes + 18);
        height = qFromLittleEndian<qint32>(bytes + 22);
        bits = qFromLittleEndian<quint16>(bytes + 28);
    } else {
        return std::nullopt;
    }
    // Rows are padded to four bytes; some writers leave out the last row's padding.
    const qint64 rowBytes = (std::abs(width) * bits + 31) / 32 * 4;
    const qint64 lastRowBytes = (std::abs(width) * bits + 7) / 8;
    if (height == 0)
        return offset;
    // A header may claim sides no file holds: such a product must not wrap round.
    qint64 end = 0;
    if (qMulOverflow(rowBytes, std::abs(height) - 1, &end) || qAddOverflow(end, offset, &end)
        || qAddOverflow(end, lastRowBytes, &end))
        return std::numeric_limits<qint64>::max();
    return end;
}

std::optional<QSize> gifScreenSize(const QByteArray &head)
{
    if (head.size() < 10 || !(head.startsWith("GIF87a") || head.startsWith("GIF89a")))
        return std::nullopt;
    return QSize(qFromLittleEndian<quint16>(head.constData() + 6),
                 qFromLittleEndian<quint16>(head.constData() + 8));
}

Wholeness gifWholeness(QIODevice &file)
{
    ByteStream in(file);
    const auto head = in.take(13); // the signature and the screen descriptor
    if (!head || !skipColourTable(in, byteAt(*head, 10)))
        return Wholeness::CutShort;
    constexpr quint8 kFrame = 0x2c, kExtension = 0x21, kTrailer = 0x3b;
    for (;;) {
        const std::optional<quint8> introducer = in.next();
        if (!introducer)
            return Wholeness::CutShort;
        if (*introducer == kTrailer)
            return Wholeness::Whole;
        if (*introducer != kFrame && *introducer != kExtension)
            return Wholeness::Damaged;
        const bool whole =
            *introducer == kFrame ? skipGifFrame(in) : in.next() && skipSubBlocks(in); // its label
        if (!whole)
            return Wholeness::CutShort;
    }
}

Wholeness bmpRleWholeness(QIODevice &file)
{
    const QByteArray head = file.read(34);
    constexpr quint32 kRle8 = 1, kRle4 = 2;
    if (head.size() < 34 || !head.startsWith("BM")
        || qFromLittleEndian<quint32>(head.constData() + 14) < 40)
        return Wholeness::Whole;
    const quint32 compression = qFromLittleEndian<quint32>(head.constData() + 30);
    if (compression != kRle8 && compression != kRle4)
        return Wholeness::Whole;
    const qint64 rows = std::abs(qint64(qFromLittleEndian<qint32>(head.constData() + 22)));
    if (!file.seek(qFromLittleEndian<quint32>(head.constData() + 10)))
        return Wholeness::CutShort;
    ByteStream in(file);
    qint64 row = 0;
    for (;;) {
        const std::optional<quint8> count = in.next();
        const std::optional<quint8> escape = count ? in.next() : std::nullopt;
        if (!escape) // some writers end the last row without the mark
            return row >= rows ? Wholeness::Whole : Wholeness::CutShort;
        if (*count != 0) // a run of one value
            continue;
        constexpr int kEndOfLine = 0, kEndOfBitmap = 1, kDelta = 2;
        if (*escape == kEndOfBitmap)
            return Wholeness::Whole;
        if (*escape == kEndOfLine) {
            ++row;
        } else if (*escape == kDelta) {
            const auto delta = in.take(2);
            if (!delta)
                return Wholeness::CutShort;
            row += byteAt(*delta, 1);
        } else if (!skipAbsoluteRun(in, *escape, compression == kRle4)) {
            return Wholeness::CutShort;
        }
    }
}

bool closesXbm(const QByteArray &tail)
{
    const QByteArray end = tail.trimmed();
    return end.endsWith('}') || end.endsWith("};");
}

bool isGzip(const QByteArray &head)
{
    return head.startsWith("\x1f\x8b");
}

std::optional<QByteArray> inflateGzip(const QByteArray &compressed, qint64 limit, QString *fault)
{
    z_stream stream{};
    constexpr int kGzipOnly = 16 + MAX_WBITS;
    if (inflateInit2(&stream, kGzipOnly) != Z_OK) {
        *fault = tr("there is not enough memory to uncompress it");
        return std::nullopt;
    }
    const auto end = qScopeGuard([&stream] { inflateEnd(&stream); });
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    QByteArray out;
    int result = Z_OK;
    while (result == Z_OK && out.size() <= limit) {
        const qsizetype done = out.size();
        out.resize(done + kInflateStep);
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + done);
        stream.avail_out = kInflateStep;
        result = inflate(&stream, Z_NO_FLUSH);
        out.resize(done + kInflateStep - qsizetype(stream.avail_out));
    }
    if (out.size() > limit)
        *fault = tr("it is more than %1 MiB uncompressed").arg(limit >> 20);
    else if (result == Z_BUF_ERROR)
        *fault = tr("its compressed data ends too soon");
    else if (result != Z_STREAM_END)
        *fault = tr("its compressed data is damaged");
    else
        return out;
    return std::nullopt;
}

} // namespace spray

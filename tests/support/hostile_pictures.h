#pragma once

// Pictures that lie about themselves or are cut short, made in code rather than
// kept as files, for the tests of the spray maker's gate.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QtEndian>

#include <zlib.h>

namespace tagswap::testing {

inline QByteArray encoded(const QImage &image, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

// Gradients under a pattern: neither flat nor noise, like a real picture.
inline QImage somePicture(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / size.width(), (x ^ y) & 0xff, y * 255 / size.height()));
    return image;
}

// gzip with repeats pieces of filler between head and tail, deflated a piece at a time.
inline QByteArray gzipped(const QByteArray &head, const QByteArray &filler, int repeats,
                          const QByteArray &tail)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    QByteArray out;
    const auto feed = [&](const QByteArray &in, int flush) {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
        stream.avail_in = uInt(in.size());
        char chunk[65536];
        do {
            stream.next_out = reinterpret_cast<Bytef *>(chunk);
            stream.avail_out = sizeof chunk;
            deflate(&stream, flush);
            out.append(chunk, qsizetype(sizeof chunk - stream.avail_out));
        } while (stream.avail_out == 0);
    };
    feed(head, Z_NO_FLUSH);
    for (int i = 0; i < repeats; ++i)
        feed(filler, Z_NO_FLUSH);
    feed(tail, Z_FINISH);
    deflateEnd(&stream);
    return out;
}

inline QByteArray smallDrawing()
{
    return "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'>"
           "<rect width='40' height='20' fill='#3050e0'/></svg>";
}

// A drawing that is mostly one comment, mib MiB of it once inflated.
inline QByteArray compressedDrawingOf(int mib)
{
    return gzipped("<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><!--",
                   QByteArray(1024 * 1024, ' '), mib, "--><rect width='10' height='10'/></svg>");
}

// Where the marker with this code starts in a JPEG, by its segment lengths.
inline qsizetype jpegMarker(const QByteArray &jpeg, quint8 code)
{
    for (qsizetype at = 2; at + 4 <= jpeg.size();
         at += 2 + qFromBigEndian<quint16>(jpeg.constData() + at + 2)) {
        if (quint8(jpeg[at + 1]) == code)
            return at;
    }
    return -1;
}

// A small progressive JPEG whose frame header claims width x height with every
// colour at full resolution (4:4:4): a few hundred bytes for which a decoder keeps
// about two bytes a pixel and colour before the first pixel comes out.
inline QByteArray progressiveJpegClaiming(int width, int height)
{
    QByteArray jpeg = encoded(somePicture(QSize(16, 16)), "jpeg", true);
    const qsizetype frame = jpegMarker(jpeg, 0xc2);
    if (frame < 0)
        return {};
    qToBigEndian<quint16>(quint16(height), jpeg.data() + frame + 5);
    qToBigEndian<quint16>(quint16(width), jpeg.data() + frame + 7);
    for (int component = 0; component < quint8(jpeg[frame + 9]); ++component)
        jpeg[frame + 11 + 3 * component] = 0x11;
    return jpeg;
}

// A progressive JPEG of one flat colour whose last scan is repeated: each repeat is a
// few bytes, and a decoder passes over the whole picture for each.
inline QByteArray progressiveJpegRepeatingScans(int side, int repeats)
{
    QImage flat(side, side, QImage::Format_RGB32);
    flat.fill(qRgb(120, 130, 140));
    const QByteArray jpeg = encoded(flat, "jpeg", true);
    const qsizetype lastScan = jpeg.lastIndexOf("\xff\xda");
    const QByteArray scan = jpeg.mid(lastScan, jpeg.size() - 2 - lastScan);
    return jpeg.left(jpeg.size() - 2) + scan.repeated(repeats) + "\xff\xd9";
}

// One bit a pixel, 6000x6000, a few kilobytes: far more pixels than bytes, as a
// scanned page or a logo is.
inline QByteArray largeOneBitPng()
{
    QImage image(6000, 6000, QImage::Format_Mono);
    image.fill(0);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawEllipse(QRect(500, 500, 5000, 5000));
    painter.end();
    return encoded(image, "png");
}

// A BMP compressed with RLE, 8 or 4 bits a pixel, at most 255 pixels wide, in rows
// of 16 colours in turn: each row a few pixels as they are (an odd count, which
// needs padding), one run of the row's colour, and the end of the row; the end of
// the bitmap after the last.
inline QByteArray rleBmp(int width, int height, int bits)
{
    const bool fourBits = bits == 4;
    const int literal = fourBits ? 5 : 3;
    const int literalBytes = fourBits ? (literal + 1) / 2 : literal;
    QByteArray pixels;
    for (int y = 0; y < height; ++y) {
        const char colour = char(y % 16);
        const char value = fourBits ? char(colour << 4 | colour) : colour;
        pixels += '\0' + QByteArray(1, char(literal)) + QByteArray(literalBytes, value)
                  + QByteArray(literalBytes % 2, '\0');
        pixels += char(width - literal) + QByteArray(1, value);
        pixels += QByteArray(y + 1 == height ? "\0\1" : "\0\0", 2);
    }
    QByteArray palette;
    for (int i = 0; i < 16; ++i)
        palette += QByteArray(1, char(i * 16)) + char(255 - i * 16) + char(i * 8) + '\0';
    QByteArray header(54, '\0');
    header[0] = 'B';
    header[1] = 'M';
    qToLittleEndian<quint32>(quint32(54 + palette.size() + pixels.size()), header.data() + 2);
    qToLittleEndian<quint32>(quint32(54 + palette.size()), header.data() + 10);
    qToLittleEndian<quint32>(40, header.data() + 14);
    qToLittleEndian<qint32>(width, header.data() + 18);
    qToLittleEndian<qint32>(height, header.data() + 22);
    qToLittleEndian<quint16>(1, header.data() + 26);
    qToLittleEndian<quint16>(quint16(bits), header.data() + 28);
    qToLittleEndian<quint32>(fourBits ? 2 : 1, header.data() + 30); // RLE4, RLE8
    qToLittleEndian<quint32>(quint32(pixels.size()), header.data() + 34);
    qToLittleEndian<quint32>(16, header.data() + 46); // colours
    return header + palette + pixels;
}

// A PNG chunk: its length, type and data, and the CRC of the type and data.
inline QByteArray pngChunk(const QByteArray &type, const QByteArray &data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian(quint32(data.size()), chunk.data());
    chunk += type + data;
    const QByteArray crcOver = type + data;
    QByteArray crc(4, '\0');
    qToBigEndian(quint32(crc32(0, reinterpret_cast<const Bytef *>(crcOver.constData()),
                               uInt(crcOver.size()))),
                 crc.data());
    return chunk + crc;
}

// A PNG of little more than a header claiming width x height in 16-bit RGBA, eight bytes
// a pixel once decoded.
inline QByteArray deepPngHeaderClaiming(int width, int height)
{
    QByteArray header("IHDR", 4);
    header.resize(17);
    qToBigEndian<quint32>(quint32(width), header.data() + 4);
    qToBigEndian<quint32>(quint32(height), header.data() + 8);
    header[12] = 16; // bits a channel
    header[13] = 6;  // RGBA
    header[14] = header[15] = header[16] = 0;
    // Image data that inflates to nothing: the header is read up to it, not past.
    const QByteArray data("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header.mid(4))
           + pngChunk("IDAT", data) + pngChunk("IEND", {});
}

// Cut to the given fraction of its bytes.
inline QByteArray cutShort(const QByteArray &bytes, double kept = 0.6)
{
    return bytes.left(qsizetype(double(bytes.size()) * kept));
}

// A JPEG whose end marker is there but part of whose scan data is not.
inline QByteArray jpegMissingData()
{
    return cutShort(encoded(somePicture(QSize(256, 256)), "jpeg"), 0.8) + "\xff\xd9";
}

// A PNG of one half-transparent colour in eight-bit RGBA, its rows deflated as they
// are made: half a megabyte for a picture of 10000x10000 that decodes to 400 MB, and
// to as much again once a drawing premultiplies it.
inline QByteArray flatRgbaPng(int width, int height)
{
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(width), header.data());
    qToBigEndian<quint32>(quint32(height), header.data() + 4);
    header[8] = 8; // bits a channel
    header[9] = 6; // RGBA
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, MAX_WBITS, 9, Z_RLE);
    // Each row's filter takes every pixel from the one before it: all zeros after the first.
    const QByteArray row =
        QByteArray("\x01\x80\x40\x20\xc0", 5) + QByteArray(4 * (width - 1), '\0');
    QByteArray data;
    char out[65536];
    for (int y = 0; y < height; ++y) {
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(row.constData()));
        stream.avail_in = uInt(row.size());
        const int flush = y + 1 == height ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef *>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, flush);
            data.append(out, qsizetype(sizeof out - stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", data)
           + pngChunk("IEND", {});
}

// A GIF of 43 bytes: one pixel on a transparent screen of width x height, which
// Qt's reader decodes whole, four bytes a pixel.
inline QByteArray gifOfScreen(int width, int height)
{
    QByteArray screen(4, '\0');
    qToLittleEndian<quint16>(quint16(width), screen.data());
    qToLittleEndian<quint16>(quint16(height), screen.data() + 2);
    // Two colours, the first transparent; a 1x1 frame at 0,0; the trailer.
    return "GIF89a" + screen
           + QByteArray::fromHex("800000 000000 ff8040  21f904 01 0000 00 00"
                                 "  2c 0000 0000 0100 0100 00  02 02 4401 00  3b");
}

// A drawing of one picture, given inline as a data: URI.
inline QByteArray drawingHolding(const QByteArray &picture)
{
    return "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'"
           " width='100' height='100'><image width='100' height='100' "
           "xlink:href='data:image/png;base64,"
           + picture.toBase64() + "'/></svg>";
}

// Two kilobytes of drawing: a dashed, stroked path, used ten times in each of seven
// levels, so that ten million dashed paths are drawn. Six levels take about 5 s of
// processor time at a spray's size, right at the reader's limit; seven are well past
// it on any machine.
inline QByteArray drawingOfNestedUses(int levels = 7, int uses = 10)
{
    QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' "
                     "xmlns:xlink='http://www.w3.org/1999/xlink' width='100' height='100'>"
                     "<path id='l0' d='M0,0 C30,90 70,10 100,100 S10,60 50,5' fill='none' "
                     "stroke='#204080' stroke-width='2' stroke-dasharray='1 1'/>";
    for (int level = 1; level <= levels; ++level) {
        svg += "<g id='l" + QByteArray::number(level) + "'>";
        for (int use = 0; use < uses; ++use)
            svg += "<use xlink:href='#l" + QByteArray::number(level - 1) + "'/>";
        svg += "</g>";
    }
    return svg + "</svg>";
}

// A plain (text) PPM of about the given size: a sample is a digit and a space, which
// the reader takes a character at a time.
inline QByteArray plainPpmOf(qint64 bytes)
{
    constexpr int kWidth = 10000;
    const QByteArray pixel("1 2 3\n");
    const int height = int((bytes - 64) / (kWidth * pixel.size()));
    return "P3\n" + QByteArray::number(kWidth) + ' ' + QByteArray::number(height) + "\n255\n"
           + pixel.repeated(qsizetype(kWidth) * height);
}

} // namespace tagswap::testing

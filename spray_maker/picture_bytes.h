#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <optional>

class QIODevice;

// What a picture's own bytes say, read without a decoder: the decoders trust the
// header and fill in whatever is missing, so what they would cost and whether the
// file is whole is found here first.
namespace spray {

struct JpegFacts {
    QSize size; // as stored, before the file's own orientation
    // Progressive, or a first scan without every component: the decoder then
    // keeps the coefficients of the whole picture until the last scan.
    bool wholePictureBuffered = false;
    qint64 coefficientBytes = 0; // what those coefficients take, buffered or not
    int scans = 0;
    bool complete = false; // the end marker follows the last scan
};

// Empty when the markers make no sense (no frame header before the first scan,
// sampling factors the decoder refuses).
std::optional<JpegFacts> readJpegFacts(QIODevice &file);

// Where an uncompressed BMP's pixel data ends, from its header; empty for a
// compressed BMP or a header this does not know.
std::optional<qint64> bmpPixelDataEnd(const QByteArray &head);

// The screen a GIF's frames are drawn on, which Qt decodes whole; Qt's reader
// gives only the first frame's size.
std::optional<QSize> gifScreenSize(const QByteArray &head);

enum class Wholeness { Whole, CutShort, Damaged };

// Whether a GIF's blocks, its frames' image data among them, follow one another
// whole up to the trailer that ends the file.
Wholeness gifWholeness(QIODevice &file);

// Whether an RLE-compressed BMP's pixel data runs to its end-of-bitmap mark, or at
// least to the end of its last row; Whole for any other BMP (bmpPixelDataEnd tells
// where an uncompressed one ends).
Wholeness bmpRleWholeness(QIODevice &file);

// Inflates gzip data to at most limit bytes. Empty, with the fault in *fault,
// when it is larger, damaged or cut short.
std::optional<QByteArray> inflateGzip(const QByteArray &compressed, qint64 limit, QString *fault);

// Whether the last bytes of an XBM close the array of its bits, as a whole one does.
bool closesXbm(const QByteArray &tail);

bool isGzip(const QByteArray &head);

} // namespace spray

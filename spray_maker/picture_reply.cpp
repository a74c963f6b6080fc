#include "picture_reply.h"

#include <QCoreApplication>
#include <QtEndian>

#include <cstring>
#include <limits>

namespace spray {
namespace {

// The magic, a version, and the kind: a picture or a refusal.
constexpr char kMagic[] = "TSPR";
constexpr qsizetype kMagicBytes = 4;
constexpr char kVersion = 1;
constexpr char kPicture = 'P';
constexpr char kRefusal = 'R';
constexpr qsizetype kHeadBytes = kMagicBytes + 2;
// Nominal width and height, frames, then the width and height of the pixels sent.
constexpr int kPictureFields = 5;
constexpr qsizetype kPictureHeadBytes = kHeadBytes + qsizetype(kPictureFields) * 4;

QString tr(const char *text)
{
    return QCoreApplication::translate("spray", text);
}

QByteArray head(char kind)
{
    return replyStart() + kind;
}

void append32(QByteArray &bytes, qint64 value)
{
    char field[4];
    qToLittleEndian(quint32(value), field);
    bytes.append(field, 4);
}

quint32 field32(const QByteArray &reply, int index)
{
    return qFromLittleEndian<quint32>(reply.constData() + kHeadBytes + qsizetype(4) * index);
}

std::nullopt_t fail(QString *error, const QString &message)
{
    *error = message;
    return std::nullopt;
}

// Sides that QSize holds and that together make no more than limit pixels.
bool sidesWithin(quint32 width, quint32 height, qint64 limit)
{
    return width >= 1 && height >= 1 && width <= quint32(std::numeric_limits<int>::max())
           && height <= quint32(std::numeric_limits<int>::max())
           && qint64(width) * qint64(height) <= limit;
}

std::optional<QString> refusalIn(const QByteArray &reply)
{
    if (reply.size() < kHeadBytes + 4)
        return std::nullopt;
    const quint32 length = field32(reply, 0);
    if (length == 0 || length > quint32(kMaxReplyMessageBytes)
        || reply.size() != kHeadBytes + 4 + qsizetype(length))
        return std::nullopt;
    // One line, whatever the reader put in it.
    QString message = QString::fromUtf8(reply.constData() + kHeadBytes + 4, length);
    for (QChar &c : message) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return message;
}

std::optional<LoadedImage> pictureIn(const QByteArray &reply)
{
    if (reply.size() < kPictureHeadBytes)
        return std::nullopt;
    const quint32 nominalWidth = field32(reply, 0), nominalHeight = field32(reply, 1);
    const quint32 frames = field32(reply, 2);
    const quint32 width = field32(reply, 3), height = field32(reply, 4);
    if (!sidesWithin(nominalWidth, nominalHeight, kMaxImagePixels)
        || !sidesWithin(width, height, kMaxReplyPixels) || frames < 1
        || frames > quint32(std::numeric_limits<int>::max())
        || reply.size() != kPictureHeadBytes + qsizetype(width) * qsizetype(height) * 4)
        return std::nullopt;
    QImage image(int(width), int(height), QImage::Format_RGBA8888);
    if (image.isNull())
        return std::nullopt;
    const char *pixels = reply.constData() + kPictureHeadBytes;
    const size_t rowBytes = size_t(width) * 4;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), pixels + rowBytes * size_t(y), rowBytes);
    image.convertTo(QImage::Format_ARGB32);
    return LoadedImage{image, QSize(int(nominalWidth), int(nominalHeight)), int(frames)};
}

} // namespace

QByteArray replyStart()
{
    static_assert(kMagicBytes + 1 == kReplyStartBytes);
    return QByteArray(kMagic, kMagicBytes) + kVersion;
}

QByteArray pictureReply(const LoadedImage &image)
{
    const QImage pixels = image.image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray reply = head(kPicture);
    reply.reserve(kPictureHeadBytes + qsizetype(pixels.width()) * pixels.height() * 4);
    for (const qint64 value :
         {qint64(image.size.width()), qint64(image.size.height()), qint64(image.frameCount),
          qint64(pixels.width()), qint64(pixels.height())})
        append32(reply, value);
    for (int y = 0; y < pixels.height(); ++y)
        reply.append(reinterpret_cast<const char *>(pixels.constScanLine(y)),
                     qsizetype(pixels.width()) * 4);
    return reply;
}

QByteArray refusalReply(const QString &message)
{
    QByteArray text = message.toUtf8().left(kMaxReplyMessageBytes);
    // Not a character cut in two at the end.
    while (!text.isEmpty() && QString::fromUtf8(text).toUtf8() != text)
        text.chop(1);
    if (text.isEmpty())
        text = "?";
    QByteArray reply = head(kRefusal);
    append32(reply, text.size());
    return reply + text;
}

std::optional<LoadedImage> pictureFromReply(const QByteArray &reply, const QString &fileName,
                                            QString *error)
{
    const QString malformed = tr("%1 could not be read: the picture reader's reply makes no "
                                 "sense.")
                                  .arg(fileName);
    if (reply.size() < kHeadBytes || !reply.startsWith(QByteArray(kMagic, kMagicBytes))
        || reply.at(kMagicBytes) != kVersion)
        return fail(error, malformed);
    if (reply.at(kMagicBytes + 1) == kRefusal) {
        const auto refusal = refusalIn(reply);
        return fail(error, refusal.value_or(malformed));
    }
    auto picture = reply.at(kMagicBytes + 1) == kPicture ? pictureIn(reply) : std::nullopt;
    if (!picture)
        return fail(error, malformed);
    return picture;
}

} // namespace spray

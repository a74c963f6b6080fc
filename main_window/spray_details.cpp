#include "spray_details.h"

#include "file_access.h"
#include "game_view.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLocale>

#include <algorithm>

namespace tagswap {

namespace {

// decode() refuses anything over 1 MiB; reading one byte more is enough to know.
constexpr qint64 kReadLimit = (1 << 20) + 1;

QString tr(const char *text)
{
    return QCoreApplication::translate("SprayDetails", text);
}

QString pngDataUrl(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}

} // namespace

std::optional<QByteArray> readSprayBytes(const QString &path)
{
    QFile file(path);
    // A folder or a device opens too, but is no spray.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(kReadLimit);
    if (bytes.isNull() && file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

SprayDetails readSprayDetails(const QString &path)
{
    SprayDetails details;
    const std::optional<QByteArray> bytes = readSprayBytes(path);
    if (!bytes) {
        details.refusal = tr("The file cannot be read.");
        return details;
    }
    details.readable = true;
    details.fileSize = std::max(qint64(bytes->size()), QFileInfo(path).size());
    details.refusal = decal::gameRefusal(*bytes, details.fileSize);
    if (details.fileSize < kReadLimit)
        details.decal = decal::decode(*bytes);
    return details;
}

QString pictureKindOf(const QString &path)
{
    // What a picture's first bytes say is within this many.
    constexpr qint64 kSignatureBytes = 1024;
    QFile file(path);
    if (!isExistingFile(path) || !file.open(QIODevice::ReadOnly))
        return {};
    return decal::pictureKind(file.read(kSignatureBytes));
}

QString spraySummary(const SprayDetails &details)
{
    if (!details.decal)
        return tr("%L1 bytes").arg(details.fileSize);
    return decal::sizeKindAndBytes(details.decal->width, details.decal->height,
                                   details.decal->isColourSpray(), details.fileSize);
}

QString sprayToolTip(const QString &name, const SprayDetails &details)
{
    QString html = QStringLiteral("<p><b>%1</b></p>").arg(name.toHtmlEscaped());
    if (!details.refusal.isEmpty() || !details.decal) {
        html += QStringLiteral("<p>%1</p>")
                    .arg(tr("The game would refuse it: %1").arg(details.refusal.toHtmlEscaped()));
        if (details.readable)
            html += QStringLiteral("<p>%1</p>").arg(spraySummary(details).toHtmlEscaped());
        return html;
    }
    const QImage shown = decal::renderAsGame(*details.decal);
    html += QStringLiteral("<p><img src=\"%1\" width=\"%2\" height=\"%3\"></p>")
                .arg(pngDataUrl(shown))
                .arg(shown.width())
                .arg(shown.height());
    html += QStringLiteral("<p>%1</p>").arg(spraySummary(details).toHtmlEscaped());
    return html;
}

QString SprayDetailsCache::toolTip(const QString &path, const QString &name)
{
    const QFileInfo info(path);
    const qint64 size = info.size();
    const QDateTime modified = info.lastModified();
    if (const Entry *entry = m_entries.object(path);
        entry && entry->size == size && entry->modified == modified)
        return entry->toolTip;
    auto *entry = new Entry{size, modified, sprayToolTip(name, readSprayDetails(path))};
    QString text = entry->toolTip;
    m_entries.insert(path, entry);
    return text;
}

} // namespace tagswap

// Writes the demo sprays shipped in demo/, and the cache of sprays seen in game of
// the demo's game folder (Half-Life/valve/custom.hpk), made from sprays drawn here.
// The artwork is drawn from plain shapes and paths, never text, so the output does
// not depend on installed fonts and is byte-for-byte the same on every run.

#include "decal_file.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

QImage canvas(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void outlineAndFill(QPainter &p, const QPainterPath &shape, QColor fill, QColor outline,
                    qreal width)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(outline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(shape);
}

QImage smiley()
{
    QImage image = canvas(64, 64);
    QPainter p(&image);
    const QColor ink(70, 40, 0);
    QPainterPath face;
    face.addEllipse(QRectF(4, 4, 56, 56));
    outlineAndFill(p, face, QColor(255, 205, 40), ink, 3);

    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QRectF(20, 17, 7, 12));
    p.drawEllipse(QRectF(37, 17, 7, 12));

    QPainterPath smile;
    smile.moveTo(17, 37);
    smile.quadTo(32, 56, 47, 37);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ink, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(smile);
    return image;
}

QImage star()
{
    QImage image = canvas(96, 96);
    QPainter p(&image);
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const double angle = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const double radius = i % 2 == 0 ? 44 : 18;
        points << QPointF(48 + radius * std::cos(angle), 51 + radius * std::sin(angle));
    }
    QPainterPath shape;
    shape.addPolygon(points);
    shape.closeSubpath();
    outlineAndFill(p, shape, QColor(255, 215, 0), QColor(200, 90, 0), 3);
    return image;
}

QPainterPath blockG(qreal x, qreal y)
{
    // A 48x64 block letter built from bars 12 pixels thick.
    QPainterPath bars;
    bars.addRect(x, y, 48, 12);
    bars.addRect(x, y, 12, 64);
    bars.addRect(x, y + 52, 48, 12);
    bars.addRect(x + 36, y + 30, 12, 34);
    bars.addRect(x + 22, y + 30, 26, 10);
    bars.setFillRule(Qt::WindingFill);
    return bars.simplified();
}

QImage gg()
{
    QImage image = canvas(128, 96);
    QPainter p(&image);
    const QPainterPath letters = blockG(12, 14) + blockG(68, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 60, 20));
    p.drawPath(letters.translated(4, 4));
    outlineAndFill(p, letters, QColor(40, 200, 80), QColor(0, 90, 30), 2);
    return image;
}

QImage heart()
{
    QImage image = canvas(64, 64);
    QPainter p(&image);
    QPainterPath shape;
    shape.moveTo(32, 57);
    shape.cubicTo(-4, 32, 10, -2, 32, 17);
    shape.cubicTo(54, -2, 68, 32, 32, 57);
    outlineAndFill(p, shape, QColor(220, 20, 50), QColor(110, 0, 20), 3);
    return image;
}

QImage bolt()
{
    QImage image = canvas(64, 96);
    QPainter p(&image);
    QPainterPath shape;
    shape.addPolygon(QPolygonF{{38, 4}, {12, 52}, {30, 52}, {22, 92}, {54, 38}, {35, 38}, {46, 4}});
    shape.closeSubpath();
    outlineAndFill(p, shape, QColor(255, 230, 40), QColor(60, 40, 120), 3);
    return image;
}

// A one-colour logo, as the game's own logos are: each pixel's index is its opacity.
decal::Decal ringLogo()
{
    QImage image = canvas(80, 80);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 10));
    p.drawEllipse(QRectF(10, 10, 60, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 160));
    p.drawEllipse(QRectF(28, 28, 24, 24));
    p.end();
    decal::Decal d;
    d.width = image.width();
    d.height = image.height();
    for (int i = 0; i < 255; ++i)
        d.palette[i] = qRgb(i, i, i);
    d.palette[decal::kTransparentIndex] = qRgb(255, 110, 0);
    for (int y = 0; y < d.height; ++y)
        for (int x = 0; x < d.width; ++x)
            d.pixels += char(qAlpha(image.pixel(x, y)));
    return d;
}

void put32(QByteArray &bytes, qint64 value)
{
    char le[4];
    qToLittleEndian(qint32(value), le);
    bytes.append(le, 4);
}

// The game's cache as it writes one: the header, each entry's data, then the
// directory of 144-byte entries (a 136-byte resource record, the offset and the
// length of the data).
QByteArray hpkOf(const QList<QByteArray> &sprays)
{
    QByteArray file("HPAK");
    put32(file, 1);
    put32(file, 0); // the directory's offset, once known
    QList<qint64> offsets;
    for (const QByteArray &spray : sprays) {
        offsets << file.size();
        file += spray;
    }
    qToLittleEndian(qint32(file.size()), file.data() + 8);
    put32(file, sprays.size());
    for (qsizetype i = 0; i < sprays.size(); ++i) {
        QByteArray record = QByteArray("tempdecal.wad").leftJustified(64, '\0');
        put32(record, 3); // a decal
        put32(record, i);
        put32(record, sprays[i].size());
        record += char(4); // custom
        record += QCryptographicHash::hash(sprays[i], QCryptographicHash::Md5);
        record += char(i + 1); // the player's number
        // Reserved bytes and the two pointers the game leaves in, here zero.
        record = record.leftJustified(136, '\0');
        put32(record, offsets[i]);
        put32(record, sprays[i].size());
        file += record;
    }
    return file;
}

bool writeWhole(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit())
        return true;
    *error = out.errorString();
    return false;
}

QByteArray sprayOf(const QImage &art, QString *error)
{
    const std::optional<decal::Decal> d = decal::fromImage(art, decal::kPixelBudget, error);
    return d ? decal::encode(*d, error) : QByteArray();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: make_demo_sprays <output folder>\n");
        return 2;
    }
    const QDir folder(args.at(1));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }

    const struct {
        QString file;
        QImage (*draw)();
    } sprays[] = {
        {QStringLiteral("smiley.wad"), smiley},
        {QStringLiteral("star.wad"), star},
        {QStringLiteral("gg.wad"), gg},
        {QStringLiteral("heart.wad"), heart},
    };
    QString error;
    for (const auto &spray : sprays) {
        const QString path = folder.filePath(spray.file);
        const QByteArray bytes = sprayOf(spray.draw(), &error);
        if (bytes.isEmpty() || !writeWhole(path, bytes, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error));
            return 1;
        }
    }

    // Two of the sprays above, as if other players had shown them, and two seen only in game.
    const QList<QByteArray> seen{sprayOf(heart(), &error), sprayOf(bolt(), &error),
                                 sprayOf(gg(), &error), decal::encode(ringLogo(), &error)};
    const QString cache = folder.filePath(QStringLiteral("Half-Life/valve/custom.hpk"));
    if (seen.contains(QByteArray()) || !folder.mkpath(QStringLiteral("Half-Life/valve"))
        || !writeWhole(cache, hpkOf(seen), &error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(cache), qPrintable(error));
        return 1;
    }
    return 0;
}

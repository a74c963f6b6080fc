// Writes the demo sprays shipped in demo/. The artwork is drawn from plain shapes
// and paths, never text, so the output does not depend on installed fonts and is
// byte-for-byte the same on every run.

#include "decal_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>

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
    for (const auto &spray : sprays) {
        const QString path = folder.filePath(spray.file);
        QString error;
        const std::optional<decal::Decal> d =
            decal::fromImage(spray.draw(), decal::kPixelBudget, &error);
        const QByteArray bytes = d ? decal::encode(*d, &error) : QByteArray();
        QSaveFile out(path);
        if (bytes.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()
            || !out.commit()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path),
                         qPrintable(error.isEmpty() ? out.errorString() : error));
            return 1;
        }
    }
    return 0;
}

#include "decal_file.h"
#include "game_view.h"
#include "hostile_pictures.h"
#include "picture_reader.h"
#include "picture_reply.h"
#include "spray_maker.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace spray;
using namespace tagswap::testing;

namespace {

const QString kData = QStringLiteral(TAGSWAP_SPRAY_TEST_DATA);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage filled(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// Left half opaque red; the right half fully transparent over hidden, whose colour a
// careless resampler drags into the edge.
QImage redBesideTransparent(QRgb hidden)
{
    QImage image = filled(QSize(401, 300), qRgba(qRed(hidden), qGreen(hidden), qBlue(hidden), 0));
    QPainter(&image).fillRect(0, 0, 200, 300, QColor(255, 0, 0));
    return image;
}

QImage noise(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    quint32 seed = 12345;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            seed = seed * 1103515245u + 12345u;
            image.setPixel(x, y,
                           qRgb(x * 255 / size.width(), int(seed >> 24), y * 255 / size.height()));
        }
    }
    return image;
}

// Four colours in a fine pattern: any blending makes colours it does not hold.
QImage fourColours(QSize size)
{
    const QRgb colours[] = {0xffc81e1e, 0xff14a028, 0xff1e28dc, 0xfffaf03c};
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, colours[(x + 2 * y + x * y) % 4]);
    return image;
}

int transparentPixels(const decal::Decal &d)
{
    return int(d.pixels.count(char(decal::kTransparentIndex)));
}

// Quadrants green, blue / red, white: each turn and mirror puts another in the corner.
QImage quadrants()
{
    QImage image = filled(QSize(64, 32), qRgb(255, 255, 255));
    QPainter painter(&image);
    painter.fillRect(0, 0, 32, 16, QColor(0, 255, 0));
    painter.fillRect(32, 0, 32, 16, QColor(0, 0, 255));
    painter.fillRect(0, 16, 32, 16, QColor(255, 0, 0));
    return image;
}

// EXIF's TIFF structure with one entry, the orientation.
QByteArray exifOrientedAs(int orientation, bool littleEndian)
{
    QByteArray tiff(26, '\0');
    auto *p = reinterpret_cast<uchar *>(tiff.data());
    const auto put16 = [&](int at, quint16 v) {
        littleEndian ? qToLittleEndian(v, p + at) : qToBigEndian(v, p + at);
    };
    const auto put32 = [&](int at, quint32 v) {
        littleEndian ? qToLittleEndian(v, p + at) : qToBigEndian(v, p + at);
    };
    tiff.replace(0, 2, littleEndian ? "II" : "MM");
    put16(2, 42);
    put32(4, 8); // the first directory
    put16(8, 1); // of one entry:
    put16(10, 0x0112);
    put16(12, 3); // a short
    put32(14, 1);
    put16(18, quint16(orientation));
    return tiff;
}

// The PNG with an eXIf chunk after its header.
QByteArray pngWithExif(const QImage &image, const QByteArray &exif)
{
    QByteArray png = encoded(image, "png");
    constexpr int kAfterHeader = 8 + 25;
    return png.insert(kAfterHeader, pngChunk("eXIf", exif));
}

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// The WebP, lossless, in the extended format with an EXIF chunk after its image.
QByteArray webpWithExif(const QImage &image, const QByteArray &exif)
{
    QByteArray webp;
    {
        QBuffer buffer(&webp);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "WEBP", 100);
    }
    QByteArray chunks = webp.mid(12);
    if (chunks.startsWith("VP8X")) {
        chunks[8] = char(chunks[8] | 0x08);
    } else {
        QByteArray canvas =
            le32(quint32(image.width() - 1)).left(3) + le32(quint32(image.height() - 1)).left(3);
        chunks.prepend("VP8X" + le32(10) + QByteArray("\x08\0\0\0", 4) + canvas);
    }
    chunks += "EXIF" + le32(quint32(exif.size())) + exif;
    if (exif.size() % 2)
        chunks += '\0';
    return "RIFF" + le32(quint32(4 + chunks.size())) + "WEBP" + chunks;
}

LoadedImage loaded(const QImage &image)
{
    return LoadedImage{image, image.size(), 1};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray mipLevel(const QByteArray &file, int level, int count)
{
    const quint32 offset =
        qFromLittleEndian<quint32>(file.constData() + 12 + 24 + qsizetype(4) * level);
    return file.mid(12 + offset, count);
}

QByteArray bmpHeader(qint32 width, qint32 height)
{
    QByteArray b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    qToLittleEndian<quint32>(54 + 16, b.data() + 2);
    qToLittleEndian<quint32>(54, b.data() + 10);
    qToLittleEndian<quint32>(40, b.data() + 14);
    qToLittleEndian<qint32>(width, b.data() + 18);
    qToLittleEndian<qint32>(height, b.data() + 22);
    qToLittleEndian<quint16>(1, b.data() + 26);
    qToLittleEndian<quint16>(24, b.data() + 28);
    return b + QByteArray(16, '\0');
}

} // namespace

class TestSprayMaker : public QObject {
    Q_OBJECT

    // How long the picture reader takes to start and answer here: under Wine, seconds.
    qint64 m_readerStart = 0;

private slots:
    void initTestCase()
    {
        QTemporaryDir dir;
        QVERIFY(noise(QSize(16, 16)).save(dir.filePath(QStringLiteral("small.png"))));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(readPicture(dir.filePath(QStringLiteral("small.png")), PictureNeed{}));
        m_readerStart = clock.elapsed();
    }

    void largestCanvas_data()
    {
        QTest::addColumn<QSize>("image");
        QTest::addColumn<int>("rule");
        QTest::addColumn<QSize>("expected"); // invalid: only the general checks

        const int largest = int(SizeRule::Largest);
        const int strict = int(SizeRule::Strict);
        QTest::newRow("square photo") << QSize(3000, 3000) << largest << QSize(112, 112);
        QTest::newRow("square photo, strict") << QSize(3000, 3000) << strict << QSize(96, 96);
        QTest::newRow("7:8") << QSize(1120, 1280) << largest << QSize(112, 128);
        QTest::newRow("8:7") << QSize(1280, 1120) << largest << QSize(128, 112);
        QTest::newRow("16:9") << QSize(1920, 1080) << largest << QSize();
        QTest::newRow("9:16") << QSize(1080, 1920) << largest << QSize();
        QTest::newRow("4:3 strict") << QSize(4000, 3000) << strict << QSize();
        QTest::newRow("3:2") << QSize(6000, 4000) << largest << QSize();
        QTest::newRow("1:3.5") << QSize(640, 2240) << largest << QSize(64, 224);
        QTest::newRow("banner 10:1") << QSize(5000, 500) << largest << QSize();
        QTest::newRow("thin line") << QSize(3000, 3) << largest << QSize(256, 16);
        QTest::newRow("tall thin line") << QSize(2, 900) << largest << QSize(16, 256);
        QTest::newRow("small, enlarged") << QSize(100, 90) << largest << QSize(128, 112);
        QTest::newRow("icon, enlarged") << QSize(8, 8) << largest << QSize(112, 112);
        QTest::newRow("icon, strict") << QSize(8, 8) << strict << QSize(96, 96);
        QTest::newRow("tiny, enlarged") << QSize(5, 7) << largest << QSize();
        QTest::newRow("fits until rounded") << QSize(120, 120) << largest << QSize(112, 112);
        QTest::newRow("exact budget") << QSize(112, 128) << largest << QSize(112, 128);
        QTest::newRow("just over strict") << QSize(112, 112) << strict << QSize(96, 96);
    }
    void largestCanvas()
    {
        QFETCH(QSize, image);
        QFETCH(int, rule);
        QFETCH(QSize, expected);
        const auto p = place(image, SizeChoice{SizeRule(rule), {}}, Fit::Fit);
        QVERIFY(p);
        const int maxBlocks = SizeRule(rule) == SizeRule::Strict ? kStrictBlocks : kLargestBlocks;
        QVERIFY(p->canvas.width() * p->canvas.height() <= maxBlocks * 256);
        QCOMPARE(p->canvas.width() % 16, 0);
        QCOMPARE(p->canvas.height() % 16, 0);
        QVERIFY(p->canvas.width() <= 256 && p->canvas.height() <= 256);
        if (expected.isValid())
            QCOMPARE(p->canvas, expected);
        // Filling one side, aspect kept, and no more than a block of margin.
        QCOMPARE(p->source, QRectF(QPointF(0, 0), QSizeF(image)));
        QVERIFY(p->target.width() == p->canvas.width() || p->target.height() == p->canvas.height());
        QVERIFY(QRect(QPoint(), p->canvas).contains(p->target));
        QVERIFY(p->canvas.width() - p->target.width() < 16);
        QVERIFY(p->canvas.height() - p->target.height() < 16);
        const double scaleX = double(p->target.width()) / image.width();
        const double scaleY = double(p->target.height()) / image.height();
        // One side is exact; the other is within the rounding to whole pixels.
        QVERIFY2(std::abs(scaleX * image.height() - p->target.height()) <= 1.0
                     || std::abs(scaleY * image.width() - p->target.width()) <= 1.0,
                 "aspect ratio changed");
        // Nothing larger in the budget shows more of the image.
        if (expected.isValid())
            return;
        const double shown = double(p->target.width()) * p->target.height();
        for (int w = 16; w <= 256; w += 16) {
            for (int h = 16; h <= 256 && w * h <= maxBlocks * 256; h += 16) {
                const double s = std::min(double(w) / image.width(), double(h) / image.height());
                QVERIFY(s * image.width() * s * image.height() <= shown * 1.03 + 64);
            }
        }
    }

    void fitModes_data()
    {
        QTest::addColumn<int>("fit");
        QTest::addColumn<QSize>("image");
        QTest::addColumn<QString>("size");
        QTest::addColumn<bool>("fillsCanvas");
        const int fill = int(Fit::Fill);
        const int stretch = int(Fit::Stretch);
        const int fit = int(Fit::Fit);
        QTest::newRow("fill wide") << fill << QSize(1920, 1080) << "largest" << true;
        QTest::newRow("fill tall") << fill << QSize(500, 2000) << "largest" << true;
        QTest::newRow("stretch wide") << stretch << QSize(1920, 1080) << "largest" << true;
        QTest::newRow("stretch thin, height enlarged")
            << stretch << QSize(3000, 3) << "largest" << true;
        QTest::newRow("fill small, enlarged") << fill << QSize(100, 90) << "largest" << true;
        QTest::newRow("stretch small, enlarged") << stretch << QSize(100, 90) << "largest" << true;
        QTest::newRow("fit small, margins beside") << fit << QSize(100, 90) << "largest" << false;
        QTest::newRow("fit icon") << fit << QSize(8, 8) << "112x112" << true;
        QTest::newRow("fit wide icon, margins") << fit << QSize(8, 4) << "112x112" << false;
        QTest::newRow("fill wide icon") << fill << QSize(8, 4) << "112x112" << true;
        QTest::newRow("stretch icon") << stretch << QSize(8, 8) << "64x224" << true;
    }
    void fitModes()
    {
        QFETCH(int, fit);
        QFETCH(QSize, image);
        QFETCH(QString, size);
        QFETCH(bool, fillsCanvas);
        const auto p = place(image, *parseSizeChoice(size), Fit(fit));
        QVERIFY(p);
        QCOMPARE(p->target == QRect(QPoint(), p->canvas), fillsCanvas);
        // The other fits fill one side of the canvas at the picture's own shape.
        QVERIFY(p->target.width() == p->canvas.width() || p->target.height() == p->canvas.height());
        QVERIFY(QRectF(QPointF(), QSizeF(image)).contains(p->source));
        if (Fit(fit) == Fit::Fill) {
            // The part cut off is the same on both sides and the shown part keeps its shape.
            QCOMPARE(p->source.center(), QRectF(QPointF(), QSizeF(image)).center());
            QVERIFY(std::abs(p->source.width() / p->source.height()
                             - double(p->target.width()) / p->target.height())
                    < 0.02);
        }
    }

    void sizeChoiceText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSize>("exact"); // (0, 0): not an exact size; (-1, -1): refused
        QTest::newRow("largest") << "largest" << QSize(0, 0);
        QTest::newRow("strict") << "strict" << QSize(0, 0);
        QTest::newRow("64x64") << "64x64" << QSize(64, 64);
        QTest::newRow("112x128") << "112x128" << QSize(112, 128);
        QTest::newRow("64x224") << "64x224" << QSize(64, 224);
        QTest::newRow("128x128 too large for the game") << "128x128" << QSize(-1, -1);
        QTest::newRow("256x256") << "256x256" << QSize(-1, -1);
        QTest::newRow("not a step of 16") << "100x100" << QSize(-1, -1);
        QTest::newRow("zero") << "0x16" << QSize(-1, -1);
        QTest::newRow("no height") << "64x" << QSize(-1, -1);
        QTest::newRow("word") << "big" << QSize(-1, -1);
    }
    void sizeChoiceText()
    {
        QFETCH(QString, text);
        QFETCH(QSize, exact);
        QString error;
        const auto choice = parseSizeChoice(text, &error);
        QCOMPARE(bool(choice), exact != QSize(-1, -1));
        QCOMPARE(error.isEmpty(), bool(choice));
        if (choice && !exact.isEmpty()) {
            QCOMPARE(choice->exact, exact);
            QCOMPARE(place(QSize(1000, 1000), *choice, Fit::Fit)->canvas, exact);
        }
    }

    void transparentEdgesKeepTheirColour_data()
    {
        QTest::addColumn<QRgb>("hidden");
        QTest::addColumn<double>("dither");
        QTest::newRow("black underneath") << qRgb(0, 0, 0) << 0.0;
        QTest::newRow("blue underneath") << qRgb(0, 0, 255) << 0.0;
        QTest::newRow("white underneath") << qRgb(255, 255, 255) << 0.0;
        QTest::newRow("blue underneath, dithered") << qRgb(0, 0, 255) << 1.0;
    }
    void transparentEdgesKeepTheirColour()
    {
        QFETCH(QRgb, hidden);
        QFETCH(double, dither);
        SprayOptions options;
        options.dither = dither;
        options.alphaThresholdPercent = 1; // keep the faintest edge pixels, the ones at risk
        const auto d = makeSpray(loaded(redBesideTransparent(hidden)), options);
        QVERIFY(d);
        const QByteArray file = decal::encode(*d);
        const int count = d->width * d->height;
        const QByteArray levels[] = {d->pixels, mipLevel(file, 1, count / 4),
                                     mipLevel(file, 2, count / 16), mipLevel(file, 3, count / 64)};
        int opaque = 0;
        for (const QByteArray &level : levels) {
            for (char index : level) {
                if (quint8(index) == decal::kTransparentIndex)
                    continue;
                ++opaque;
                const QRgb c = d->palette[quint8(index)];
                QVERIFY2(qRed(c) > 235 && qGreen(c) < 20 && qBlue(c) < 20,
                         qPrintable(QStringLiteral("fringe colour %1").arg(c, 8, 16)));
            }
        }
        QVERIFY(opaque > count / 3);
    }

    void everySprayIsAccepted_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("fit");
        QTest::addColumn<QString>("ink"); // empty: a colour spray
        QTest::newRow("noise, largest") << noise(QSize(700, 800)) << "largest" << 0 << "";
        QTest::newRow("noise, wide") << noise(QSize(900, 300)) << "largest" << 0 << "";
        QTest::newRow("noise, strict fill") << noise(QSize(640, 480)) << "strict" << 1 << "";
        QTest::newRow("noise, stretch") << noise(QSize(640, 480)) << "largest" << 2 << "";
        QTest::newRow("noise, 64x224") << noise(QSize(300, 300)) << "64x224" << 1 << "";
        QTest::newRow("tiny") << noise(QSize(3, 3)) << "largest" << 0 << "";
        QTest::newRow("all transparent") << filled(QSize(50, 50), 0) << "largest" << 0 << "";
        QTest::newRow("one colour") << noise(QSize(500, 500)) << "largest" << 0 << "ff8000";
        QTest::newRow("one colour, strict") << noise(QSize(500, 200)) << "strict" << 0 << "000000";
    }
    void everySprayIsAccepted()
    {
        QFETCH(QImage, image);
        QFETCH(QString, size);
        QFETCH(int, fit);
        QFETCH(QString, ink);
        SprayOptions options;
        options.size = *parseSizeChoice(size);
        options.fit = Fit(fit);
        if (!ink.isEmpty())
            options.oneColour = parseInk(ink);
        QString error;
        const auto d = makeSpray(loaded(image), options, &error);
        QVERIFY2(d, qPrintable(error));
        const QByteArray file = decal::encode(*d, &error);
        QVERIFY2(!file.isEmpty(), qPrintable(error));
        QCOMPARE(decal::gameRefusal(file), QString());
        QVERIFY(file.size() <= decal::kGameMaxFileSize);
        QCOMPARE(d->isColourSpray(), ink.isEmpty());
        QVERIFY(d->mips);
    }

    // The smaller levels show the picture, not a block of one colour.
    void smallerLevelsShowThePicture()
    {
        QImage image = filled(QSize(800, 800), qRgb(0, 200, 0));
        QPainter(&image).fillRect(0, 0, 400, 800, QColor(200, 0, 0));
        const auto d = makeSpray(loaded(image), SprayOptions{});
        QVERIFY(d);
        const QByteArray eighth = (*d->mips)[2];
        const int side = d->width / 8;
        QCOMPARE(eighth.size(), side * side);
        const QRgb left = d->palette[quint8(eighth[0])];
        const QRgb right = d->palette[quint8(eighth[side - 1])];
        QVERIFY(qRed(left) > 150 && qGreen(left) < 50);
        QVERIFY(qGreen(right) > 150 && qRed(right) < 50);
    }

    // Each picture resampled (reduced by an odd factor, or enlarged) over the whole canvas.
    void alphaThreshold_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<bool>("transparent"); // every pixel, or none
        const auto green = [](int alpha) {
            return filled(QSize(300, 257), qRgba(10, 200, 30, alpha));
        };
        QTest::newRow("40% below 50%") << green(102) << 50 << true;
        QTest::newRow("60% above 50%") << green(153) << 50 << false;
        QTest::newRow("just under 50%") << green(127) << 50 << true;
        QTest::newRow("just over 50%") << green(128) << 50 << false;
        QTest::newRow("40% above 30%") << green(102) << 30 << false;
        QTest::newRow("opaque at 100%") << green(255) << 100 << false;
        QTest::newRow("just under 100%") << green(254) << 100 << true;
        QTest::newRow("faintest kept at 0%") << green(1) << 0 << false;
        QTest::newRow("nothing is still nothing at 0%") << green(0) << 0 << true;
        QTest::newRow("opaque photo at 100%") << noise(QSize(641, 479)) << 100 << false;
        QTest::newRow("opaque 16-bit photo at 100%")
            << noise(QSize(641, 479)).convertToFormat(QImage::Format_RGBA64) << 100 << false;
        QTest::newRow("opaque photo enlarged, at 100%") << noise(QSize(97, 83)) << 100 << false;
    }
    void alphaThreshold()
    {
        QFETCH(QImage, image);
        QFETCH(int, threshold);
        QFETCH(bool, transparent);
        SprayOptions options;
        options.alphaThresholdPercent = threshold;
        options.fit = Fit::Stretch;
        const auto d = makeSpray(loaded(image), options);
        QVERIFY(d);
        QCOMPARE(transparentPixels(*d), transparent ? d->width * d->height : 0);
    }

    // However strict the threshold, no pixel inside a disc is lost to the kernel's
    // ringing; however lax, no ghost pixel appears outside it.
    void shapeKeepsItsOutline_data()
    {
        QTest::addColumn<int>("side"); // of the picture; the spray is 112x112
        QTest::addColumn<int>("threshold");
        QTest::newRow("reduced, 100%") << 448 << 100;
        QTest::newRow("reduced, 1%") << 448 << 1;
        QTest::newRow("enlarged, 100%") << 56 << 100;
        QTest::newRow("enlarged, 1%") << 56 << 1;
    }
    void shapeKeepsItsOutline()
    {
        QFETCH(int, side);
        QFETCH(int, threshold);
        QImage disc = filled(QSize(side, side), 0);
        QPainter painter(&disc);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(40, 90, 200));
        painter.drawEllipse(QRectF(0, 0, side, side));
        painter.end();
        SprayOptions options;
        options.size = *parseSizeChoice(QStringLiteral("112x112"));
        options.alphaThresholdPercent = threshold;
        options.scaler = Scaler::Smooth;
        const auto d = makeSpray(loaded(disc), options);
        QVERIFY(d);
        for (int i = 0; i < 112 * 112; ++i) {
            const int x = i % 112;
            const int y = i / 112;
            const double fromEdge = std::hypot(x + 0.5 - 56, y + 0.5 - 56) - 56;
            // The outline's own pixels, blended by the resampling, may go either way.
            if (std::abs(fromEdge) > 1.5 + 112.0 / side)
                QCOMPARE(quint8(d->pixels[i]) == decal::kTransparentIndex, fromEdge > 0);
        }
    }

    // Blending happens in linear light: black and white lines make a light grey, not the
    // middle value; a plain colour comes through unchanged, even a pixel and a half from a
    // dark line (a ringing kernel would lighten it there), or enlarged smoothly beside
    // another colour (one that rings bands it): the part flat holds one palette entry.
    void coloursThroughLinearLight_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<int>("scaler");
        QTest::addColumn<QRect>("flat");
        QImage lines = filled(QSize(224, 224), qRgb(0, 0, 0));
        for (int x = 0; x < 224; x += 2)
            QPainter(&lines).fillRect(x, 0, 1, 224, Qt::white);
        QImage besideLine = filled(QSize(448, 448), qRgb(128, 128, 128));
        QPainter(&besideLine).fillRect(231, 0, 2, 448, Qt::black);
        QImage redUnderBlue = filled(QSize(16, 16), qRgb(255, 0, 0));
        QPainter(&redUnderBlue).fillRect(0, 0, 16, 1, Qt::blue);
        const int automatic = int(Scaler::Automatic);
        const QRect centre(56, 56, 1, 1);
        QTest::newRow("plain mid grey") << filled(QSize(300, 300), qRgb(128, 128, 128))
                                        << qRgb(128, 128, 128) << automatic << centre;
        QTest::newRow("black and white lines halved")
            << lines << qRgb(188, 188, 188) << automatic << centre;
        QTest::newRow("mid grey beside a thin dark line")
            << besideLine << qRgb(128, 128, 128) << automatic << centre;
        // Two picture rows (14 spray rows) below the blue one, nothing of it is left.
        QTest::newRow("red below a blue row, enlarged smoothly")
            << redUnderBlue << qRgb(255, 0, 0) << int(Scaler::Smooth) << QRect(0, 14, 112, 98);
    }
    void coloursThroughLinearLight()
    {
        QFETCH(QImage, image);
        QFETCH(QRgb, colour);
        QFETCH(int, scaler);
        QFETCH(QRect, flat);
        SprayOptions options;
        options.size = *parseSizeChoice(QStringLiteral("112x112"));
        options.scaler = Scaler(scaler);
        const auto d = makeSpray(loaded(image), options);
        QVERIFY(d);
        const auto indexAt = [&](int x, int y) { return quint8(d->pixels[y * 112 + x]); };
        const quint8 index = indexAt(flat.left(), flat.top());
        for (int y = flat.top(); y <= flat.bottom(); ++y) {
            for (int x = flat.left(); x <= flat.right(); ++x)
                QVERIFY2(indexAt(x, y) == index, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
        const QRgb shown = d->palette[index];
        QVERIFY2(std::abs(qRed(shown) - qRed(colour)) <= 2
                     && std::abs(qGreen(shown) - qGreen(colour)) <= 2
                     && std::abs(qBlue(shown) - qBlue(colour)) <= 2,
                 qPrintable(QString::number(shown, 16)));
    }

    // A small picture fills the canvas under each fit; sharp copies its pixels as blocks,
    // so every pixel of the spray is one of its colours, and smooth blends them.
    void smallPictureFillsTheSpray_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<int>("fit");
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("scaler");
        QTest::addColumn<bool>("sharp");
        const QImage icon = fourColours(QSize(8, 8));
        const int automatic = int(Scaler::Automatic);
        QTest::newRow("fit, auto") << icon << int(Fit::Fit) << "largest" << automatic << true;
        QTest::newRow("fill, sharp")
            << icon << int(Fit::Fill) << "112x128" << int(Scaler::Sharp) << true;
        QTest::newRow("stretch, sharp")
            << icon << int(Fit::Stretch) << "224x64" << int(Scaler::Sharp) << true;
        QTest::newRow("stretch, smooth")
            << icon << int(Fit::Stretch) << "64x64" << int(Scaler::Smooth) << false;
        QTest::newRow("auto, enlarged under twice")
            << fourColours(QSize(64, 64)) << int(Fit::Fit) << "112x112" << automatic << false;
        QTest::newRow("auto, over 256 colours")
            << noise(QSize(20, 20)) << int(Fit::Fit) << "largest" << automatic << false;
    }
    void smallPictureFillsTheSpray()
    {
        QFETCH(QImage, image);
        QFETCH(int, fit);
        QFETCH(QString, size);
        QFETCH(int, scaler);
        QFETCH(bool, sharp);
        SprayOptions options;
        options.size = *parseSizeChoice(size);
        options.fit = Fit(fit);
        options.scaler = Scaler(scaler);
        const auto d = makeSpray(loaded(image), options);
        QVERIFY(d);
        QCOMPARE(transparentPixels(*d), 0);
        QSet<QRgb> source;
        for (int i = 0; i < image.width() * image.height(); ++i)
            source.insert(image.pixel(i % image.width(), i / image.width()));
        const bool onlySourceColours = std::all_of(d->pixels.begin(), d->pixels.end(), [&](char i) {
            return source.contains(d->palette[quint8(i)]);
        });
        QCOMPARE(onlySourceColours, sharp);
    }

    // Made for the game's gamma, the game view is the picture within a step per channel;
    // as stored, the game shows it brighter.
    void looksInGameAsInPicture_data()
    {
        QTest::addColumn<QString>("ink"); // empty: a colour spray
        QTest::addColumn<bool>("gameGamma");
        QTest::newRow("colour spray") << "" << true;
        QTest::newRow("colour spray, as stored") << "" << false;
        QTest::newRow("one-colour logo") << "ff8040" << true;
    }
    void looksInGameAsInPicture()
    {
        QFETCH(QString, ink);
        QFETCH(bool, gameGamma);
        SprayOptions options;
        options.oneColour = ink.isEmpty() ? std::nullopt : parseInk(ink);
        const auto plain = makeSpray(loaded(noise(QSize(300, 300))), options);
        options.gameGamma = gameGamma;
        const auto made = makeSpray(loaded(noise(QSize(300, 300))), options);
        QVERIFY(plain && made && made->isColourSpray() == ink.isEmpty());
        const QImage picture = decal::renderAsGame(*plain, decal::GameView{false, 0, false});
        const QImage game = decal::renderAsGame(*made, decal::GameView{true, 0, false});
        int largest = 0;
        for (int i = 0; i < picture.width() * picture.height(); ++i) {
            const QRgb a = picture.pixel(i % picture.width(), i / picture.width());
            const QRgb b = game.pixel(i % picture.width(), i / picture.width());
            largest = std::max({largest, std::abs(qRed(a) - qRed(b)),
                                std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
        }
        QVERIFY2(gameGamma ? largest <= 1 : largest > 10, qPrintable(QString::number(largest)));
    }

    void oneColour_data()
    {
        QTest::addColumn<QRgb>("pixel");
        QTest::addColumn<int>("ink");
        QTest::addColumn<int>("expectedIndex");
        QTest::addColumn<QRgb>("expectedInk");
        const int automatic = int(InkChoice::Automatic);
        QTest::newRow("black on an opaque image is full ink")
            << qRgb(0, 0, 0) << automatic << 255 << qRgb(255, 128, 0);
        QTest::newRow("white is no ink")
            << qRgb(255, 255, 255) << automatic << 0 << qRgb(255, 128, 0);
        QTest::newRow("mid grey is half")
            << qRgb(128, 128, 128) << automatic << 127 << qRgb(255, 128, 0);
        QTest::newRow("alpha when the image has it")
            << qRgba(255, 255, 255, 51) << automatic << 51 << qRgb(255, 128, 0);
        QTest::newRow("alpha asked for")
            << qRgb(255, 255, 255) << int(InkChoice::Alpha) << 255 << qRgb(255, 128, 0);
        QTest::newRow("darkness asked for, with alpha")
            << qRgba(0, 0, 0, 102) << int(InkChoice::Darkness) << 102 << qRgb(255, 128, 0);
        QTest::newRow("pure blue ink stays a logo")
            << qRgb(0, 0, 0) << automatic << 255 << qRgb(0, 0, 254);
    }
    void oneColour()
    {
        QFETCH(QRgb, pixel);
        QFETCH(int, ink);
        QFETCH(int, expectedIndex);
        QFETCH(QRgb, expectedInk);
        SprayOptions options;
        options.oneColour = expectedInk == qRgb(0, 0, 254) ? qRgb(0, 0, 255) : expectedInk;
        options.ink = InkChoice(ink);
        const auto d = makeSpray(loaded(filled(QSize(64, 64), pixel)), options);
        QVERIFY(d);
        QCOMPARE(d->palette[255], expectedInk);
        QVERIFY(!d->isColourSpray());
        QVERIFY(std::abs(quint8(d->pixels[64 * 32 + 32]) - expectedIndex) <= 1);
        QVERIFY(std::abs(quint8((*d->mips)[2][0]) - expectedIndex) <= 1);
        const auto back = decal::decode(decal::encode(*d));
        QVERIFY(back && !back->isColourSpray());
    }

    void brokenImagesGiveAnError_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("frame");
        QByteArray png;
        {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            noise(QSize(64, 64)).save(&buffer, "PNG");
        }
        QTest::newRow("empty file") << "empty.png" << QByteArray() << 0;
        QTest::newRow("not an image") << "notes.png" << QByteArray("just some words\n") << 0;
        QTest::newRow("truncated PNG") << "cut.png" << png.left(png.size() / 2) << 0;
        QTest::newRow("header only") << "head.png" << png.left(40) << 0;
        QTest::newRow("over 100 megapixels") << "huge.bmp" << bmpHeader(20000, 20000) << 0;
        QTest::newRow("BMP whose sides overflow its length")
            << "wraps.bmp" << bmpHeader(std::numeric_limits<qint32>::min(), 0x7fffffff) << 0;
        // Found by fuzzing: 164 bytes whose screen is 24825x2560.
        QTest::newRow("GIF screen far larger than its bytes")
            << "bomb.gif" << readAll(kData + QStringLiteral("/screen_bomb.gif")) << 0;
        QTest::newRow("negative frame") << "fine.png" << png << -1;
        QTest::newRow("missing frame") << "fine.png" << png << 1;
        QTest::newRow("broken drawing") << "bad.svg" << QByteArray("<svg><rect") << 0;
        QTest::newRow("drawing of no size") << "none.svg"
                                            << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' "
                                                          "width='0' height='0'/>")
                                            << 0;
    }
    void brokenImagesGiveAnError()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, frame);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(name), bytes));
        SprayOptions options;
        options.frame = frame;
        QString error;
        QVERIFY(!makeSprayFromFile(dir.filePath(name), options, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!error.contains(QLatin1Char('\n')));
    }

    void missingOrFolderGivesAnError()
    {
        QTemporaryDir dir;
        for (const QString &path : {dir.filePath(QStringLiteral("absent.png")), dir.path()}) {
            QString error;
            QVERIFY(!makeSprayFromFile(path, SprayOptions{}, &error));
            QVERIFY(!error.isEmpty());
        }
    }

    void framesOfAnAnimation_data()
    {
        QTest::addColumn<int>("frame");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("first") << 0 << qRgb(255, 0, 0);
        QTest::newRow("second") << 1 << qRgb(0, 0, 255);
    }
    void framesOfAnAnimation()
    {
        QFETCH(int, frame);
        QFETCH(QRgb, colour);
        const QString path = kData + QStringLiteral("/two_frames.gif");
        QCOMPARE(readHeader(path)->frameCount, 2);
        SprayOptions options;
        options.frame = frame;
        const auto d = makeSprayFromFile(path, options);
        QVERIFY(d);
        QCOMPARE(d->palette[quint8(d->pixels[16 * d->width + 16])], colour);
        options.frame = 2;
        QVERIFY(!makeSprayFromFile(path, options));
    }

    void largeJpegIsDecodedSmall()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("photo.jpg"));
        QVERIFY(noise(QSize(2400, 1600)).save(path, "JPEG", 80));
        const auto image = loadImage(path, 0, QSize(400, 260));
        QVERIFY(image);
        QCOMPARE(image->size, QSize(2400, 1600));
        QCOMPARE(image->image.size(), QSize(600, 400)); // a quarter: the smallest that covers
        QVERIFY(makeSpray(*image, SprayOptions{}));
    }

    // Every way a picture can cost more than the bound, or be half there, refused
    // before decoding with one line naming the file; and the real pictures the old
    // limits refused, made.
    void imageGate_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refusal"); // part of the error; empty: a spray is made
        const QByteArray drawing = gzipped(smallDrawing(), {}, 0, {});
        const QImage picture = somePicture(QSize(640, 480));
        QTest::newRow("compressed drawing") << "logo.svgz" << drawing << "";
        QTest::newRow("compressed drawing named .svg") << "logo.svg" << drawing << "";
        QTest::newRow("compressed drawing of 256 MiB")
            << "bomb.svgz" << compressedDrawingOf(256) << "more than 16 MiB uncompressed";
        QTest::newRow("compressed drawing of 64 MiB named .png")
            << "bomb.png" << compressedDrawingOf(64) << "more than 16 MiB uncompressed";
        QTest::newRow("compressed drawing cut short")
            << "cut.svgz" << cutShort(compressedDrawingOf(1)) << "ends too soon";
        QTest::newRow("progressive JPEG claiming 9999x9999 in 4:4:4")
            << "bomb.jpg" << progressiveJpegClaiming(9999, 9999) << "progressive JPEG of 9999x9999";
        QTest::newRow("progressive JPEG of 500 scans")
            << "scans.jpg" << progressiveJpegRepeatingScans(2000, 500) << "scans";
        QTest::newRow("progressive JPEG") << "photo.jpg" << encoded(picture, "jpeg", true) << "";
        QTest::newRow("1-bit PNG of 6000x6000") << "page.png" << largeOneBitPng() << "";
        QTest::newRow("16-bit PNG of 90 megapixels")
            << "deep.png" << deepPngHeaderClaiming(10000, 9000) << "would take 687 MiB";
        QTest::newRow("JPEG cut short")
            << "cut.jpg" << cutShort(encoded(picture, "jpeg")) << "cut short";
        QTest::newRow("progressive JPEG cut short")
            << "cut.jpg" << cutShort(encoded(picture, "jpeg", true), 0.9) << "cut short";
        QTest::newRow("JPEG missing scan data") << "gap.jpg" << jpegMissingData() << "damaged";
        QTest::newRow("BMP") << "whole.bmp" << encoded(picture, "bmp") << "";
        QTest::newRow("BMP cut short")
            << "cut.bmp" << cutShort(encoded(picture, "bmp"), 0.9) << "cut short";
        const QByteArray gif = readAll(kData + QStringLiteral("/two_frames.gif"));
        QTest::newRow("GIF") << "whole.gif" << gif << "";
        QTest::newRow("GIF cut in half") << "cut.gif" << cutShort(gif, 0.5) << "cut short";
        QTest::newRow("GIF without its trailer") << "cut.gif" << gif.chopped(1) << "cut short";
        QTest::newRow("GIF with a block of no kind")
            << "bad.gif" << QByteArray(gif).insert(gif.size() - 1, 'x') << "damaged";
        for (const int bits : {8, 4}) {
            const QByteArray rle = rleBmp(64, 64, bits);
            QTest::addRow("RLE%d BMP", bits) << "rle.bmp" << rle << "";
            QTest::addRow("RLE%d BMP, two thirds of its pixels cut", bits)
                << "cut.bmp" << rle.left(rle.size() - (rle.size() - 118) * 2 / 3) << "cut short";
            // As some writers end it: whole, for every row has ended.
            QTest::addRow("RLE%d BMP whose last row ends without the end mark", bits)
                << "rle.bmp" << rle.chopped(2) + QByteArray(2, '\0') << "";
        }
        // Cut short, found by their own readers.
        for (const char *format : {"webp", "tiff"}) {
            QTest::addRow("%s cut short", format)
                << "cut." + QString::fromLatin1(format) << cutShort(encoded(picture, format), 0.9)
                << "cannot be read";
        }
        QTest::newRow("drawing cut short")
            << "cut.svg" << cutShort(smallDrawing(), 0.9) << "not a drawing";
        const QByteArray xbm = encoded(somePicture(QSize(64, 48)), "xbm");
        QTest::newRow("XBM") << "bits.xbm" << xbm << "";
        QTest::newRow("XBM cut short") << "cut.xbm" << cutShort(xbm, 0.9) << "cut short";
        // Past what the gate can see: held by the limits of the reader's process. Qt's
        // own limit on one picture refuses at once a picture the drawing holds.
        QTest::newRow("drawing holding a PNG claiming 10000x9000 in 16 bits")
            << "inline.svg" << drawingHolding(deepPngHeaderClaiming(10000, 9000))
            << "512 MiB of memory";
        // These take a second of decoding before the system's limit on memory ends them:
        // on a busy machine the clock may end them first.
        QTest::newRow("drawing holding a GIF of a 10000x10000 screen")
            << "inline.svg" << drawingHolding(gifOfScreen(10000, 10000))
            << "cannot be read within the";
        QTest::newRow("drawing holding a 10000x10000 PNG")
            << "inline.svg" << drawingHolding(flatRgbaPng(10000, 10000))
            << "cannot be read within the";
        QTest::newRow("seven levels of ten uses of a dashed path")
            << "uses.svg" << drawingOfNestedUses() << "5 seconds";
        // About 4 s of work here: a fast machine reads it in time, a slow one is
        // stopped. What holds everywhere is the bound ("?": made, or refused so).
        QTest::newRow("plain PPM of 512 MiB")
            << "plain.ppm" << plainPpmOf(qint64(512) * 1024 * 1024) << "?5 seconds";
        QTest::newRow("drawing holding a picture")
            << "inline.svg" << drawingHolding(encoded(picture, "png")) << "";
        QTest::newRow("drawing holding a damaged picture")
            << "inline.svg" << drawingHolding(cutShort(encoded(picture, "png"))) << "damaged";
    }
    void imageGate()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(name), bytes));
        QElapsedTimer clock;
        clock.start();
        QString said;
        const auto made = makeSprayFromFile(dir.filePath(name), SprayOptions{}, &said);
        // Within the reader's limits, whatever the picture asks for.
        QVERIFY2(clock.elapsed() < m_readerStart + kReaderClockMs + 1000,
                 qPrintable(QString::number(clock.elapsed())));
        if (refusal.startsWith(QLatin1Char('?')))
            refusal = made ? QString() : refusal.mid(1);
        QVERIFY2(bool(made) == refusal.isEmpty(), qPrintable(said));
        QVERIFY(!made || !sprayFileBytes(*made, &said).isEmpty());
        QVERIFY2(said.contains(refusal), qPrintable(said));
        QVERIFY2(refusal.isEmpty() || said.startsWith(name), qPrintable(said));
        QVERIFY(!said.contains(QLatin1Char('\n')));
    }

    // What the maker window keeps of a picture while it shows it.
    void reducedToCover_data()
    {
        QTest::addColumn<QSize>("decoded");
        QTest::addColumn<QSize>("kept");
        QTest::newRow("photo") << QSize(3000, 2000) << QSize(768, 512);
        QTest::newRow("tall") << QSize(1200, 8000) << QSize(512, 3414);
        QTest::newRow("not worth resampling again") << QSize(1000, 1000) << QSize(1000, 1000);
    }
    void reducedToCover()
    {
        QFETCH(QSize, decoded);
        QFETCH(QSize, kept);
        const QSize nominal = decoded * 2; // as a JPEG decoded at half its size
        const LoadedImage image{filled(decoded, qRgb(200, 40, 40)), nominal, 3};
        const LoadedImage reduced = spray::reducedToCover(image, QSize(512, 512));
        QCOMPARE(reduced.image.size(), kept);
        QCOMPARE(reduced.size, nominal);
        QCOMPARE(reduced.frameCount, 3);
        QCOMPARE(reduced.image.pixel(kept.width() / 2, kept.height() / 2), qRgb(200, 40, 40));
    }

    // PNG and WebP pictures are turned upright by their EXIF orientation as JPEGs are.
    void exifOrientation_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRgb>("corner"); // the top-left quadrant as shown
        const QImage image = quadrants();
        const QRgb green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255), red = qRgb(255, 0, 0),
                   white = qRgb(255, 255, 255);
        const QSize wide(64, 32), tall(32, 64);
        const struct {
            int orientation;
            QSize size;
            QRgb corner;
        } turns[] = {{1, wide, green}, {2, wide, blue}, {3, wide, white}, {4, wide, red},
                     {5, tall, green}, {6, tall, red},  {7, tall, white}, {8, tall, blue}};
        for (const auto &turn : turns) {
            QTest::addRow("PNG %d", turn.orientation)
                << "o.png" << pngWithExif(image, exifOrientedAs(turn.orientation, false))
                << turn.size << turn.corner;
        }
        QTest::newRow("PNG 6, little-endian")
            << "o.png" << pngWithExif(image, exifOrientedAs(6, true)) << tall << red;
        QTest::newRow("PNG 9 is no orientation")
            << "o.png" << pngWithExif(image, exifOrientedAs(9, false)) << wide << green;
        QTest::newRow("PNG with EXIF cut short")
            << "o.png" << pngWithExif(image, exifOrientedAs(6, false).left(12)) << wide << green;
        QTest::newRow("WebP 6") << "o.webp" << webpWithExif(image, exifOrientedAs(6, false)) << tall
                                << red;
        QTest::newRow("WebP 8, after JPEG's Exif marker")
            << "o.webp" << webpWithExif(image, QByteArray("Exif\0\0", 6) + exifOrientedAs(8, true))
            << tall << blue;
    }
    void exifOrientation()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        QFETCH(QRgb, corner);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(name), bytes));
        QCOMPARE(readHeader(dir.filePath(name))->size, size);
        const auto image = loadImage(dir.filePath(name));
        QVERIFY(image);
        QCOMPARE(image->image.size(), size);
        const QRgb shown = image->image.pixel(4, 4); // within a WebP encoder's rounding
        QVERIFY2(std::abs(qRed(shown) - qRed(corner)) + std::abs(qGreen(shown) - qGreen(corner))
                         + std::abs(qBlue(shown) - qBlue(corner))
                     < 60,
                 qPrintable(QString::number(shown, 16)));
    }

    // The reader may be taken over by what it decodes: the parent takes only a reply
    // whose every size is in bounds and matches the bytes sent, and a refusal as one line.
    void readerReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QSize>("sent"); // empty: refused
        QTest::addColumn<QString>("said");
        const QByteArray picture =
            pictureReply(LoadedImage{filled(QSize(3, 2), 0x80c04020), QSize(30, 20), 2});
        const QByteArray start = replyStart();
        const auto claiming = [&](quint32 nominal, quint32 frames, quint32 width, quint32 height) {
            return start + 'P' + le32(nominal) + le32(nominal) + le32(frames) + le32(width)
                   + le32(height) + QByteArray(4, 'x');
        };
        const QString nonsense = QStringLiteral("x.png could not be read: the picture reader's "
                                                "reply makes no sense.");
        QTest::newRow("a picture") << picture << QSize(3, 2) << "";
        QTest::newRow("a refusal")
            << refusalReply(QStringLiteral("x.png is damaged.")) << QSize() << "x.png is damaged.";
        QTest::newRow("a refusal of three lines")
            << refusalReply(QStringLiteral("x.png\nis\rdamaged.")) << QSize()
            << "x.png is damaged.";
        QTest::newRow("nothing") << QByteArray() << QSize() << nonsense;
        QTest::newRow("another version")
            << QByteArray(picture).replace(4, 1, "\x02") << QSize() << nonsense;
        QTest::newRow("another kind")
            << QByteArray(picture).replace(5, 1, "X") << QSize() << nonsense;
        QTest::newRow("a byte short") << picture.chopped(1) << QSize() << nonsense;
        QTest::newRow("a byte over") << picture + 'x' << QSize() << nonsense;
        QTest::newRow("no pixels") << claiming(30, 1, 0, 1) << QSize() << nonsense;
        QTest::newRow("a side past an int")
            << claiming(30, 1, 0x80000000u, 1) << QSize() << nonsense;
        QTest::newRow("more pixels than a reply carries")
            << claiming(30, 1, 4097, 4096) << QSize() << nonsense;
        QTest::newRow("a nominal size over 100 megapixels")
            << claiming(10001, 1, 1, 1) << QSize() << nonsense;
        QTest::newRow("no frames") << claiming(30, 0, 1, 1) << QSize() << nonsense;
        QTest::newRow("a refusal longer than a line may be")
            << start + 'R' + le32(2000) + QByteArray(2000, 'a') << QSize() << nonsense;
        QTemporaryDir dir;
        const QString thin = dir.filePath(QStringLiteral("thin.png"));
        QImage line(20000, 1000, QImage::Format_Mono);
        line.fill(1);
        QVERIFY(line.save(thin));
        QTest::newRow("a long thin picture, reduced to what a reply carries")
            << pictureReplyFor(thin, PictureNeed{}) << QSize(18317, 915) << "";
    }
    void readerReply()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QSize, sent);
        QFETCH(QString, said);
        QString error;
        const auto picture = pictureFromReply(reply, QStringLiteral("x.png"), &error);
        QCOMPARE(error, said);
        QCOMPARE(picture ? picture->image.size() : QSize(), sent);
    }

    void drawingIsDrawnLarge()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("logo.svg"));
        QVERIFY(writeFile(path, "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='10'>"
                                "<rect width='20' height='10' fill='#00ff00'/></svg>"));
        QString error;
        const auto d = makeSprayFromFile(path, SprayOptions{}, &error);
        QVERIFY2(d, qPrintable(error));
        // A drawing is not held to its nominal size: it fills the largest canvas.
        QCOMPARE(QSize(d->width, d->height), QSize(160, 80));
        QCOMPARE(d->palette[quint8(d->pixels[40 * 160 + 80])], qRgb(0, 255, 0));
        const auto image = loadImage(path, 0, QSize(480, 240));
        QVERIFY(image && image->image.width() >= 480);
    }
};

QTEST_GUILESS_MAIN(TestSprayMaker)

#include "tst_spray_maker.moc"

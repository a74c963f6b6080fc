#include "decal_file.h"
#include "game_view.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace decal;

namespace {

Decal pattern(int width, int height, bool colour = true)
{
    Decal d; // keeps the default name
    d.width = width;
    d.height = height;
    d.pixels.resize(qsizetype(width) * height);
    for (qsizetype i = 0; i < d.pixels.size(); ++i)
        d.pixels[i] = char((i * 7 + i / width) % 256);
    for (int i = 0; i < 256; ++i)
        d.palette[i] = qRgb(i, 255 - i, i * 3 % 256);
    if (colour)
        d.palette[255] = kTransparentKey;
    return d;
}

quint32 get32(const QByteArray &b, qsizetype at)
{
    return qFromLittleEndian<quint32>(b.constData() + at);
}
QByteArray set32(QByteArray b, qsizetype at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
    return b;
}
QByteArray set16(QByteArray b, qsizetype at, quint16 v)
{
    qToLittleEndian(v, b.data() + at);
    return b;
}
QByteArray setEntrySizes(const QByteArray &b, quint32 size)
{
    return set32(set32(b, b.size() - 28, size), b.size() - 24, size);
}

// Written independently of encode(), so checks can be hit one at a time with files
// that are otherwise consistent, including sizes encode() refuses to write.
QByteArray rawFile(quint32 width, quint32 height, quint16 colours = 256,
                   const QByteArray &label = "{LOGO", char type = kColourType)
{
    const quint32 n = width * height;
    const QByteArray name = label.leftJustified(16, '\0');
    QByteArray texture = set32(set32(name + QByteArray(24, '\0'), 16, width), 20, height);
    const quint32 levels[4] = {40, 40 + n, 40 + n + n / 4, 40 + n + n / 4 + n / 16};
    for (int i = 0; i < 4; ++i)
        texture = set32(texture, 24 + 4 * i, levels[i]);
    texture += QByteArray(n + n / 4 + n / 16 + n / 64, '\x01');
    texture += set16(QByteArray(2, '\0'), 0, colours) + QByteArray(qsizetype(colours) * 3, '\x7f');
    texture += QByteArray((4 - texture.size() % 4) % 4, '\0');
    const QByteArray entry = set32(QByteArray(12, '\0'), 0, 12) + type + QByteArray(3, '\0') + name;
    const QByteArray magic = QByteArray("WAD3").leftJustified(12, '\0');
    const QByteArray header = set32(set32(magic, 4, 1), 8, 12 + texture.size());
    return header + texture + setEntrySizes(entry, texture.size());
}

// Slack before the directory, which the game allows, brings the file to total bytes.
QByteArray padTo(QByteArray file, qsizetype total)
{
    file.insert(file.size() - 32, QByteArray(total - file.size(), '\0'));
    return set32(file, 8, quint32(total - 32));
}

// The pixels gap bytes further into the texture than every writer puts them, which the
// engine allows; it reads the palette count where it would be without the gap, though.
QByteArray gapped(QByteArray file, int gap)
{
    const quint32 n = get32(file, 28) * get32(file, 32);
    file.insert(52, QByteArray(gap, '\0'));
    for (int i = 0; i < 4; ++i)
        file = set32(file, 36 + 4 * i, get32(file, 36 + 4 * i) + gap);
    file = set16(file, 52 + n + n / 4 + n / 16 + n / 64, 256);
    return setEntrySizes(set32(file, 8, quint32(file.size() - 32)), quint32(file.size() - 44));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestDecal : public QObject {
    Q_OBJECT

private slots:
    void encodeLayoutAndRoundTrip()
    {
        Decal named = pattern(256, 256);
        named.name = QStringLiteral(u"caf\u00e9 fifteen_");
        const std::pair<Decal, int> cases[] = {{pattern(16, 16), 1196},
                                               {pattern(64, 64), 6296},
                                               {pattern(96, 128, false), 17176},
                                               {named, 87896}};
        for (const auto &[d, fileSize] : cases) {
            const QByteArray file = encode(d);
            QCOMPARE(file.size(), fileSize);
            // Apart from pixels and palette, it must be the file put together by hand.
            const qsizetype paletteAt = 12 + 40 + d.width * d.height * 85 / 64;
            const auto skeleton = [&](QByteArray f) {
                return f.replace(52, paletteAt - 52, QByteArray(paletteAt - 52, '\0'))
                    .replace(paletteAt + 2, 768, QByteArray(768, '\0'));
            };
            // The entry's type too: one-colour sprays as the game writes its own logos.
            const char type = d.isColourSpray() ? kColourType : kOneColourType;
            QCOMPARE(skeleton(file),
                     skeleton(rawFile(d.width, d.height, 256, d.name.toLatin1(), type)));
            QString error;
            const std::optional<Decal> back = decode(file, &error);
            QVERIFY2(back, qPrintable(error));
            QVERIFY(*back == d);
        }
    }

    void smallerCopies()
    {
        for (bool colour : {true, false}) {
            // Uniform 8x8 blocks must survive every level, whatever the downsampling.
            Decal d = pattern(64, 64, colour);
            for (int i = 0; i < 64 * 64; ++i)
                d.pixels[i] = char(i / 512 * 8 + i % 64 / 8);
            const QByteArray file = encode(d);
            for (int level = 1, side = 32; level < 4; ++level, side /= 2) {
                const QByteArray mip =
                    file.mid(12 + get32(file, 36 + 4 * level), qsizetype(side) * side);
                for (int i = 0; i < side * side; ++i)
                    QCOMPARE(int(mip[i]), i / side / (side / 8) * 8 + i % side / (side / 8));
            }
            // A checkerboard: a colour spray keeps real colours, a logo blends opacities.
            for (int i = 0; i < 256; ++i)
                d.pixels[i] = char((i + i / 16) % 2 ? 200 : 0);
            d.width = d.height = 16;
            d.pixels.truncate(256);
            QCOMPARE(encode(d).mid(12 + 40 + 256, 64), QByteArray(64, char(colour ? 0 : 100)));
        }
    }

    void suppliedSmallerCopies()
    {
        Decal d = pattern(32, 16);
        d.mips = {QByteArray(128, '\x05'), QByteArray(32, '\x06'), QByteArray(8, '\x07')};
        const QByteArray file = encode(d);
        for (int level = 1; level < 4; ++level) {
            const QByteArray &mip = (*d.mips)[level - 1];
            QCOMPARE(file.mid(12 + get32(file, 36 + 4 * level), mip.size()), mip);
        }
        QCOMPARE(file.size(), encode(pattern(32, 16)).size());
    }

    void encodeRejects()
    {
        const auto with = [](auto change) {
            Decal d = pattern(64, 64);
            change(d);
            return d;
        };
        for (const Decal &d :
             {Decal(), with([](Decal &d) { d.width = 56; }), with([](Decal &d) { d.height = 272; }),
              with([](Decal &d) { d.pixels.chop(1); }),
              with([](Decal &d) { d.name = QStringLiteral("sixteen_chars___"); }),
              with([](Decal &d) { d.name = QStringLiteral(u"\u4e2d"); }), with([](Decal &d) {
                  d.mips = {QByteArray(1024, 0), QByteArray(256, 0),
                            QByteArray(56, 0)}; // 8x7 for 8x8
              })}) {
            QString error;
            QVERIFY(encode(d, &error).isEmpty());
            QVERIFY(!error.isEmpty());
        }
    }

    void decodeChecks_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("loads");
        const QByteArray ok = encode(pattern(64, 64));
        const qsizetype entry = ok.size() - 32;
        QByteArray magic = ok, oldType = ok, renamed = ok, slack = ok, early = ok, tooBig = ok;
        magic[3] = '2';
        oldType[entry + 12] = 0x40;
        renamed.replace(entry + 16, 5, "other").replace(12, 5, "paint");
        slack = set32(slack.insert(entry, QByteArray(64, 'x')), 8, entry + 64);
        early.remove(8, 4).insert(entry - 4,
                                  QByteArray(4, '\0')); // texture moved into the file header
        tooBig = set32(tooBig.insert(entry, QByteArray(1 << 20, '\0')), 8, entry + (1 << 20));
        // Sixteen name bytes leave no room for the terminator that the name field needs.
        QByteArray fullName = ok;
        fullName.replace(entry + 16, 16, "sixteen_chars___").replace(12, 16, "sixteen_chars___");

        // The game checks neither type nor name, nor the usual multiples of 16.
        QTest::newRow("old type 0x40") << oldType << true;
        QTest::newRow("other names") << renamed << true;
        QTest::newRow("gap before directory") << slack << true;
        QTest::newRow("pixels after a gap") << gapped(ok, 4) << true;
        QTest::newRow("24x8") << rawFile(24, 8) << true;
        QTest::newRow("256x256") << rawFile(256, 256) << true;
        QTest::newRow("16-byte name without terminator") << fullName << true;

        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("wrong magic") << magic << false;
        QTest::newRow("two entries") << set32(ok, 4, 2) << false;
        QTest::newRow("directory not at end") << set32(ok, 8, entry - 4) << false;
        QTest::newRow("trailing byte") << ok + '\0' << false;
        QTest::newRow("truncated") << ok.left(ok.size() - 100) << false;
        QTest::newRow("sizes differ") << set32(ok, entry + 4, get32(ok, entry + 4) - 4) << false;
        QTest::newRow("position in file header")
            << set32(set32(early, 8, entry), entry, 8) << false;
        QTest::newRow("texture overlaps directory") << setEntrySizes(ok, entry - 8) << false;
        QTest::newRow("texture too small for palette") << setEntrySizes(ok, entry - 500) << false;
        QTest::newRow("width 0") << rawFile(0, 16) << false;
        QTest::newRow("width 257") << rawFile(257, 16) << false;
        QTest::newRow("height 0") << rawFile(16, 0) << false;
        QTest::newRow("height 257") << rawFile(16, 257) << false;
        QTest::newRow("levels not consecutive") << set32(ok, 44, get32(ok, 44) + 1) << false;
        QTest::newRow("smallest level missing") << set32(ok, 48, 0) << false;
        QTest::newRow("257 colours") << rawFile(16, 16, 257) << false;
        QTest::newRow("over 1 MiB") << tooBig << false;
        // Values that wrap around in 32-bit arithmetic.
        QTest::newRow("directory offset -32") << set32(ok, 8, 0xffffffe0) << false;
        QTest::newRow("position + size wraps")
            << setEntrySizes(set32(ok, entry, 0x7fffffff), 0x7fffffff) << false;
        QTest::newRow("negative position")
            << setEntrySizes(set32(ok, entry, 0xfffffffc), entry + 4) << false;
        QTest::newRow("width 2^32-1") << set32(ok, 28, 0xffffffff) << false;
    }
    void decodeChecks()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, loads);
        QString error;
        const std::optional<Decal> d = decal::decode(file, &error);
        QVERIFY2(d.has_value() == loads, qPrintable(error));
        QCOMPARE(error.isEmpty(), loads);
        if (loads && d->width == 64)
            QCOMPARE(d->pixels, pattern(64, 64).pixels);
        // Whatever is read with sides we write can be written again, name included.
        if (loads && d->width % kSideStep == 0 && d->height % kSideStep == 0)
            QVERIFY2(!encode(*d, &error).isEmpty(), qPrintable(error));
    }

    // The engine's checks, each just passed and just failed; the reason names the check.
    void gameRefusal_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("fileSize"); // on disk, when only the start was read
        QTest::addColumn<QString>("reasonStart");
        const auto row = [](const char *name, const QByteArray &file, const char *reason,
                            qint64 fileSize = 0) {
            QTest::newRow(name) << file << fileSize << QString::fromUtf8(reason);
        };
        const QByteArray ok = rawFile(16, 16); // its texture is 1,150 bytes, padded to 1,152
        row("16x16, the smallest", ok, "");
        row("112x128, 19,894 bytes", rawFile(112, 128), "");
        row("128x128, over the cap", rawFile(128, 128), "At 22,");
        row("120x128, just over", rawFile(120, 128), "At 21,");
        row("not a spray", "WAD2", "This is not");
        row("empty", "", "The file is empty.");
        row("a PNG picture", "\x89PNG\r\n\x1a\n", "The file is a PNG picture, not a spray.");
        row("a GIF picture", "GIF89a", "The file is a GIF picture, not a spray.");
        row("one-colour, type 0x40", rawFile(16, 16, 256, "{LOGO", kOneColourType), "");
        row("colour, type 0x43", rawFile(16, 16, 256, "{LOGO", kColourType), "");

        row("1,024 bytes", padTo(rawFile(1, 1), 1024), "");
        row("1,023 bytes", padTo(rawFile(1, 1), 1023), "At 1,023 bytes it is smaller");
        row("20,480 bytes", padTo(rawFile(112, 128), 20480), "");
        row("20,481 bytes", padTo(rawFile(112, 128), 20481), "At 20,481 bytes it is too large");
        row("start of a 2 MiB file", ok, "At 2,097,152 bytes it is too large", 2 << 20);

        row("width 0", padTo(rawFile(0, 16), 1024), "The picture is 0x16 pixels");
        row("height 0", padTo(rawFile(16, 0), 1024), "The picture is 16x0 pixels");
        row("256x16", rawFile(256, 16), "");
        row("257x16", rawFile(257, 16), "The picture is 257x16 pixels");
        row("16x256", rawFile(16, 256), "");
        row("16x257", rawFile(16, 257), "The picture is 16x257 pixels");
        row("24x8, off the 16-pixel grid", rawFile(24, 8), "");

        row("pixels after a gap", gapped(ok, 4), "");
        row("half-size copy a byte late", set32(ok, 40, get32(ok, 40) + 1), "The half-size");
        row("quarter-size copy a byte early", set32(ok, 44, get32(ok, 44) - 1), "The quarter");
        row("eighth-size copy a byte late", set32(ok, 48, get32(ok, 48) + 1), "The eighth");

        row("257 colours", rawFile(16, 16, 257), "The palette has 257 colours");
        row("palette ends with the texture", setEntrySizes(ok, 1150), "");
        row("palette a byte past the texture", setEntrySizes(ok, 1149), "The palette of 256");
        row("after a gap, palette ends with the texture", setEntrySizes(gapped(ok, 4), 1154), "");
        row("after a gap, a byte past", setEntrySizes(gapped(ok, 4), 1153), "The palette of 256");
        row("texture ends before the palette count", setEntrySizes(ok, 381), "The texture ends");

        row("texture overlaps the directory", setEntrySizes(ok, 1156), "The texture lies outside");
    }
    void gameRefusal()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, fileSize);
        QFETCH(QString, reasonStart);
        const QString reason = decal::gameRefusal(file, fileSize);
        QVERIFY2(reasonStart.isEmpty() ? reason.isEmpty() : reason.startsWith(reasonStart),
                 qPrintable(reason));
    }

    void decodeSurvivesDamage()
    {
        const QByteArray ok = encode(pattern(32, 16));
        for (qsizetype length = 0; length < ok.size(); ++length)
            QVERIFY(!decal::decode(ok.left(length)));
        QRandomGenerator random(1998);
        for (int round = 0; round < 20000; ++round) {
            QByteArray damaged = ok;
            for (int hits = random.bounded(1, 4); hits > 0; --hits) {
                // Mostly the header and directory, where the offsets live.
                const qsizetype at =
                    random.bounded(2) ? random.bounded(52) : ok.size() - 32 + random.bounded(32);
                damaged[at] = char(random.bounded(256));
            }
            if (const std::optional<Decal> d = decal::decode(damaged))
                QCOMPARE(d->pixels.size(), qsizetype(d->width) * d->height);
        }
    }

    void fromImage()
    {
        QImage art(32, 48, QImage::Format_ARGB32);
        art.fill(Qt::transparent);
        const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(128, 128, 128),
                                qRgba(255, 255, 255, 100), qRgba(255, 255, 255, 200)};
        for (int x = 0; x < 5; ++x)
            art.setPixel(x, 0, colours[x]);
        QString error;
        const std::optional<Decal> d = decal::fromImage(art, kPixelBudget, &error);
        QVERIFY2(d, qPrintable(error));
        QCOMPARE(QSize(d->width, d->height), QSize(32, 48));
        QVERIFY(d->isColourSpray());
        const QImage back = toImage(*d);
        QCOMPARE(back.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(back.pixel(1, 0), qRgb(0, 0, 255)); // opaque blue must stay visible
        QVERIFY(qAbs(qGray(back.pixel(2, 0)) - 128) <= 4);
        QCOMPARE(back.pixel(3, 0), 0u);
        QCOMPARE(back.pixel(4, 0), qRgb(255, 255, 255));
        QCOMPARE(d->pixels.count(char(kTransparentIndex)), 32 * 48 - 4);

        const std::optional<Decal> scaled =
            decal::fromImage(QImage(300, 200, QImage::Format_RGB32));
        QVERIFY(scaled && !encode(*scaled).isEmpty());
        QCOMPARE(QSize(scaled->width, scaled->height), QSize(128, 96));
        QVERIFY(!decal::fromImage(QImage(), kPixelBudget, &error));
        // Rounding 110 up to 112 would overshoot the budget; the square must stay square.
        QCOMPARE(fitSize({1000, 1000}), QSize(96, 96));
        QCOMPARE(fitSize({10, 10}), QSize(16, 16));
        QCOMPARE(fitSize({4000, 100}), QSize(256, 16));
        QVERIFY(!fitSize({64, 64}, 255).isValid());
    }

    // Each row: one pixel's index, the palette entries it uses, and the pixel the game shows.
    void renderAsGame_data()
    {
        QTest::addColumn<bool>("colour");
        QTest::addColumn<int>("index");
        QTest::addColumn<QRgb>("entry");
        QTest::addColumn<bool>("gamma");
        QTest::addColumn<QRgb>("shown");
        const QRgb wall = kWallColour;
        QTest::newRow("colour, gamma brightens")
            << true << 1 << qRgb(64, 128, 0) << true << qRgb(84, 147, 0);
        QTest::newRow("colour, stored palette")
            << true << 1 << qRgb(64, 128, 0) << false << qRgb(64, 128, 0);
        QTest::newRow("colour, white stays white")
            << true << 1 << qRgb(255, 255, 255) << true << qRgb(255, 255, 255);
        QTest::newRow("colour, index 255 is the wall")
            << true << 255 << kTransparentKey << true << wall;
        QTest::newRow("logo, full opacity is the ink")
            << false << 255 << qRgb(200, 0, 0) << true << qRgb(210, 0, 0);
        QTest::newRow("logo, zero opacity is the wall")
            << false << 0 << qRgb(200, 0, 0) << true << wall;
        QTest::newRow("logo, half opacity blends")
            << false << 128 << qRgb(0, 0, 0) << false << qRgb(64, 64, 64);
    }

    void renderAsGame()
    {
        QFETCH(bool, colour);
        QFETCH(int, index);
        QFETCH(QRgb, entry);
        QFETCH(bool, gamma);
        QFETCH(QRgb, shown);
        Decal d = pattern(16, 16, colour);
        d.pixels.fill(char(index));
        d.palette[index] = entry;
        if (!colour)
            d.palette[255] = entry; // a logo's ink
        QCOMPARE(d.isColourSpray(), colour);
        const QImage image = decal::renderAsGame(d, {gamma, kWallColour, true});
        QCOMPARE(image.size(), QSize(16, 16));
        const QRgb got = image.pixel(7, 9);
        QVERIFY2(qAbs(qRed(got) - qRed(shown)) <= 1 && qAbs(qGreen(got) - qGreen(shown)) <= 1
                     && qAbs(qBlue(got) - qBlue(shown)) <= 1,
                 qPrintable(QStringLiteral("got #%1").arg(got & 0xffffff, 6, 16, QChar(u'0'))));
        QVERIFY(decal::renderAsGame(Decal{}).isNull());
    }

    void demoSprays()
    {
        QTemporaryDir first, second;
        for (const QTemporaryDir *dir : {&first, &second}) {
            QProcess generator;
            generator.start(QStringLiteral(TAGSWAP_MAKE_DEMO_SPRAYS), {dir->path()});
            QVERIFY(generator.waitForFinished(60000));
            QCOMPARE(generator.exitCode(), 0);
        }
        const QDir shipped(QStringLiteral(TAGSWAP_DEMO_DIR));
        const QStringList files = shipped.entryList({QStringLiteral("*.wad")}, QDir::Files);
        QVERIFY(files.size() >= 3);
        QCOMPARE(QDir(first.path()).entryList(QDir::Files), files);
        for (const QString &name : files) {
            QVERIFY2(readFile(first.filePath(name)) == readFile(second.filePath(name)),
                     qPrintable(name));
            const QByteArray bytes = readFile(shipped.filePath(name));
            QString error;
            const std::optional<Decal> d = decal::decode(bytes, &error);
            QVERIFY2(d, qPrintable(name + QStringLiteral(": ") + error));
            QVERIFY2(d->width * d->height <= kPixelBudget && d->isColourSpray(), qPrintable(name));
            QVERIFY2(d->width % 16 == 0 && d->height % 16 == 0, qPrintable(name));
            QVERIFY2(encode(*d) == bytes, qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(TestDecal)
#include "tst_decal.moc"

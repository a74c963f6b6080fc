#include "decal_file.h"
#include "hostile_pictures.h"
#include "scratch_settings.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QImage picture()
{
    QImage image(300, 200, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x % 256, y, (x * y) % 256, x < 30 ? 0 : 255));
    return image;
}

QByteArray goodSpray()
{
    decal::Decal d;
    d.width = d.height = 64;
    d.pixels = QByteArray(4096, '\x03'); // 64x64
    d.palette[255] = decal::kTransparentKey;
    return decal::encode(d);
}

} // namespace

class TestSprayCli : public QObject {
    Q_OBJECT

    QTemporaryDir *m_dir = nullptr;
    // Sprays that install replaces are kept under the data home: this test's own
    // (on Windows the throwaway profile's LocalAppData, which children share).
    tagswap::testing::ScratchSettings m_settings;

    QString path(const QString &name) const { return m_dir->filePath(name); }

    Run run(const QStringList &arguments) const
    {
        QProcess process;
        process.setWorkingDirectory(m_dir->path());
        process.start(QStringLiteral(TAGSWAP_SPRAY_PROGRAM), arguments);
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private slots:
    void initTestCase() { m_settings.setUp(); }

    void init()
    {
        m_settings.reset();
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        QVERIFY(picture().save(path(QStringLiteral("picture.png"))));
        QVERIFY(writeFile(path(QStringLiteral("broken.png")), "\x89PNG\r\n\x1a\n broken"));
        using namespace tagswap::testing;
        const QImage photo = somePicture(QSize(300, 200));
        QVERIFY(writeFile(path(QStringLiteral("cut.jpg")), cutShort(encoded(photo, "jpeg"))));
        QVERIFY(writeFile(path(QStringLiteral("cut.bmp")), cutShort(encoded(photo, "bmp"))));
        QVERIFY(writeFile(path(QStringLiteral("bomb.svgz")), compressedDrawingOf(32)));
        QVERIFY(writeFile(path(QStringLiteral("bomb.jpg")), progressiveJpegClaiming(9999, 9999)));
        QVERIFY(writeFile(path(QStringLiteral("page.png")), largeOneBitPng()));
        QVERIFY(writeFile(path(QStringLiteral("logo.svgz")), gzipped(smallDrawing(), {}, 0, {})));
        QVERIFY(writeFile(path(QStringLiteral("good.wad")), goodSpray()));
        QVERIFY(writeFile(path(QStringLiteral("cut.wad")), goodSpray().left(3000)));
        QVERIFY(writeFile(path(QStringLiteral("taken.wad")), "keep me"));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("game/valve")));
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
    }

    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("written"); // a file the command must have written

        const auto row = [](const char *name, const QStringList &args, int status,
                            const QString &written = {}) {
            QTest::newRow(name) << args << status << written;
        };
        const QString pic = QStringLiteral("picture.png");
        row("no command", {}, 2);
        row("unknown command", {QStringLiteral("paint")}, 2);
        row("unknown option", {QStringLiteral("make"), pic, QStringLiteral("--colourful")}, 2);
        row("help", {QStringLiteral("--help")}, 0);
        row("help of a command", {QStringLiteral("make"), QStringLiteral("--help")}, 0);
        row("make", {QStringLiteral("make"), pic}, 0, QStringLiteral("picture.wad"));
        row("make to a name",
            {QStringLiteral("make"), pic, QStringLiteral("-o"), QStringLiteral("x.wad")}, 0,
            QStringLiteral("x.wad"));
        row("make replaces only when forced",
            {QStringLiteral("make"), pic, QStringLiteral("-o"), QStringLiteral("taken.wad"),
             QStringLiteral("--force")},
            0, QStringLiteral("taken.wad"));
        row("make strict filled",
            {QStringLiteral("make"), pic, QStringLiteral("--size"), QStringLiteral("strict"),
             QStringLiteral("--fit"), QStringLiteral("fill")},
            0, QStringLiteral("picture.wad"));
        row("make exact, one colour",
            {QStringLiteral("make"), pic, QStringLiteral("--size"), QStringLiteral("64x64"),
             QStringLiteral("--one-colour"), QStringLiteral("ff8000")},
            0, QStringLiteral("picture.wad"));
        row("make undithered, threshold",
            {QStringLiteral("make"), pic, QStringLiteral("--dither"), QStringLiteral("0"),
             QStringLiteral("--alpha-threshold"), QStringLiteral("90")},
            0, QStringLiteral("picture.wad"));
        row("make without an image", {QStringLiteral("make")}, 2);
        row("make two images", {QStringLiteral("make"), pic, pic}, 2);
        row("size the game refuses",
            {QStringLiteral("make"), pic, QStringLiteral("--size"), QStringLiteral("128x128")}, 2);
        row("size off the grid",
            {QStringLiteral("make"), pic, QStringLiteral("--size"), QStringLiteral("100x100")}, 2);
        row("unknown fit",
            {QStringLiteral("make"), pic, QStringLiteral("--fit"), QStringLiteral("squash")}, 2);
        row("dither above 1",
            {QStringLiteral("make"), pic, QStringLiteral("--dither"), QStringLiteral("1.5")}, 2);
        row("dither not a number",
            {QStringLiteral("make"), pic, QStringLiteral("--dither"), QStringLiteral("lots")}, 2);
        row("threshold above 100",
            {QStringLiteral("make"), pic, QStringLiteral("--alpha-threshold"),
             QStringLiteral("101")},
            2);
        row("frame 0",
            {QStringLiteral("make"), pic, QStringLiteral("--frame"), QStringLiteral("0")}, 2);
        row("bad colour",
            {QStringLiteral("make"), pic, QStringLiteral("--one-colour"), QStringLiteral("orange")},
            2);
        row("frame the image lacks",
            {QStringLiteral("make"), pic, QStringLiteral("--frame"), QStringLiteral("2")}, 1);
        row("output exists",
            {QStringLiteral("make"), pic, QStringLiteral("-o"), QStringLiteral("taken.wad")}, 1);
        row("missing image", {QStringLiteral("make"), QStringLiteral("absent.png")}, 1);
        row("broken image", {QStringLiteral("make"), QStringLiteral("broken.png")}, 1);
        row("JPEG cut short", {QStringLiteral("make"), QStringLiteral("cut.jpg")}, 1);
        row("BMP cut short", {QStringLiteral("make"), QStringLiteral("cut.bmp")}, 1);
        row("compressed drawing of 32 MiB", {QStringLiteral("make"), QStringLiteral("bomb.svgz")},
            1);
        row("progressive JPEG claiming 9999x9999",
            {QStringLiteral("make"), QStringLiteral("bomb.jpg")}, 1);
        row("1-bit PNG of 6000x6000", {QStringLiteral("make"), QStringLiteral("page.png")}, 0,
            QStringLiteral("page.wad"));
        row("compressed drawing", {QStringLiteral("make"), QStringLiteral("logo.svgz")}, 0,
            QStringLiteral("logo.wad"));
        row("info", {QStringLiteral("info"), QStringLiteral("good.wad")}, 0);
        row("info of a refused file",
            {QStringLiteral("info"), QStringLiteral("good.wad"), QStringLiteral("cut.wad")}, 1);
        row("info of a missing file", {QStringLiteral("info"), QStringLiteral("absent.wad")}, 1);
        row("info without a file", {QStringLiteral("info")}, 2);
        row("preview",
            {QStringLiteral("preview"), QStringLiteral("good.wad"), QStringLiteral("-o"),
             QStringLiteral("p.png")},
            0, QStringLiteral("p.png"));
        row("preview without gamma, scaled",
            {QStringLiteral("preview"), QStringLiteral("good.wad"), QStringLiteral("-o"),
             QStringLiteral("p.png"), QStringLiteral("--scale"), QStringLiteral("3"),
             QStringLiteral("--no-gamma")},
            0, QStringLiteral("p.png"));
        row("preview without output", {QStringLiteral("preview"), QStringLiteral("good.wad")}, 2);
        row("preview scale 0",
            {QStringLiteral("preview"), QStringLiteral("good.wad"), QStringLiteral("-o"),
             QStringLiteral("p.png"), QStringLiteral("--scale"), QStringLiteral("0")},
            2);
        row("preview of a broken spray",
            {QStringLiteral("preview"), QStringLiteral("cut.wad"), QStringLiteral("-o"),
             QStringLiteral("p.png")},
            1);
        const auto install = [](const char *file, const char *mod) {
            return QStringList{QStringLiteral("install"), QString::fromLatin1(file),
                               QStringLiteral("--game"),  QStringLiteral("game"),
                               QStringLiteral("--mod"),   QString::fromLatin1(mod)};
        };
        row("install", install("good.wad", "valve"), 0, QStringLiteral("game/valve/tempdecal.wad"));
        row("install a file the game refuses", install("cut.wad", "valve"), 1);
        row("install it anyway", install("cut.wad", "valve") << QStringLiteral("--force"), 0);
        row("install into a missing mod", install("good.wad", "cstrike"), 1);
        row("install a missing file", install("absent.wad", "valve"), 1);
        row("install without a mod", install("good.wad", "valve").mid(0, 4), 2);
        row("install with an empty mod", install("good.wad", ""), 2);
        row("install above the game folder", install("good.wad", ".."), 1);
        row("preview over a file",
            {QStringLiteral("preview"), QStringLiteral("good.wad"), QStringLiteral("-o"),
             QStringLiteral("taken.wad")},
            1);
    }
    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, written);
        const Run r = run(arguments);
        QCOMPARE(r.status, status);
        // A failure ends with one line of ours on stderr (libpng may have spoken before it);
        // success says nothing there.
        const QStringList lines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.filter(QStringLiteral("tagswap-spray: ")).size(), status == 0 ? 0 : 1);
        QVERIFY(status == 0 ? lines.isEmpty()
                            : lines.last().startsWith(QLatin1String("tagswap-spray: ")));
        if (status != 0)
            QCOMPARE(readAll(path(QStringLiteral("taken.wad"))), QByteArray("keep me"));
        if (written.endsWith(QLatin1String(".wad")))
            QCOMPARE(decal::gameRefusal(readAll(path(written))), QString());
        if (written.endsWith(QLatin1String(".png")))
            QVERIFY(!QImage(path(written)).isNull());
    }

    // The same installation as Change: both files, the guard, the replaced spray kept.
    void installLikeChange()
    {
        const QString valve = path(QStringLiteral("game/valve/"));
        QVERIFY(writeFile(valve + QStringLiteral("tempdecal.wad"), "the game's own"));
        const Run r =
            run({QStringLiteral("install"), QStringLiteral("good.wad"), QStringLiteral("--game"),
                 path(QStringLiteral("game")), QStringLiteral("--mod"), QStringLiteral("valve")});
        QCOMPARE(r.status, 0);
        QCOMPARE(readAll(valve + QStringLiteral("pldecal.wad")), goodSpray());
        QCOMPARE(readAll(valve + QStringLiteral("tempdecal.wad")), goodSpray());
        QVERIFY(!(QFile::permissions(valve + QStringLiteral("tempdecal.wad"))
                  & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)));
        const QDir kept(m_settings.dataHome() + QStringLiteral("/Tagswap/replaced"));
        const QStringList names = kept.entryList(QDir::Files);
        QCOMPARE(names.size(), 1);
        QCOMPARE(readAll(kept.filePath(names.first())), QByteArray("the game's own"));
    }

    // A path for a mod is refused before the spray is even read (this one the game would
    // refuse too), and nothing lands above the game folder.
    void installRefusesAPathForAMod()
    {
        const Run r =
            run({QStringLiteral("install"), QStringLiteral("cut.wad"), QStringLiteral("--game"),
                 QStringLiteral("game"), QStringLiteral("--mod"), QStringLiteral("..")});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err.trimmed(), QStringLiteral("tagswap-spray: .. is not a mod folder name."));
        QVERIFY(!QFile::exists(path(QStringLiteral("pldecal.wad"))));
        QVERIFY(!QFile::exists(path(QStringLiteral("tempdecal.wad"))));
    }

    void version()
    {
        const Run r = run({QStringLiteral("--version")});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QStringLiteral(TAGSWAP_VERSION)));
    }

    void previewScale()
    {
        const Run r =
            run({QStringLiteral("preview"), QStringLiteral("good.wad"), QStringLiteral("-o"),
                 QStringLiteral("p.png"), QStringLiteral("--scale"), QStringLiteral("3")});
        QCOMPARE(r.status, 0);
        QCOMPARE(QImage(path(QStringLiteral("p.png"))).size(), QSize(192, 192));
    }

    void infoJson()
    {
        QVERIFY(run({QStringLiteral("make"), QStringLiteral("picture.png"),
                     QStringLiteral("--one-colour"), QStringLiteral("000000")})
                    .status
                == 0);
        const Run r = run({QStringLiteral("info"), QStringLiteral("--json"),
                           QStringLiteral("good.wad"), QStringLiteral("picture.wad"),
                           QStringLiteral("cut.wad"), QStringLiteral("absent.wad")});
        QCOMPARE(r.status, 1);
        QJsonParseError parseError{};
        const QJsonArray all = QJsonDocument::fromJson(r.out.toUtf8(), &parseError).array();
        QCOMPARE(parseError.error, QJsonParseError::NoError);
        QCOMPARE(all.size(), 4);
        const QJsonObject good = all[0].toObject();
        QCOMPARE(good[QStringLiteral("file")].toString(), QStringLiteral("good.wad"));
        QCOMPARE(good[QStringLiteral("ok")].toBool(), true);
        QCOMPARE(good[QStringLiteral("width")].toInt(), 64);
        QCOMPARE(good[QStringLiteral("height")].toInt(), 64);
        QCOMPARE(good[QStringLiteral("kind")].toString(), QStringLiteral("colour"));
        QCOMPARE(good[QStringLiteral("bytes")].toInt(), 6296);
        QVERIFY(!good.contains(QStringLiteral("problem")));
        QCOMPARE(all[1].toObject()[QStringLiteral("kind")].toString(),
                 QStringLiteral("one-colour"));
        QCOMPARE(all[1].toObject()[QStringLiteral("ok")].toBool(), true);
        for (int i : {2, 3}) {
            QCOMPARE(all[i].toObject()[QStringLiteral("ok")].toBool(), false);
            QVERIFY(!all[i].toObject()[QStringLiteral("problem")].toString().isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestSprayCli)
#include "tst_spray_cli.moc"

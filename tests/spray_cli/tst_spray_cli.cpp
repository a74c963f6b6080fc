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

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// Without Windows' CR before each LF.
QStringList outLines(const Run &r)
{
    return QString(r.out).remove(QLatin1Char('\r')).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

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
        QImage icon(8, 8, QImage::Format_RGB32);
        icon.fill(qRgb(200, 30, 30));
        QVERIFY(icon.save(path(QStringLiteral("icon.png"))));
        QVERIFY(writeFile(path(QStringLiteral("broken.png")), "\x89PNG\r\n\x1a\n broken"));
        using namespace tagswap::testing;
        const QImage photo = somePicture(QSize(300, 200));
        QVERIFY(writeFile(path(QStringLiteral("cut.jpg")), cutShort(encoded(photo, "jpeg"))));
        QVERIFY(writeFile(path(QStringLiteral("cut.bmp")), cutShort(encoded(photo, "bmp"))));
        QVERIFY(writeFile(path(QStringLiteral("cut.png")), cutShort(encoded(photo, "png"))));
        QVERIFY(writeFile(path(QStringLiteral("photo.tiff")), encoded(photo, "tiff")));
        QVERIFY(writeFile(path(QStringLiteral("photo.jpg")), encoded(photo, "jpeg")));
        QVERIFY(writeFile(path(QStringLiteral("disguised.wad")), encoded(photo, "png")));
        QVERIFY(writeFile(path(QStringLiteral("bomb.svgz")), compressedDrawingOf(32)));
        QVERIFY(writeFile(path(QStringLiteral("bomb.jpg")), progressiveJpegClaiming(9999, 9999)));
        QVERIFY(writeFile(path(QStringLiteral("page.png")), largeOneBitPng()));
        QVERIFY(writeFile(path(QStringLiteral("logo.svgz")), gzipped(smallDrawing(), {}, 0, {})));
        QVERIFY(writeFile(path(QStringLiteral("inline.svg")),
                          drawingHolding(deepPngHeaderClaiming(10000, 9000))));
        QVERIFY(writeFile(path(QStringLiteral("good.wad")), goodSpray()));
        QVERIFY(writeFile(path(QStringLiteral("cut.wad")), goodSpray().left(3000)));
        QVERIFY(writeFile(path(QStringLiteral("taken.wad")), "keep me"));
        QVERIFY(writeFile(path(QStringLiteral("empty.png")), ""));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("game/valve")));
        QVERIFY(writeFile(path(QStringLiteral("game/hl.exe")), "MZ"));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("nogame/valve")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("linuxgame/valve")));
        QVERIFY(writeFile(path(QStringLiteral("linuxgame/hl_linux")), "ELF"));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("folder.wad")));
#ifdef Q_OS_UNIX
        // No one writes to it: a read would wait forever.
        QVERIFY(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe.wad"))).constData(), 0644)
                == 0);
#endif
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("game/tfc")));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("game/maps")));
        QVERIFY(writeFile(path(QStringLiteral("game/valve/liblist.gam")), "game \"Half-Life\""));
        QVERIFY(writeFile(path(QStringLiteral("game/tfc/liblist.gam")), "game \"TFC\""));
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("sven/svencoop")));
        QVERIFY(writeFile(path(QStringLiteral("sven/svencoop.exe")), "MZ"));
        // A game as Change leaves it: one spray in both files, tempdecal.wad guarded.
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("changed/valve")));
        QVERIFY(writeFile(path(QStringLiteral("changed/hl.exe")), "MZ"));
        for (const char *name : {"changed/valve/pldecal.wad", "changed/valve/tempdecal.wad"})
            QVERIFY(writeFile(path(QString::fromLatin1(name)), goodSpray()));
        QVERIFY(QFile::setPermissions(path(QStringLiteral("changed/valve/tempdecal.wad")),
                                      QFile::ReadOwner | QFile::ReadUser));
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
        QTest::addColumn<QString>("said");    // the one line on stderr, when it matters
        QTest::addColumn<QString>("out");     // all of stdout, when it matters (not null)

        const auto row = [](const char *name, const QStringList &args, int status,
                            const QString &written = {}, const QString &said = {},
                            const QString &out = {}) {
            QTest::newRow(name) << args << status << written << said << out;
        };
        const QString pic = QStringLiteral("picture.png");
        row("no command", {}, 2, {},
            QStringLiteral("a COMMAND is needed. See tagswap-spray --help."));
        row("unknown command", {QStringLiteral("paint")}, 2);
        // A mistake in a command points at that command's own help.
        row("unknown option", {QStringLiteral("make"), pic, QStringLiteral("--colourful")}, 2, {},
            QStringLiteral("Unknown option 'colourful'. See tagswap-spray make --help."));
        row("help", {QStringLiteral("--help")}, 0);
        row("help of a command", {QStringLiteral("make"), QStringLiteral("--help")}, 0);
        row("help-all", {QStringLiteral("--help-all")}, 0);
        row("help-all of a command", {QStringLiteral("install"), QStringLiteral("--help-all")}, 0);
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
        row("make an icon sharp, for the game's gamma",
            {QStringLiteral("make"), QStringLiteral("icon.png"), QStringLiteral("--scaler"),
             QStringLiteral("sharp"), QStringLiteral("--game-gamma")},
            0, QStringLiteral("icon.wad"));
        row("make an icon smooth",
            {QStringLiteral("make"), QStringLiteral("icon.png"), QStringLiteral("--scaler"),
             QStringLiteral("smooth")},
            0, QStringLiteral("icon.wad"));
        row("unknown scaler",
            {QStringLiteral("make"), pic, QStringLiteral("--scaler"), QStringLiteral("blurry")}, 2);
        row("make without an image", {QStringLiteral("make")}, 2, {},
            QStringLiteral("make takes exactly one IMAGE. See tagswap-spray make --help."));
        row("make of an empty file", {QStringLiteral("make"), QStringLiteral("empty.png")}, 1, {},
            QStringLiteral("empty.png is empty."));
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
        row("missing image", {QStringLiteral("make"), QStringLiteral("../absent.png")}, 1, {},
            QStringLiteral("../absent.png does not exist."));
        row("output a folder",
            {QStringLiteral("make"), pic, QStringLiteral("-o"), QStringLiteral("folder.wad"),
             QStringLiteral("--force")},
            1, {}, QStringLiteral("folder.wad is a folder, not a file to write."));
        row("output folder missing",
            {QStringLiteral("make"), pic, QStringLiteral("-o"), QStringLiteral("nowhere/x.wad")}, 1,
            {},
            QStringLiteral("nowhere/x.wad cannot be written: the folder nowhere does not exist."));
        row("PNG cut short", {QStringLiteral("make"), QStringLiteral("cut.png")}, 1);
        row("TIFF", {QStringLiteral("make"), QStringLiteral("photo.tiff")}, 0,
            QStringLiteral("photo.wad"));
        row("broken image", {QStringLiteral("make"), QStringLiteral("broken.png")}, 1);
        row("JPEG cut short",
            {QStringLiteral("make"), QStringLiteral("./cut.jpg"), QStringLiteral("-o"),
             QStringLiteral("x.wad")},
            1, {},
            QStringLiteral("./cut.jpg is cut short: its JPEG data stops before the end marker."));
        row("BMP cut short", {QStringLiteral("make"), QStringLiteral("cut.bmp")}, 1);
        row("compressed drawing of 32 MiB", {QStringLiteral("make"), QStringLiteral("bomb.svgz")},
            1);
        row("progressive JPEG claiming 9999x9999",
            {QStringLiteral("make"), QStringLiteral("bomb.jpg")}, 1);
        row("1-bit PNG of 6000x6000", {QStringLiteral("make"), QStringLiteral("page.png")}, 0,
            QStringLiteral("page.wad"));
        row("compressed drawing", {QStringLiteral("make"), QStringLiteral("logo.svgz")}, 0,
            QStringLiteral("logo.wad"));
        row("drawing beyond the reader's memory",
            {QStringLiteral("make"), QStringLiteral("./inline.svg")}, 1, {},
            QStringLiteral("./inline.svg cannot be read within the 512 MiB of memory a picture "
                           "may take."));
        row("info", {QStringLiteral("info"), QStringLiteral("good.wad")}, 0);
        row("info of a refused file",
            {QStringLiteral("info"), QStringLiteral("good.wad"), QStringLiteral("cut.wad")}, 1);
        row("info of a missing file", {QStringLiteral("info"), QStringLiteral("absent.wad")}, 1, {},
            QStringLiteral("absent.wad does not exist."), QStringLiteral(""));
        row("info without a file", {QStringLiteral("info")}, 2);
        row("preview",
            {QStringLiteral("preview"), QStringLiteral("good.wad"), QStringLiteral("-o"),
             QStringLiteral("p.png")},
            0, QStringLiteral("p.png"), {}, QStringLiteral("wrote p.png, 64x64 pixels"));
        row("preview without gamma, scaled",
            {QStringLiteral("preview"), QStringLiteral("good.wad"), QStringLiteral("-o"),
             QStringLiteral("p.png"), QStringLiteral("--scale"), QStringLiteral("3"),
             QStringLiteral("--no-gamma")},
            0, QStringLiteral("p.png"));
        row("preview to FILE's name", {QStringLiteral("preview"), QStringLiteral("good.wad")}, 0,
            QStringLiteral("good.png"));
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
        row("install into a missing mod", install("good.wad", "cstrike"), 1, {},
            QStringLiteral("game%1cstrike does not exist.").arg(QDir::separator()));
        row("install a missing file", install("absent.wad", "valve"), 1);
#ifdef Q_OS_UNIX
        row("install a pipe", install("pipe.wad", "valve"), 1, {},
            QStringLiteral("pipe.wad is not a file."));
#endif
        row("install a picture", install("photo.jpg", "valve"), 0, QStringLiteral("photo.wad"));
        row("install a TIFF", install("photo.tiff", "valve"), 0, QStringLiteral("photo.wad"));
        row("install a picture named .wad",
            install("disguised.wad", "valve") << QStringLiteral("-o") << QStringLiteral("made.wad"),
            0, QStringLiteral("made.wad"));
        row("install a PNG cut short", install("cut.png", "valve"), 1);
        row("install a drawing beyond the reader's memory", install("inline.svg", "valve"), 1);
        row("install a picture over another spray",
            install("photo.jpg", "valve") << QStringLiteral("-o") << QStringLiteral("good.wad"), 1,
            {}, QStringLiteral("good.wad already exists; -o names another file for the spray."));
        row("install a spray with a making option",
            install("good.wad", "valve") << QStringLiteral("--size") << QStringLiteral("strict"),
            2);
        row("install with a bad making option",
            install("photo.jpg", "valve") << QStringLiteral("--fit") << QStringLiteral("squash"),
            2);
        row("install where the game is not",
            {QStringLiteral("install"), QStringLiteral("good.wad"), QStringLiteral("--game"),
             QStringLiteral("nogame"), QStringLiteral("--mod"), QStringLiteral("valve")},
            1, {},
#ifdef Q_OS_WIN
            QStringLiteral("nogame is not a Half-Life folder: hl.exe does not reside in it."));
#else
            QStringLiteral("nogame is not a Half-Life folder: neither hl.exe nor hl_linux resides "
                           "in it."));
#endif
        // Windows runs only hl.exe, so a folder with just the Linux game is none there.
        row("install into the Linux game",
            {QStringLiteral("install"), QStringLiteral("good.wad"), QStringLiteral("--game"),
             QStringLiteral("linuxgame"), QStringLiteral("--mod"), QStringLiteral("valve")},
#ifdef Q_OS_WIN
            1);
#else
            0, QStringLiteral("linuxgame/valve/tempdecal.wad"));
#endif
        row("install into Sven Co-op",
            {QStringLiteral("install"), QStringLiteral("good.wad"), QStringLiteral("--game"),
             QStringLiteral("sven"), QStringLiteral("--mod"), QStringLiteral("svencoop")},
            0, QStringLiteral("sven/svencoop/tempdecal.wad"));
        row("install into two mods",
            install("good.wad", "valve") << QStringLiteral("--mod") << QStringLiteral("tfc"), 0,
            QStringLiteral("game/tfc/tempdecal.wad"));
        row("install into a missing mod and another",
            install("good.wad", "cstrike") << QStringLiteral("--mod") << QStringLiteral("tfc"), 1,
            QStringLiteral("game/tfc/tempdecal.wad"),
            QStringLiteral("game%1cstrike does not exist.").arg(QDir::separator()));
        row("install into every mod",
            install("good.wad", "valve").mid(0, 4) << QStringLiteral("--every-mod"), 0,
            QStringLiteral("game/tfc/tempdecal.wad"));
        row("install into every mod of a game with none",
            {QStringLiteral("install"), QStringLiteral("good.wad"), QStringLiteral("--game"),
             QStringLiteral("sven"), QStringLiteral("--every-mod")},
            1, {}, QStringLiteral("sven has no mod folder with liblist.gam."));
        row("install with --mod and --every-mod",
            install("good.wad", "valve") << QStringLiteral("--every-mod"), 2);
        row("install a path among mods",
            install("good.wad", "valve") << QStringLiteral("--mod") << QStringLiteral("../valve"),
            1, {}, QStringLiteral("../valve is not a mod folder name."));
        row("install without a mod", install("good.wad", "valve").mid(0, 4), 2);
        row("install with an empty mod", install("good.wad", ""), 2);
        row("install above the game folder", install("good.wad", ".."), 1);
        const auto check = [](const char *game, const char *mod) {
            return QStringList{QStringLiteral("check"), QStringLiteral("--game"),
                               QString::fromLatin1(game), QStringLiteral("--mod"),
                               QString::fromLatin1(mod)};
        };
        row("check, all passed", check("changed", "valve"), 0);
        row("check a mod without a spray", check("game", "valve"), 1, {},
            QStringLiteral("3 of 5 checks did not pass."));
        row("check a path for a mod", check("changed", ".."), 1, {},
            QStringLiteral(".. is not a mod folder name."));
        row("check without a mod", check("changed", "valve").mid(0, 3), 2);
        row("check a FILE", check("changed", "valve") << QStringLiteral("good.wad"), 2);
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
        QFETCH(QString, said);
        QFETCH(QString, out);
        const Run r = run(arguments);
        QCOMPARE(r.status, status);
        // A failure is one line of ours on stderr, whatever the decoders said; success
        // says nothing there.
        const QStringList lines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(lines.size() == (status == 0 ? 0 : 1), qPrintable(r.err));
        QVERIFY(status == 0 || lines.last().startsWith(QLatin1String("tagswap-spray: ")));
        if (!said.isEmpty())
            QCOMPARE(lines.value(0).trimmed(), QStringLiteral("tagswap-spray: ") + said);
        if (!out.isNull())
            QCOMPARE(outLines(r).join(u'\n'), out);
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

    // A picture is made as make makes it, then installed, and every file written and
    // every spray kept is said; again, the spray made before is used as it is.
    void installAPicture()
    {
        QCOMPARE(run({QStringLiteral("make"), QStringLiteral("photo.jpg"), QStringLiteral("-o"),
                      QStringLiteral("made.wad")})
                     .status,
                 0);
        QVERIFY(writeFile(path(QStringLiteral("game/valve/pldecal.wad")), "the game's own"));
        const QStringList install{QStringLiteral("install"), QStringLiteral("photo.jpg"),
                                  QStringLiteral("--game"),  QStringLiteral("game"),
                                  QStringLiteral("--mod"),   QStringLiteral("valve")};
        const Run r = run(install);
        QCOMPARE(r.status, 0);
        QCOMPARE(readAll(path(QStringLiteral("photo.wad"))),
                 readAll(path(QStringLiteral("made.wad"))));
        QCOMPARE(readAll(path(QStringLiteral("game/valve/tempdecal.wad"))),
                 readAll(path(QStringLiteral("made.wad"))));
        const QString valve = QStringLiteral("game%1valve%1").arg(QDir::separator());
        const QStringList gameFiles{
            QStringLiteral("wrote ") + valve + QStringLiteral("pldecal.wad"),
            QStringLiteral("wrote ") + valve + QStringLiteral("tempdecal.wad")};
        QStringList lines = outLines(r);
        QCOMPARE(lines.size(), 4);
        const QString keptLine = lines.takeLast();
        QCOMPARE(lines, QStringList{QStringLiteral("wrote photo.wad")} + gameFiles);
        const QDir kept(m_settings.dataHome() + QStringLiteral("/Tagswap/replaced"));
        const QStringList names = kept.entryList(QDir::Files);
        QCOMPARE(names.size(), 1);
        const QString prefix = QStringLiteral("kept the replaced spray as ");
        QVERIFY2(keptLine.startsWith(prefix), qPrintable(keptLine));
        QCOMPARE(QFileInfo(keptLine.mid(prefix.size())).canonicalFilePath(),
                 QFileInfo(kept.filePath(names.first())).canonicalFilePath());

        const Run again = run(install);
        QCOMPARE(again.status, 0);
        QCOMPARE(outLines(again), gameFiles);

        // Made, then not installed: the spray made is still said.
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("game/broken/pldecal.wad")));
        const Run failed =
            run({QStringLiteral("install"), QStringLiteral("icon.png"), QStringLiteral("--game"),
                 QStringLiteral("game"), QStringLiteral("--mod"), QStringLiteral("broken")});
        QCOMPARE(failed.status, 1);
        QCOMPARE(outLines(failed), QStringList{QStringLiteral("wrote icon.wad")});
    }

    // Every mod the game can run, in turn: one that fails changes nothing there and stops
    // no other; one line on stderr names it, and the status is 1.
    void installIntoEveryMod()
    {
        // No copy can take the place of a folder.
        QVERIFY(QDir(path(QStringLiteral("game/tfc"))).mkdir(QStringLiteral("tempdecal.wad")));
        const Run r =
            run({QStringLiteral("install"), QStringLiteral("good.wad"), QStringLiteral("--game"),
                 QStringLiteral("game"), QStringLiteral("--every-mod")});
        QCOMPARE(r.status, 1);
        const QString valve = QStringLiteral("game%1valve%1").arg(QDir::separator());
        QCOMPARE(outLines(r),
                 (QStringList{QStringLiteral("wrote ") + valve + QStringLiteral("pldecal.wad"),
                              QStringLiteral("wrote ") + valve + QStringLiteral("tempdecal.wad")}));
        const QStringList errors = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(errors.size(), 1);
        const QString tfc = QStringLiteral("game%1tfc%1tempdecal.wad").arg(QDir::separator());
        QVERIFY2(errors.first().startsWith(QStringLiteral("tagswap-spray: "))
                     && errors.first().contains(tfc),
                 qPrintable(r.err));
        QCOMPARE(readAll(path(QStringLiteral("game/valve/tempdecal.wad"))), goodSpray());
        QVERIFY(!QFile::exists(path(QStringLiteral("game/tfc/pldecal.wad"))));
        QVERIFY(!QFile::exists(path(QStringLiteral("game/maps/pldecal.wad"))));
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

    // A line for each check, or its JSON object, whatever the result.
    void checkSaysEachCheck()
    {
        const QStringList check{QStringLiteral("check"), QStringLiteral("--game"),
                                QStringLiteral("game"), QStringLiteral("--mod"),
                                QStringLiteral("valve")};
        const Run text = run(check);
        QCOMPARE(text.status, 1);
        const QStringList lines = outLines(text);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("FAIL Installed: valve has neither tempdecal.wad nor "
                                          "pldecal.wad. Choose a spray and press Change."));
        QCOMPARE(lines[1], QStringLiteral("?? Not replaced by the game: There is no spray to "
                                          "compare."));
        QVERIFY2(lines[4].startsWith(QStringLiteral("ok Game not running: ")),
                 qPrintable(lines[4]));

        const Run json = run(check + QStringList{QStringLiteral("--json")});
        QCOMPARE(json.status, 1);
        QJsonParseError parseError{};
        const QJsonArray all = QJsonDocument::fromJson(json.out.toUtf8(), &parseError).array();
        QCOMPARE(parseError.error, QJsonParseError::NoError);
        QStringList results;
        for (const auto &each : all) {
            const QJsonObject o = each.toObject();
            QCOMPARE(o.keys(), (QStringList{QStringLiteral("check"), QStringLiteral("detail"),
                                            QStringLiteral("result")}));
            results << o[QStringLiteral("check")].toString() + QLatin1Char('=')
                           + o[QStringLiteral("result")].toString();
        }
        QCOMPARE(results, (QStringList{QStringLiteral("installed=fail"),
                                       QStringLiteral("not-replaced=unknown"),
                                       QStringLiteral("guarded=unknown"),
                                       QStringLiteral("uploads-and-downloads=ok"),
                                       QStringLiteral("game-not-running=ok")}));
    }

    // Each command's help names the program as it is typed and says what every
    // argument is; the commands are the ones the program's own help lists.
    void helpOfEveryCommand()
    {
        const Run top = run({QStringLiteral("--help")});
        QStringList commands;
        bool listing = false;
        for (const QString &line : outLines(top)) {
            if (listing && line.startsWith(QLatin1String("  ")))
                commands << line.trimmed().section(u' ', 0, 0);
            else
                listing = line == u"Commands:";
        }
        QVERIFY(commands.size() >= 5);
        QList<QStringList> helps{{QStringLiteral("--help")}};
        for (const QString &command : std::as_const(commands))
            helps << QStringList{command, QStringLiteral("--help")};
        for (const QStringList &arguments : std::as_const(helps)) {
            const Run r = run(arguments);
            const QStringList lines = outLines(r);
            QVERIFY2(lines.value(0).startsWith(QLatin1String("Usage: tagswap-spray [options] ")),
                     qPrintable(lines.value(0)));
            const qsizetype at = lines.indexOf(QStringLiteral("Arguments:"));
            QVERIFY(at > 0);
            for (const QString &line : lines.mid(at + 1)) {
                // A bare word is an argument without its description.
                if (!line.startsWith(QLatin1String("    ")))
                    QVERIFY2(line.trimmed().contains(u' '), qPrintable(line));
            }
        }
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
        // Written with the type the game gives its own one-colour logos, and taken.
        QCOMPARE(readAll(path(QStringLiteral("picture.wad"))).right(32).at(12),
                 decal::kOneColourType);
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

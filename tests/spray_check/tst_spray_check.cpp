// The checks of why a spray does not show in game, each on a game folder with
// one thing wrong, and the running game found by a real stand-in process.

#include "decal_file.h"
#include "game_paths.h"
#include "spray_check.h"
#include "spray_install.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using tagswap::CheckOutcome;
using tagswap::CheckResult;
using tagswap::SprayCheck;
using tagswap::testing::tryWriteFile;

namespace {

QByteArray spray(int seed, int side = 64)
{
    decal::Decal d;
    d.width = d.height = side;
    d.palette[255] = decal::kTransparentKey;
    d.pixels = QByteArray(qsizetype(side) * side, char(seed));
    return decal::encode(d);
}

// P, F or U for each check, in their order.
QString resultLetters(const QList<CheckOutcome> &outcomes)
{
    QString letters;
    for (const CheckOutcome &outcome : outcomes)
        letters += outcome.result == CheckResult::Passed   ? u'P'
                   : outcome.result == CheckResult::Failed ? u'F'
                                                           : u'U';
    return letters;
}

#ifdef Q_OS_WIN
const QString kGame = u"hl.exe"_s;
const QString kSvenCoop = u"svencoop.exe"_s;
#else
const QString kGame = u"hl_linux"_s;
const QString kSvenCoop = u"svencoop_linux"_s;
#endif

} // namespace

class TestSprayCheck : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString game() const { return m_dir->filePath(u"Half-Life"_s); }
    QString sprays() const { return m_dir->filePath(u"sprays"_s); }
    QString inMod(const QString &name) const { return game() + u"/valve/"_s + name; }

    tagswap::SprayCheckRequest request(const QString &mod = u"valve"_s) const
    {
        tagswap::SprayCheckRequest r;
        r.gameDirectory = game();
        r.mod = mod;
        r.sprayFolder = sprays();
        return r;
    }

    // What Change leaves: mine.wad in both files, tempdecal.wad guarded.
    void installMine()
    {
        QVERIFY(tryWriteFile(inMod(u"pldecal.wad"_s), spray(1)));
        QVERIFY(tryWriteFile(inMod(u"tempdecal.wad"_s), spray(1)));
        QString error;
        QVERIFY2(tagswap::setWriteGuard(inMod(u"tempdecal.wad"_s), true, &error),
                 qPrintable(error));
    }

    // Rewrites a file the guard may be on, leaving it guarded as it was.
    void overwrite(const QString &path, const QByteArray &bytes)
    {
        QString error;
        const bool guarded = tagswap::isWriteGuarded(path);
        QVERIFY(tagswap::setWriteGuard(path, false, &error));
        QVERIFY(tryWriteFile(path, bytes));
        QVERIFY(tagswap::setWriteGuard(path, guarded, &error));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkpath(game() + u"/valve"_s));
        QVERIFY(QDir().mkpath(sprays()));
        QVERIFY(tryWriteFile(game() + u"/hl.exe"_s, "MZ"));
        QVERIFY(tryWriteFile(sprays() + u"/mine.wad"_s, spray(1)));
    }

    void cleanup()
    {
        QString ignored;
        tagswap::setWriteGuard(inMod(u"tempdecal.wad"_s), false, &ignored);
        m_dir.reset();
    }

    void oneThingWrong_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("results"); // P, F or U for each check, in order
        QTest::addColumn<int>("check");       // the one whose sentence is compared
        QTest::addColumn<QString>("detail");  // its sentence, from the start

        const auto row = [](const char *fault, const char *results, SprayCheck check,
                            const QString &detail) {
            QTest::newRow(fault) << QString::fromLatin1(fault) << QString::fromLatin1(results)
                                 << int(check) << detail;
        };
        row("nothing", "PPPPP", SprayCheck::Installed,
            u"tempdecal.wad is a spray the game takes: 64 × 64, colour."_s);
        row("no mod folder", "FUUUP", SprayCheck::Installed,
            u"The game folder has no folder cstrike. Choose a mod the game has."_s);
        row("a path for a mod", "FUUUP", SprayCheck::Installed,
            u"../valve is not a mod folder name."_s);
        row("no spray", "FUUPP", SprayCheck::Installed,
            u"valve has neither tempdecal.wad nor pldecal.wad. Choose a spray and press Change."_s);
        row("a spray the game refuses", "FPPPP", SprayCheck::Installed,
            u"tempdecal.wad is not a spray the game can show: At 87,896 bytes it is too large "
            "for the game's 20,480-byte limit. Choose another spray and press Change."_s);
        row("only pldecal.wad", "PPUPP", SprayCheck::NotReplaced,
            u"Only pldecal.wad is there, so there is nothing to compare it with."_s);
        row("replaced by the game", "PFPPP", SprayCheck::NotReplaced,
            u"tempdecal.wad differs from pldecal.wad: the game has written its own logo over it "
            "(OK or Apply in its Multiplayer options); pldecal.wad still holds mine.wad. Choose "
            "mine.wad and press Change to put it back."_s);
        row("replaced, and pldecal.wad's spray not in the folder", "PFPPP", SprayCheck::NotReplaced,
            u"tempdecal.wad differs from pldecal.wad: the game has written its own logo over it "
            "(OK or Apply in its Multiplayer options). Choose your spray and press Change to put "
            "it back."_s);
        row("no guard", "PPFPP", SprayCheck::Guarded,
            u"tempdecal.wad can be written, so the next OK or Apply in the game's Multiplayer "
            "options replaces it with the game's own logo."_s);
        row("uploads off in config.cfg", "PPPFP", SprayCheck::UploadsAndDownloads,
            u"config.cfg line 2 sets cl_allowupload to \"0\", so your spray is never sent to "
            "servers and no one else sees it. Type cl_allowupload 1 in the game's console."_s);
        row("downloads off at every start", "PPPFP", SprayCheck::UploadsAndDownloads,
            u"userconfig.cfg line 1 sets cl_allowdownload to \"0.0\", so you see no one's sprays "
            "and the game caches none; autoexec.cfg line 3 sets cl_allowupload to \"0\", so your "
            "spray is never sent to servers and no one else sees it. Type cl_allowdownload 1 and "
            "cl_allowupload 1 in the game's console, and delete those lines from userconfig.cfg "
            "and autoexec.cfg, which the game runs at every start."_s);
        row("a config file too long to read whole", "PPPUP", SprayCheck::UploadsAndDownloads,
            u"autoexec.cfg is longer than Tagswap reads (32,767 lines of 1,024 bytes)."_s);
        row("no list of processes", "PPPPU", SprayCheck::GameNotRunning,
            u"The list of processes cannot be read."_s);
        row("a game whose folder is not told", "PPPPU", SprayCheck::GameNotRunning,
            u"hl.exe is running (process 7), but the system does not say from which folder."_s);
    }

    void oneThingWrong()
    {
        QFETCH(QString, fault);
        QFETCH(QString, results);
        QFETCH(int, check);
        QFETCH(QString, detail);
        installMine();
        tagswap::SprayCheckRequest asked = request();
        const QString tempdecal = inMod(u"tempdecal.wad"_s);
        QString error;
        if (fault == u"no mod folder")
            asked.mod = u"cstrike"_s;
        if (fault == u"a path for a mod")
            asked.mod = u"../valve"_s;
        if (fault == u"no spray" || fault == u"only pldecal.wad")
            QVERIFY(tagswap::setWriteGuard(tempdecal, false, &error) && QFile::remove(tempdecal));
        if (fault == u"no spray")
            QVERIFY(QFile::remove(inMod(u"pldecal.wad"_s)));
        if (fault == u"a spray the game refuses") {
            overwrite(tempdecal, spray(1, 256));
            QVERIFY(tryWriteFile(inMod(u"pldecal.wad"_s), spray(1, 256)));
        }
        if (fault.startsWith(u"replaced"))
            overwrite(tempdecal, spray(2));
        if (fault.endsWith(u"not in the folder"))
            QVERIFY(QFile::remove(sprays() + u"/mine.wad"_s));
        if (fault == u"no guard")
            QVERIFY(tagswap::setWriteGuard(tempdecal, false, &error));
        if (fault == u"uploads off in config.cfg")
            QVERIFY(tryWriteFile(inMod(u"config.cfg"_s),
                                 "cl_allowdownload \"1\"\ncl_allowupload \"0\"\n"));
        if (fault == u"downloads off at every start") {
            QVERIFY(tryWriteFile(inMod(u"userconfig.cfg"_s), "cl_allowdownload 0.0\n"));
            QVERIFY(tryWriteFile(inMod(u"autoexec.cfg"_s), "// mine\r\n\r\nCL_ALLOWUPLOAD 0"));
        }
        if (fault.startsWith(u"a config file too long"))
            QVERIFY(tryWriteFile(inMod(u"autoexec.cfg"_s), QByteArray(40000, '\n')));
        if (fault == u"no list of processes")
            asked.runningPrograms = [](const QStringList &) {
                return tagswap::RunningPrograms{{}, u"The list of processes cannot be read."_s};
            };
        if (fault.startsWith(u"a game whose folder"))
            asked.runningPrograms = [](const QStringList &) {
                return tagswap::RunningPrograms{{{7, u"hl.exe"_s, QString()}}, QString()};
            };
        const QStringList before =
            tagswap::testing::snapshot(m_dir->path(), tagswap::testing::FileDetail::Sha1);

        const QList<CheckOutcome> outcomes = tagswap::checkSpray(asked);

        QCOMPARE(resultLetters(outcomes), results);
        const QString said = outcomes.at(check).detail;
        QVERIFY2(said.startsWith(detail), qPrintable(said));
        QCOMPARE(tagswap::testing::snapshot(m_dir->path(), tagswap::testing::FileDetail::Sha1),
                 before);
    }

    void setTheGuardDoesOnlyThat()
    {
        QVERIFY(tryWriteFile(inMod(u"pldecal.wad"_s), spray(1)));
        QVERIFY(tryWriteFile(inMod(u"tempdecal.wad"_s), spray(1)));
        const QStringList before =
            tagswap::testing::snapshot(m_dir->path(), tagswap::testing::FileDetail::Sha1);
        QString error;

        QVERIFY2(tagswap::setSprayGuard(game(), u"valve"_s, &error), qPrintable(error));

        QVERIFY(tagswap::isWriteGuarded(inMod(u"tempdecal.wad"_s)));
        QVERIFY(!tagswap::isWriteGuarded(inMod(u"pldecal.wad"_s)));
        QCOMPARE(tagswap::testing::snapshot(m_dir->path(), tagswap::testing::FileDetail::Sha1),
                 before);
        QVERIFY(!tagswap::setSprayGuard(game(), u".."_s, &error));
        QCOMPARE(error, u".. is not a mod folder name."_s);
    }

    // A real process: the stand-in, copied under a name of the game's programs.
    void runningGame_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("inGameFolder");
        QTest::addColumn<bool>("found");

        QTest::newRow("the game, from the game folder") << kGame << true << true;
        QTest::newRow("Sven Co-op, from the game folder") << kSvenCoop << true << true;
        QTest::newRow("the game, from another folder") << kGame << false << false;
        QTest::newRow("another program, from the game folder")
            << u"hlds_run.exe"_s << true << false;
    }

    void runningGame()
    {
        QFETCH(QString, program);
        QFETCH(bool, inGameFolder);
        QFETCH(bool, found);
        const QString folder = inGameFolder ? game() : m_dir->filePath(u"elsewhere"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + u'/' + program;
        QFile::remove(path); // the game folder's stand-in hl.exe, which does not run
        QVERIFY(QFile::copy(QStringLiteral(TAGSWAP_IDLE_GAME), path));
        QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner));
        QProcess running;
        running.start(path, {});
        QVERIFY2(running.waitForStarted(30000), qPrintable(running.errorString()));
        const auto end = qScopeGuard([&running] {
            running.kill();
            running.waitForFinished(30000);
        });

        const CheckOutcome outcome =
            tagswap::checkSpray(request()).at(int(SprayCheck::GameNotRunning));

        QCOMPARE(outcome.result, found ? CheckResult::Failed : CheckResult::Passed);
        const QString said =
            found ? u"%1 is running from this game folder (process %2). The game reads the spray "
                    "when it starts: quit it and start it again."_s.arg(program)
                        .arg(running.processId())
                  : u"The game is not running from this folder."_s;
        QCOMPARE(outcome.detail, said);
    }
};

QTEST_GUILESS_MAIN(TestSprayCheck)
#include "tst_spray_check.moc"

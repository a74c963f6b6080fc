// "Install in several mods": the mods offered, each with the spray it has now,
// and one spray installed into the checked ones, a failing mod stopping none.

#include "file_guards.h"
#include "recording_platform.h"
#include "replaced_sprays.h"
#include "scratch_folder.h"
#include "scratch_settings.h"
#include "several_mods_window.h"
#include "test_files.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using tagswap::SeveralModsWindow;
using tagswap::testing::isReadOnlyOnDisk;
using tagswap::testing::readFile;
using tagswap::testing::RecordingPlatform;
using tagswap::testing::ScratchFolder;
using tagswap::testing::ScratchSettings;
using tagswap::testing::snapshot;
using tagswap::testing::tryWriteFile;

namespace {

const QByteArray kMine(6296, 'm');
const QByteArray kOther(6296, 'o');
const QByteArray kGamesOwn(6296, 'g');

// "[x] valve: mine.wad" for each row, as shown.
QStringList rowsOf(SeveralModsWindow &window)
{
    QStringList rows;
    const auto *grid =
        qobject_cast<QGridLayout *>(window.findChild<QScrollArea *>()->widget()->layout());
    // Row 0 holds the headings; the last one stretches.
    for (int row = 1; grid->itemAtPosition(row, 0); ++row) {
        const auto *check = qobject_cast<QCheckBox *>(grid->itemAtPosition(row, 0)->widget());
        const auto *now = qobject_cast<QLabel *>(grid->itemAtPosition(row, 1)->widget());
        rows << (check->isChecked() ? u"[x] "_s : u"[ ] "_s) + check->text() + u": "_s
                    + now->text();
    }
    return rows;
}

QCheckBox *rowOf(SeveralModsWindow &window, const QString &name)
{
    for (QCheckBox *check : window.findChildren<QCheckBox *>()) {
        if (check->text() == name)
            return check;
    }
    return nullptr;
}

} // namespace

class TestSeveralModsWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_settings.setUp();
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void init();
    void cleanup();
    void rows_data();
    void rows();
    void installsIntoEachCheckedModWhenOneFails();
    void refusedSprayIsInstalledOnlyWhenAsked();

private:
    QString game() const { return m_folder->filePath(u"Half-Life"_s); }
    QString sven() const { return m_folder->filePath(u"Sven Co-op"_s); }
    QString sprays() const { return m_folder->filePath(u"sprays"_s); }
    std::unique_ptr<SeveralModsWindow> open(const QString &spray, const QString &chosenMod,
                                            const QStringList &otherGames)
    {
        auto window = std::make_unique<SeveralModsWindow>(
            m_platform, SeveralModsWindow::Setup{sprays() + u'/' + spray, sprays(), game(),
                                                 chosenMod, otherGames});
        window->show();
        return window;
    }

    ScratchSettings m_settings;
    std::unique_ptr<ScratchFolder> m_folder;
    RecordingPlatform m_platform;
};

void TestSeveralModsWindow::init()
{
    m_settings.reset();
    m_platform = RecordingPlatform();
    m_folder = std::make_unique<ScratchFolder>();
    for (const QString &mod : {u"valve"_s, u"tfc"_s, u"cstrike"_s, u"maps"_s})
        QVERIFY(QDir().mkpath(game() + u'/' + mod));
    for (const QString &mod : {u"valve"_s, u"tfc"_s, u"cstrike"_s})
        QVERIFY(tryWriteFile(game() + u'/' + mod + u"/liblist.gam"_s, "game \"x\""));
    QVERIFY(tryWriteFile(game() + u"/hl.exe"_s, "MZ"));
    QVERIFY(QDir().mkpath(sven() + u"/svencoop"_s) && QDir().mkpath(sprays()));
    QVERIFY(tryWriteFile(sven() + u"/svencoop/liblist.gam"_s, "game \"Sven Co-op\""));
    QVERIFY(tryWriteFile(sven() + u"/svencoop.exe"_s, "MZ"));
    QVERIFY(tryWriteFile(sprays() + u"/mine.wad"_s, kMine));
    QVERIFY(tryWriteFile(sprays() + u"/other.wad"_s, kOther));
    QVERIFY(tryWriteFile(game() + u"/valve/tempdecal.wad"_s, kMine));
    QVERIFY(tryWriteFile(game() + u"/tfc/pldecal.wad"_s, kGamesOwn));
}

void TestSeveralModsWindow::cleanup()
{
    // Windows removes no read-only file, not even with its folder.
    for (const QString &folder : {game() + u"/valve"_s, game() + u"/tfc"_s, game() + u"/cstrike"_s,
                                  sven() + u"/svencoop"_s})
        QFile::setPermissions(folder + u"/tempdecal.wad"_s, QFile::ReadOwner | QFile::WriteOwner);
    m_folder.reset();
}

void TestSeveralModsWindow::rows_data()
{
    QTest::addColumn<QString>("chosenMod");
    QTest::addColumn<QStringList>("otherGames"); // "game" and "sven" stand for the folders
    QTest::addColumn<QStringList>("rows");

    const QString svenRow = u"[ ] svencoop (Sven Co-op): none"_s;
    QTest::newRow("mods the game can run, then Sven Co-op")
        << u"valve"_s << QStringList{u"sven"_s}
        << QStringList{u"[ ] cstrike: none"_s, u"[ ] tfc: its own spray"_s,
                       u"[x] valve: mine.wad"_s, svenRow};
    QTest::newRow("the chosen mod without liblist.gam")
        << u"maps"_s << QStringList()
        << QStringList{u"[ ] cstrike: none"_s, u"[x] maps: none"_s, u"[ ] tfc: its own spray"_s,
                       u"[ ] valve: mine.wad"_s};
    QTest::newRow("the game directory found through Steam too")
        << u"tfc"_s << QStringList{u"game"_s, u""_s}
        << QStringList{u"[ ] cstrike: none"_s, u"[x] tfc: its own spray"_s,
                       u"[ ] valve: mine.wad"_s};
#ifdef Q_OS_WIN
    // Windows tells no letter case apart in folder names.
    QTest::newRow("the chosen mod in other letters")
        << u"VALVE"_s << QStringList()
        << QStringList{u"[ ] cstrike: none"_s, u"[ ] tfc: its own spray"_s,
                       u"[x] valve: mine.wad"_s};
#endif
    QTest::newRow("a chosen mod that is not there")
        << u"dod"_s << QStringList{u"sven"_s}
        << QStringList{u"[ ] cstrike: none"_s, u"[ ] tfc: its own spray"_s,
                       u"[ ] valve: mine.wad"_s, svenRow};
}

void TestSeveralModsWindow::rows()
{
    QFETCH(QString, chosenMod);
    QFETCH(QStringList, otherGames);
    QFETCH(QStringList, rows);
    for (QString &other : otherGames)
        other = other == u"game" ? game() : other == u"sven" ? sven() : other;
    const auto window = open(u"other.wad"_s, chosenMod, otherGames);

    QCOMPARE(window->windowTitle(), u"Install in several mods"_s);
    QTRY_COMPARE(rowsOf(*window), rows);
    auto *install = window->findChild<QPushButton *>(u"install"_s);
    QCOMPARE(install->text(), u"Install"_s);
    QCOMPARE(install->isEnabled(), chosenMod != u"dod");
}

void TestSeveralModsWindow::installsIntoEachCheckedModWhenOneFails()
{
    // No copy can take the place of a folder: cstrike fails.
    QVERIFY(QDir().mkpath(game() + u"/cstrike/tempdecal.wad"_s));
    const QStringList cstrike =
        snapshot(game() + u"/cstrike"_s, tagswap::testing::FileDetail::Sha1);
    const auto window = open(u"other.wad"_s, u"valve"_s, {sven()});
    QSignalSpy installed(window.get(), &SeveralModsWindow::installed);
    for (const QString &name : {u"tfc"_s, u"cstrike"_s, u"svencoop (Sven Co-op)"_s})
        rowOf(*window, name)->setChecked(true);

    QTest::mouseClick(window->findChild<QPushButton *>(u"install"_s), Qt::LeftButton);

    for (const QString &mod : {game() + u"/valve"_s, game() + u"/tfc"_s, sven() + u"/svencoop"_s}) {
        QCOMPARE(readFile(mod + u"/pldecal.wad"_s), kOther);
        QCOMPARE(readFile(mod + u"/tempdecal.wad"_s), kOther);
        QVERIFY(isReadOnlyOnDisk(mod + u"/tempdecal.wad"_s));
    }
    QCOMPARE(snapshot(game() + u"/cstrike"_s, tagswap::testing::FileDetail::Sha1), cstrike);
    // tfc's own spray is kept; valve's is mine.wad, in the spray folder already.
    const QDir kept(tagswap::replacedSprayFolder());
    QCOMPARE(kept.entryList(QDir::Files).size(), 1);
    QCOMPARE(readFile(kept.filePath(kept.entryList(QDir::Files).constFirst())), kGamesOwn);

    QCOMPARE(m_platform.messages.size(), 1);
    const RecordingPlatform::Message &summary = m_platform.messages.constFirst();
    QCOMPARE(summary.title, u"Install in several mods"_s);
    QCOMPARE(summary.style, tagswap::MsgBoxStyle::Exclamation);
    const QStringList lines = summary.text.split(u"\r\n"_s);
    QCOMPARE(lines.mid(0, 2),
             (QStringList{u"other.wad is installed in tfc, valve, svencoop (Sven Co-op)."_s,
                          u"It was not installed in cstrike:"_s}));
    QVERIFY2(
        lines.value(2).contains(QDir::toNativeSeparators(game() + u"/cstrike/tempdecal.wad"_s)),
        qPrintable(summary.text));
    QCOMPARE(installed.size(), 1);
    QTRY_COMPARE(rowsOf(*window), (QStringList{u"[x] cstrike: none"_s, u"[x] tfc: other.wad"_s,
                                               u"[x] valve: other.wad"_s,
                                               u"[x] svencoop (Sven Co-op): other.wad"_s}));
}

void TestSeveralModsWindow::refusedSprayIsInstalledOnlyWhenAsked()
{
    QVERIFY(tryWriteFile(sprays() + u"/cut.wad"_s, "WAD3 cut short"));
    m_platform.answers = {tagswap::Answer::No};
    const auto window = open(u"cut.wad"_s, u"cstrike"_s, {});

    QTest::mouseClick(window->findChild<QPushButton *>(u"install"_s), Qt::LeftButton);

    QCOMPARE(m_platform.questions.size(), 1);
    QVERIFY2(m_platform.questions.constFirst().text.startsWith(
                 u"cut.wad is not a spray the game can show: "_s),
             qPrintable(m_platform.questions.constFirst().text));
    QVERIFY(m_platform.messages.isEmpty());
    QVERIFY(!QFile::exists(game() + u"/cstrike/pldecal.wad"_s));
}

QTEST_MAIN(TestSeveralModsWindow)
#include "tst_several_mods_window.moc"

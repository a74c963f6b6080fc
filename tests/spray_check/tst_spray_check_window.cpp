// The "Check the spray in game" window: a row per check with its mark and
// sentence, Set the guard where tempdecal.wad lacks it, Check again.

#include "decal_file.h"
#include "recording_platform.h"
#include "spray_check_window.h"
#include "spray_install.h"
#include "test_files.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using tagswap::SprayCheckWindow;
using tagswap::testing::RecordingPlatform;
using tagswap::testing::tryWriteFile;

namespace {

QByteArray spray()
{
    decal::Decal d;
    d.width = d.height = 32;
    d.palette[255] = decal::kTransparentKey;
    d.pixels = QByteArray(qsizetype(32) * 32, '\x01');
    return decal::encode(d);
}

QString markOf(const QWidget &window, const QString &key)
{
    return window.findChild<QLabel *>(u"mark-"_s + key)->accessibleName();
}

QString detailOf(const QWidget &window, const QString &key)
{
    return window.findChild<QLabel *>(u"detail-"_s + key)->text();
}

} // namespace

class TestSprayCheckWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingPlatform m_platform;

    QString game() const { return m_dir->filePath(u"game"_s); }
    QString tempdecal() const { return game() + u"/valve/tempdecal.wad"_s; }

    std::unique_ptr<SprayCheckWindow> open(const QString &gameDirectory)
    {
        return std::unique_ptr<SprayCheckWindow>(
            tagswap::showSprayCheck(m_platform, gameDirectory, u"valve"_s, m_dir->path(), nullptr));
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        m_platform = RecordingPlatform();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir().mkpath(game() + u"/valve"_s));
        QVERIFY(tryWriteFile(game() + u"/valve/pldecal.wad"_s, spray()));
        QVERIFY(tryWriteFile(tempdecal(), spray()));
    }

    void cleanup()
    {
        QString ignored;
        tagswap::setWriteGuard(tempdecal(), false, &ignored);
        m_dir.reset();
    }

    void withoutAGameSaysWhereToSetIt()
    {
        const auto window = open(QString());

        QCOMPARE(window->windowTitle(), u"Check the spray in game"_s);
        QCOMPARE(window->findChild<QLabel *>(u"intro"_s)->text(),
                 u"Tagswap does not know where the game is: set the Half-Life directory in "
                 "Settings first."_s);
        QVERIFY(!window->findChild<QLabel *>(u"detail-installed"_s)->isVisible());
        QVERIFY(!window->findChild<QPushButton *>(u"checkAgain"_s)->isVisible());
    }

    void setTheGuardThenItPasses()
    {
        const auto window = open(game());
        QCOMPARE(markOf(*window, u"installed"_s), u"Passed"_s);
        QCOMPARE(markOf(*window, u"guarded"_s), u"Failed"_s);
        auto *setGuard = window->findChild<QPushButton *>(u"setGuard"_s);
        QVERIFY(setGuard->isVisible());
        QCOMPARE(setGuard->text(), u"Set the guard"_s);

        setGuard->click();

        QVERIFY(tagswap::isWriteGuarded(tempdecal()));
        QCOMPARE(markOf(*window, u"guarded"_s), u"Passed"_s);
        QVERIFY(!setGuard->isVisible());
        QVERIFY(m_platform.messages.isEmpty());
    }

    void checkAgainReadsAnew()
    {
        const auto window = open(game());
        QCOMPARE(markOf(*window, u"uploads-and-downloads"_s), u"Passed"_s);
        QVERIFY(tryWriteFile(game() + u"/valve/autoexec.cfg"_s, "cl_allowdownload 0"));
        QVERIFY(QFile::remove(game() + u"/valve/pldecal.wad"_s));

        window->findChild<QPushButton *>(u"checkAgain"_s)->click();

        QCOMPARE(markOf(*window, u"uploads-and-downloads"_s), u"Failed"_s);
        QVERIFY(detailOf(*window, u"uploads-and-downloads"_s)
                    .startsWith(u"autoexec.cfg line 1 sets cl_allowdownload to \"0\""_s));
        QCOMPARE(markOf(*window, u"not-replaced"_s), u"Passed"_s);
        QCOMPARE(detailOf(*window, u"not-replaced"_s),
                 u"Only tempdecal.wad is there, so there is nothing to compare it with."_s);
    }

    // The file went between the check and the press: said, and the row shows why.
    void aGuardThatCannotBeSetIsSaid()
    {
        const auto window = open(game());
        QVERIFY(QFile::remove(tempdecal()));

        window->findChild<QPushButton *>(u"setGuard"_s)->click();

        QCOMPARE(m_platform.messages.size(), 1);
        QVERIFY2(m_platform.messages[0].text.startsWith(
                     u"Could not make %1 read-only.\r\nReason: "_s.arg(
                         QDir::toNativeSeparators(tempdecal()))),
                 qPrintable(m_platform.messages[0].text));
        QCOMPARE(m_platform.messages[0].owner, window.get());
        QCOMPARE(markOf(*window, u"guarded"_s), u"Could not be checked"_s);
    }
};

QTEST_MAIN(TestSprayCheckWindow)
#include "tst_spray_check_window.moc"

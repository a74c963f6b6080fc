// The main window as it opens: its design, the spray list, the mod list that
// Form_Load fills, the first-run notice and which button the Enter key presses.

#include "file_list_box.h"
#include "forms.h"
#include "frm_main.h"
#include "recording_platform.h"
#include "scratch_folder.h"
#include "scratch_settings.h"
#include "settings_store.h"
#include "test_files.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;
using tagswap::frmMain;
using tagswap::MsgBoxStyle;
using tagswap::SettingsStore;
using tagswap::testing::focusedName;
using tagswap::testing::openForm;
using tagswap::testing::RecordingPlatform;
using tagswap::testing::ScratchFolder;
using tagswap::testing::ScratchSettings;
using tagswap::testing::tryWriteFile;
namespace settings = tagswap::settings;

namespace {

QStringList listedNames(const frmMain &window)
{
    return window.flbFiles->names();
}

QStringList modEntries(const frmMain &window)
{
    QStringList entries;
    for (int i = 0; i < window.cmbMod->count(); ++i)
        entries.append(window.cmbMod->itemText(i));
    return entries;
}

const QString noticeText =
    u"This appears to be your first time running Tagswap.\r\n"
    "It is very important that you click on \"Settings\" to set information needed for this "
    "program to operate as intended.\r\n"
    "\r\n"
    "If you ever run across a bug, please check \"About\" to make sure I don't know about it, and "
    "to get my e-mail address. If it's not mentioned in there, please e-mail me about it. The same "
    "thing goes for if you have an idea for this program that you think I should use.\r\n"
    "Please note that you must NOT go into the \"Player Customize\" menu in Half-Life. Doing that "
    "will overwrite the color spray.\r\n"
    "\r\n"
    "This message will only appear once."_s;

// Makes one entry of the working folder from a line of a test table: "name/"
// a folder, "name|" a pipe, "name -> target" a link and anything else a file.
bool makeEntry(const QString &entry)
{
    if (entry.endsWith(u'/'))
        return QDir().mkpath(entry);
    if (entry.endsWith(u'|')) {
#ifdef Q_OS_UNIX
        return ::mkfifo(QFile::encodeName(entry.chopped(1)).constData(), 0644) == 0;
#else
        return false;
#endif
    }
    if (const qsizetype arrow = entry.indexOf(u" -> "_s); arrow >= 0)
        return QFile::link(entry.mid(arrow + 4), entry.left(arrow));
    return tryWriteFile(entry, "data");
}

// Whether anything but the list's background shows in the middle of its height,
// below the few rows a test lists.
bool drawsInTheMiddle(QAbstractItemView *list)
{
    const QImage shown = list->viewport()->grab().toImage();
    const QRgb background = list->palette().color(QPalette::Base).rgb();
    const int middle = shown.height() / 2;
    for (int y = middle - 10; y < middle + 10; ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (shown.pixel(x, y) != background)
                return true;
        }
    }
    return false;
}

} // namespace

class FrmMainTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowDesign();
    void controlPlacement_data();
    void controlPlacement();
    void focusStartsOnSprayListAndFollowsTabOrder();
    void sprayListShowsWadFilesInNaturalOrder();
    void sprayList_data();
    void sprayList();
    void modList_data();
    void modList();
    void firstRunNotice_data();
    void firstRunNotice();
    void noticeComesAgainWhenItCannotBeRecorded();
    void keys_data();
    void keys();

private:
    std::unique_ptr<frmMain> openWindow()
    {
        return openForm<frmMain>(m_platform, tagswap::CommandLine{});
    }

    ScratchSettings m_settings;
    std::unique_ptr<ScratchFolder> m_work;
    RecordingPlatform m_platform;
};

void FrmMainTest::initTestCase()
{
    m_settings.setUp();
    QApplication::setQuitOnLastWindowClosed(false);
}

void FrmMainTest::init()
{
    m_settings.reset();
    m_work = std::make_unique<ScratchFolder>();
    QVERIFY(m_work->isValid());
    QVERIFY(QDir::setCurrent(m_work->path()));
    m_platform = RecordingPlatform();
}

void FrmMainTest::cleanup()
{
    m_work.reset();
}

void FrmMainTest::windowDesign()
{
    QVERIFY(SettingsStore::save(settings::BeenRun, u"True"_s));
    const auto window = openWindow();

    QCOMPARE(window->windowTitle(), u"Tagswap Beta"_s);
    QCOMPARE(window->minimumSize(), QSize(209, 231));
    QCOMPARE(window->maximumSize(), QSize(209, 231));
    QCOMPARE(window->size(), QSize(209, 231));

    const Qt::WindowFlags flags = window->windowFlags();
    QCOMPARE(window->windowType(), Qt::Window);
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

    const std::pair<QWidget *, QString> named[] = {
        {window->flbFiles, u"flbFiles"_s},       {window->cmdChange, u"cmdChange"_s},
        {window->cmdSettings, u"cmdSettings"_s}, {window->cmdAbout, u"cmdAbout"_s},
        {window->cmdHelp, u"cmdHelp"_s},         {window->cmdExit, u"cmdExit"_s},
        {window->cmbMod, u"cmbMod"_s},           {window->cmdRefresh, u"cmdRefresh"_s},
    };
    for (const auto &[control, name] : named)
        QCOMPARE(control->objectName(), name);

    QVERIFY(window->cmdChange->isDefault());
    QCOMPARE(window->cmdChange->font().weight(), QFont::Bold);
    for (QPushButton *other : {window->cmdSettings, window->cmdAbout, window->cmdHelp,
                               window->cmdExit, window->cmdRefresh}) {
        QVERIFY2(!other->isDefault(), qPrintable(other->objectName()));
        QVERIFY2(!other->font().bold(), qPrintable(other->objectName()));
    }
    QVERIFY(!window->cmbMod->isEditable());
}

void FrmMainTest::controlPlacement_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption"); // empty for controls without one

    QTest::newRow("flbFiles") << u"flbFiles"_s << QRect(8, 8, 121, 214) << QString();
    QTest::newRow("cmdChange") << u"cmdChange"_s << QRect(136, 8, 65, 33) << u"Change"_s;
    QTest::newRow("cmdRefresh") << u"cmdRefresh"_s << QRect(136, 44, 65, 21) << u"Refresh"_s;
    QTest::newRow("cmbMod") << u"cmbMod"_s << QRect(136, 68, 65, 21) << QString();
    QTest::newRow("cmdSettings") << u"cmdSettings"_s << QRect(136, 104, 65, 21) << u"Settings"_s;
    QTest::newRow("cmdAbout") << u"cmdAbout"_s << QRect(136, 136, 65, 21) << u"About"_s;
    QTest::newRow("cmdHelp") << u"cmdHelp"_s << QRect(136, 168, 65, 21) << u"Help"_s;
    QTest::newRow("cmdExit") << u"cmdExit"_s << QRect(136, 200, 65, 21) << u"Exit"_s;
}

void FrmMainTest::controlPlacement()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QVERIFY(SettingsStore::save(settings::BeenRun, u"True"_s));
    const auto window = openWindow();

    QWidget *control = window->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), static_cast<QWidget *>(window.get()));
    QCOMPARE(control->geometry(), geometry);
    if (caption.isEmpty())
        return;
    auto *button = qobject_cast<QPushButton *>(control);
    QVERIFY(button);
    QCOMPARE(button->text(), caption);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(button);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), caption);
}

void FrmMainTest::focusStartsOnSprayListAndFollowsTabOrder()
{
    QVERIFY(tryWriteFile(u"spray.wad"_s, "x"));
    QVERIFY(SettingsStore::save(settings::BeenRun, u"True"_s));
    const auto window = openWindow();
    QCOMPARE(focusedName(), u"flbFiles"_s);

    // Refresh and the mod list come last although they stand higher up.
    const QStringList order{u"cmdChange"_s, u"cmdSettings"_s, u"cmdAbout"_s,   u"cmdHelp"_s,
                            u"cmdExit"_s,   u"cmbMod"_s,      u"cmdRefresh"_s, u"flbFiles"_s};
    for (const QString &next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusedName(), next);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(focusedName(), u"cmdRefresh"_s);
    QVERIFY(m_platform.messages.isEmpty());
}

void FrmMainTest::sprayListShowsWadFilesInNaturalOrder()
{
    for (const char *name : {"s10.wad", "c.Wad", "B.WAD", "s2.wad", "a.wad", "x.txt", "wad",
                             "nowad", "e.wad.bak", "f.txt.wad_"})
        QVERIFY(tryWriteFile(QString::fromLatin1(name), "data"));
    QVERIFY(QDir().mkdir(u"d.wad"_s));
    QVERIFY(SettingsStore::save(settings::BeenRun, u"True"_s));

    const auto window = openWindow();
    QCOMPARE(listedNames(*window),
             (QStringList{u"a.wad"_s, u"B.WAD"_s, u"c.Wad"_s, u"s2.wad"_s, u"s10.wad"_s}));
    // The list has the focus but nothing may be chosen until the player picks a spray.
    QVERIFY(window->flbFiles->hasFocus());
    QVERIFY(window->flbFiles->selectionModel()->selectedIndexes().isEmpty());
    QCOMPARE(window->flbFiles->fileName(), QString());

    const QModelIndex item = window->flbFiles->indexOf(u"s10.wad"_s);
    QVERIFY(item.isValid());
    QTest::mouseClick(window->flbFiles->viewport(), Qt::LeftButton, {},
                      window->flbFiles->visualRect(item).center());
    QCOMPARE(window->flbFiles->fileName(), u"s10.wad"_s);
}

void FrmMainTest::sprayList_data()
{
    QTest::addColumn<QStringList>("entries"); // as makeEntry() takes them
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("leading zeros skipped") << QStringList{u"s10.wad"_s, u"s002.wad"_s, u"s1.wad"_s}
                                           << QStringList{u"s1.wad"_s, u"s002.wad"_s, u"s10.wad"_s};
    QTest::newRow("same number, more zeros first")
        << QStringList{u"s3.wad"_s, u"s2.wad"_s, u"s02.wad"_s, u"s002.wad"_s}
        << QStringList{u"s002.wad"_s, u"s02.wad"_s, u"s2.wad"_s, u"s3.wad"_s};
#ifndef Q_OS_WIN
    // A Windows folder holds no two names that differ only in letter case, and
    // Qt makes shortcut files, not links, there (real ones need a privilege).
    QTest::newRow("names differing only in case")
        << QStringList{u"b.wad"_s, u"B.wad"_s, u"a.WAD"_s, u"A.wad"_s}
        << QStringList{u"A.wad"_s, u"a.WAD"_s, u"B.wad"_s, u"b.wad"_s};
    QTest::newRow("link to a spray") << QStringList{u"s.wad"_s, u"link.wad -> s.wad"_s}
                                     << QStringList{u"link.wad"_s, u"s.wad"_s};
    QTest::newRow("link to a file elsewhere")
        << QStringList{u"art/"_s, u"art/logo.bin"_s, u"mine.wad -> art/logo.bin"_s}
        << QStringList{u"mine.wad"_s};
    QTest::newRow("dangling link")
        << QStringList{u"s.wad"_s, u"gone.wad -> nowhere.wad"_s} << QStringList{u"s.wad"_s};
    QTest::newRow("link to a folder")
        << QStringList{u"s.wad"_s, u"sub/"_s, u"sub.wad -> sub"_s} << QStringList{u"s.wad"_s};
#endif
    QTest::newRow("hidden file") << QStringList{u"x.wad"_s, u".x.wad"_s, u".wad"_s}
                                 << QStringList{u"x.wad"_s};
#ifdef Q_OS_UNIX
    // Reading one as a spray would wait forever.
    QTest::newRow("pipe") << QStringList{u"s.wad"_s, u"p.wad|"_s} << QStringList{u"s.wad"_s};
    QTest::newRow("link to a pipe")
        << QStringList{u"s.wad"_s, u"p|"_s, u"q.wad -> p"_s} << QStringList{u"s.wad"_s};
#endif
    QTest::newRow("folder") << QStringList{u"s.wad"_s, u"f.wad/"_s} << QStringList{u"s.wad"_s};
    // The empty list says how sprays get in, drawn over it, not as a row.
    QTest::newRow("no sprays") << QStringList{u"notes.txt"_s, u"f.wad/"_s} << QStringList{};
}

void FrmMainTest::sprayList()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, listed);

    for (const QString &entry : std::as_const(entries))
        QVERIFY2(makeEntry(entry), qPrintable(entry));
    QVERIFY(SettingsStore::save(settings::BeenRun, u"True"_s));

    const auto window = openWindow();
    QCOMPARE(listedNames(*window), listed);
    QCOMPARE(window->flbFiles->model()->rowCount(), listed.size());
    QCOMPARE(drawsInTheMiddle(window->flbFiles), listed.isEmpty());
}

void FrmMainTest::modList_data()
{
    QTest::addColumn<QString>("source"); // "none", "file" or "folder"
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("selected");

    const QStringList valveTfc{u"valve"_s, u"tfc"_s};
    QTest::newRow("no mods.txt") << u"none"_s << QByteArray() << QStringList{u"valve"_s} << 0;
    QTest::newRow("CR LF after every line")
        << u"file"_s << QByteArray("valve\r\ntfc\r\n") << valveTfc << 0;
    QTest::newRow("last line without line end")
        << u"file"_s << QByteArray("valve\r\ntfc") << valveTfc << 0;
    QTest::newRow("empty lines, blanks and duplicates kept")
        << u"file"_s << QByteArray("valve\r\n\r\n tfc \r\nvalve\r\n")
        << QStringList{u"valve"_s, QString(), u" tfc "_s, u"valve"_s} << 0;
    QTest::newRow("empty line first")
        << u"file"_s << QByteArray("\r\nvalve\r\n") << QStringList{QString(), u"valve"_s} << 0;
    QTest::newRow("empty mods.txt") << u"file"_s << QByteArray() << QStringList() << -1;
    QTest::newRow("mods.txt is a folder")
        << u"folder"_s << QByteArray() << QStringList{u"valve"_s} << 0;
}

void FrmMainTest::modList()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, contents);
    QFETCH(QStringList, entries);
    QFETCH(int, selected);
    if (source == u"file")
        QVERIFY(tryWriteFile(u"mods.txt"_s, contents));
    else if (source == u"folder")
        QVERIFY(QDir().mkdir(u"mods.txt"_s));
    QVERIFY(SettingsStore::save(settings::BeenRun, u"True"_s));

    const auto window = openWindow();
    QCOMPARE(modEntries(*window), entries);
    QCOMPARE(window->cmbMod->currentIndex(), selected);
    QCOMPARE(window->cmbMod->currentText(), entries.value(selected));
    QVERIFY(m_platform.messages.isEmpty());
}

void FrmMainTest::firstRunNotice_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("beenRun");
    QTest::addColumn<bool>("noticeShown");

    QTest::newRow("fresh account") << false << QString() << true;
    QTest::newRow("stored empty") << true << QString() << true;
    QTest::newRow("already shown") << true << u"True"_s << false;
    QTest::newRow("other letter case") << true << u"true"_s << true;
    QTest::newRow("trailing blank") << true << u"True "_s << true;
}

void FrmMainTest::firstRunNotice()
{
    QFETCH(bool, stored);
    QFETCH(QString, beenRun);
    QFETCH(bool, noticeShown);
    if (stored)
        QVERIFY(SettingsStore::save(settings::BeenRun, beenRun));

    frmMain window(m_platform, tagswap::CommandLine{});
    bool visibleDuringNotice = true;
    QString recordedDuringNotice;
    m_platform.onMessage = [&](const RecordingPlatform::Message &) {
        visibleDuringNotice = window.isVisible();
        recordedDuringNotice = SettingsStore::read(settings::BeenRun);
    };
    window.Form_Load();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(SettingsStore::read(settings::BeenRun), u"True"_s);
    if (!noticeShown) {
        QVERIFY(m_platform.messages.isEmpty());
        return;
    }
    QCOMPARE(m_platform.messages.size(), 1);
    const RecordingPlatform::Message &notice = m_platform.messages.first();
    QCOMPARE(notice.text, noticeText);
    QCOMPARE(notice.title, u"Information"_s);
    QCOMPARE(notice.style, MsgBoxStyle::Information);
    // Shown before the window, and recorded only once the player has seen it.
    QVERIFY(!visibleDuringNotice);
    QCOMPARE(recordedDuringNotice, stored ? beenRun : QString());

    frmMain nextRun(m_platform, tagswap::CommandLine{});
    nextRun.Form_Load();
    QCOMPARE(m_platform.messages.size(), 1);
}

void FrmMainTest::noticeComesAgainWhenItCannotBeRecorded()
{
    // Nothing can be stored, not even by an administrator or root.
    QVERIFY(m_settings.blockSaves());
    for (int run = 1; run <= 2; ++run) {
        frmMain window(m_platform, tagswap::CommandLine{});
        window.Form_Load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(m_platform.messages.size(), run);
        QCOMPARE(m_platform.messages.last().text, noticeText);
        QCOMPARE(modEntries(window), QStringList{u"valve"_s});
    }
    QCOMPARE(m_platform.endCount, 0);
}

void FrmMainTest::keys_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("titles"); // of the boxes the key brings up

    const QStringList change{u"Tagswap"_s};
    QTest::newRow("Return on the spray list") << u"flbFiles"_s << int(Qt::Key_Return) << change;
    QTest::newRow("keypad Enter on the spray list")
        << u"flbFiles"_s << int(Qt::Key_Enter) << change;
    QTest::newRow("Return on the closed mod list") << u"cmbMod"_s << int(Qt::Key_Return) << change;
    QTest::newRow("Return on Change presses it once")
        << u"cmdChange"_s << int(Qt::Key_Return) << change;
    QTest::newRow("Return on Help")
        << u"cmdHelp"_s << int(Qt::Key_Return) << QStringList{u"Help"_s};
    QTest::newRow("Escape on the spray list")
        << u"flbFiles"_s << int(Qt::Key_Escape) << QStringList();
    QTest::newRow("Escape on the mod list") << u"cmbMod"_s << int(Qt::Key_Escape) << QStringList();
    QTest::newRow("Escape on Change") << u"cmdChange"_s << int(Qt::Key_Escape) << QStringList();
}

void FrmMainTest::keys()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(QStringList, titles);
    QVERIFY(tryWriteFile(u"spray.wad"_s, "x"));
    QVERIFY(SettingsStore::save(settings::BeenRun, u"True"_s));
    const auto window = openWindow();

    QWidget *target = window->findChild<QWidget *>(focus);
    QVERIFY(target);
    target->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(target->hasFocus());
    QTest::keyClick(target, Qt::Key(key));

    QStringList shown;
    for (const RecordingPlatform::Message &message : std::as_const(m_platform.messages))
        shown.append(message.title);
    QCOMPARE(shown, titles);
    if (titles == QStringList{u"Tagswap"_s})
        QCOMPARE(m_platform.messages.first().text, u"Please choose a spraypaint."_s);
    QVERIFY(m_platform.starts.isEmpty());
    QCOMPARE(m_platform.endCount, 0);
    QVERIFY(window->isVisible());
}

QTEST_MAIN(FrmMainTest)
#include "tst_frm_main.moc"

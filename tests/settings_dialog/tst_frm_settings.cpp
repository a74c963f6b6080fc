// The settings dialog: its design, what it shows when loaded, the "..." button
// and the game folder check behind OK.

#include "forms.h"
#include "frm_settings.h"
#include "recording_platform.h"
#include "scratch_folder.h"
#include "scratch_settings.h"
#include "settings_store.h"
#include "test_files.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

#include <memory>

using namespace Qt::StringLiterals;
using tagswap::frmSettings;
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

const QString designText = u"C:\\SIERRA\\Half-Life"_s;

#ifdef Q_OS_WIN
// Where Steam keeps its folder on Windows.
QSettings steamRegistry()
{
    return QSettings(u"HKEY_CURRENT_USER\\Software\\Valve\\Steam"_s, QSettings::NativeFormat);
}
#endif

QString rejection(const QString &directory)
{
#ifdef Q_OS_WIN
    const QString reason = u"Reason: hl.exe does not reside in "_s;
#else
    const QString reason = u"Reason: neither hl.exe nor hl_linux resides in "_s;
#endif
    return u"Error: Not a valid Half-Life directory.\r\n"_s + reason + directory
           + u"\r\n"
             "\r\n"
             "Please check your typing, or make sure that is the correct Half-Life directory. If "
             "that is your Half-Life directory for sure, and Half-Life is open, close it and try "
             "again."_s;
}

} // namespace

class FrmSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialogDesign();
    void controlPlacement_data();
    void controlPlacement();
    void focusStartsInTextBoxAndFollowsTabOrder();
    void enterAndEscapeDoNothing();
    void load_data();
    void load();
    void browseOnlyExplains();
    void ok_data();
    void ok();
    void okKeepsDialogOpenWhenDirectoryCannotBeStored();

private:
    // "@" stands for the case's own folder, which is also the working directory,
    // as the player would type it.
    QString inRoot(QString path) const
    {
        return path.replace(u'@', QDir::toNativeSeparators(m_root->path()));
    }
    std::unique_ptr<frmSettings> openDialog()
    {
        return openForm<frmSettings>(m_platform, m_owner.get());
    }

    ScratchSettings m_settings;
    std::unique_ptr<ScratchFolder> m_root;
    std::unique_ptr<QWidget> m_owner;
    RecordingPlatform m_platform;
};

void FrmSettingsTest::initTestCase()
{
    m_settings.setUp();
    QApplication::setQuitOnLastWindowClosed(false);
}

void FrmSettingsTest::init()
{
    m_settings.reset();
    m_platform = RecordingPlatform();
    m_root = std::make_unique<ScratchFolder>();
    QVERIFY(m_root->isValid());
    QVERIFY(QDir::setCurrent(m_root->path()));

    const QDir root(m_root->path());
    for (const QString &folder :
         {u"game"_s, u"nogame"_s, u"blank "_s, u"empty"_s, u"exefolder/hl.exe"_s, u"rel"_s})
        QVERIFY(root.mkpath(folder));
    QVERIFY(tryWriteFile(root.filePath(u"game/hl.exe"_s), "MZ"));
    QVERIFY(tryWriteFile(root.filePath(u"blank /hl.exe"_s), "MZ"));
    QVERIFY(tryWriteFile(root.filePath(u"empty/hl.exe"_s), QByteArray()));
    QVERIFY(tryWriteFile(root.filePath(u"rel/hl.exe"_s), "MZ"));
    QVERIFY(root.mkpath(u"native"_s) && root.mkpath(u"script"_s) && root.mkpath(u"home"_s));
    QVERIFY(tryWriteFile(root.filePath(u"native/hl_linux"_s), "ELF"));
    QVERIFY(tryWriteFile(root.filePath(u"script/hl.sh"_s), "#!/bin/sh"));
    for (const QString &folder : {u"sven"_s, u"sven native"_s, u"sven script"_s})
        QVERIFY(root.mkpath(folder));
    QVERIFY(tryWriteFile(root.filePath(u"sven/svencoop.exe"_s), "MZ"));
    QVERIFY(tryWriteFile(root.filePath(u"sven native/svencoop_linux"_s), "ELF"));
    QVERIFY(tryWriteFile(root.filePath(u"sven script/svencoop.sh"_s), "#!/bin/sh"));
    // The Steam search looks in the home folder; this one is the test's own.
    qputenv("HOME", QFile::encodeName(root.filePath(u"home"_s)));
#ifdef Q_OS_WIN
    steamRegistry().remove(u"SteamPath"_s);
#endif

    // Away from the screen's corner, so that a dialog placed by its owner would show it.
    m_owner = std::make_unique<QWidget>();
    m_owner->setGeometry(300, 200, 209, 231);
    m_owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
}

void FrmSettingsTest::cleanup()
{
    m_owner.reset();
    m_root.reset();
}

void FrmSettingsTest::dialogDesign()
{
    const auto dialog = openDialog();

    QCOMPARE(dialog->windowTitle(), u"Settings"_s);
    QCOMPARE(dialog->minimumSize(), QSize(257, 73));
    QCOMPARE(dialog->maximumSize(), QSize(257, 73));
    QCOMPARE(dialog->size(), QSize(257, 73));
    QCOMPARE(dialog->windowType(), Qt::Tool);
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(dialog->isModal());

    // At the screen's corner wherever the owner stands.
    const QPoint corner = dialog->screen()->geometry().topLeft();
    QCOMPARE(dialog->pos(), corner);
    QCOMPARE(dialog->frameGeometry().topLeft(), corner);

    QCOMPARE(dialog->txtHalfLife->objectName(), u"txtHalfLife"_s);
    QCOMPARE(dialog->lblHalfLife->objectName(), u"lblHalfLife"_s);
    QCOMPARE(dialog->cmdBrowse->objectName(), u"cmdBrowse"_s);
    QCOMPARE(dialog->cmdOk->objectName(), u"cmdOk"_s);
    QCOMPARE(dialog->lblHalfLife->text(), u"Half-Life directory:"_s);
    QCOMPARE(dialog->cmdBrowse->text(), u"..."_s);
    QCOMPARE(dialog->cmdOk->text(), u"OK"_s);
    for (const QPushButton *button : {dialog->cmdBrowse, dialog->cmdOk}) {
        QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
        QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
    }
}

void FrmSettingsTest::controlPlacement_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");

    QTest::newRow("lblHalfLife") << u"lblHalfLife"_s << QRect(8, 8, 89, 17);
    QTest::newRow("txtHalfLife") << u"txtHalfLife"_s << QRect(8, 24, 217, 19);
    QTest::newRow("cmdBrowse") << u"cmdBrowse"_s << QRect(230, 24, 19, 19);
    QTest::newRow("cmdOk") << u"cmdOk"_s << QRect(192, 48, 57, 17);
}

void FrmSettingsTest::controlPlacement()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    const auto dialog = openDialog();

    const QWidget *control = dialog->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
}

void FrmSettingsTest::focusStartsInTextBoxAndFollowsTabOrder()
{
    const auto dialog = openDialog();
    QCOMPARE(focusedName(), u"txtHalfLife"_s);
    QCOMPARE(dialog->lblHalfLife->focusPolicy(), Qt::NoFocus);

    for (const QString &next : {u"cmdBrowse"_s, u"cmdOk"_s, u"txtHalfLife"_s}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusedName(), next);
    }
}

void FrmSettingsTest::enterAndEscapeDoNothing()
{
    const auto dialog = openDialog();
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    // A folder OK would accept, so a pressed OK could not go unnoticed.
    dialog->txtHalfLife->setText(m_root->filePath(u"game"_s));

    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        QTest::keyClick(dialog->txtHalfLife, key);

    QVERIFY(dialog->isVisible());
    QCOMPARE(finished.count(), 0);
    QVERIFY(m_platform.messages.isEmpty());
    QVERIFY(!m_settings.storeExists());
    QCOMPARE(dialog->txtHalfLife->text(), m_root->filePath(u"game"_s));
}

void FrmSettingsTest::load_data()
{
    QTest::addColumn<bool>("store");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("steamGames"); // the games the player's Steam has

    // Steam's folder is shown as the player would type it.
    const QString steam =
        QDir::toNativeSeparators(u"@/home/.local/share/Steam/steamapps/common/Half-Life"_s);
    const QString svenCoop =
        QDir::toNativeSeparators(u"@/home/.local/share/Steam/steamapps/common/Sven Co-op"_s);
    const QStringList none;
    const QStringList halfLife{u"Half-Life"_s};
    QTest::newRow("nothing stored") << false << QString() << designText << none;
    QTest::newRow("stored empty") << true << QString() << designText << none;
    QTest::newRow("stored folder")
        << true << u"/games/Half-Life"_s << u"/games/Half-Life"_s << none;
    QTest::newRow("trailing slash kept")
        << true << u"/games/Half-Life/"_s << u"/games/Half-Life/"_s << none;
    QTest::newRow("blanks kept") << true << u" /games/Half Life "_s << u" /games/Half Life "_s
                                 << none;
    QTest::newRow("nothing stored, found in Steam") << false << QString() << steam << halfLife;
    QTest::newRow("stored empty, found in Steam") << true << QString() << steam << halfLife;
    QTest::newRow("stored folder wins over Steam")
        << true << u"/games/Half-Life"_s << u"/games/Half-Life"_s << halfLife;
    QTest::newRow("Sven Co-op only in Steam")
        << false << QString() << svenCoop << QStringList{u"Sven Co-op"_s};
    QTest::newRow("Half-Life wins over Sven Co-op")
        << false << QString() << steam << QStringList{u"Sven Co-op"_s, u"Half-Life"_s};
}

void FrmSettingsTest::load()
{
    QFETCH(bool, store);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QStringList, steamGames);
    if (store)
        QVERIFY(SettingsStore::save(settings::HLDir, stored));
    const QString steam = m_root->filePath(u"home/.local/share/Steam/steamapps"_s);
#ifdef Q_OS_WIN
    const QString exe = u".exe"_s;
    // Steam's own way of writing its folder: forward slashes.
    if (!steamGames.isEmpty())
        steamRegistry().setValue(u"SteamPath"_s, m_root->filePath(u"home/.local/share/Steam"_s));
#else
    const QString exe = u"_linux"_s;
#endif
    for (const QString &game : std::as_const(steamGames)) {
        const bool halfLife = game == u"Half-Life";
        QVERIFY(QDir().mkpath(steam + u"/common/"_s + game));
        QVERIFY(tryWriteFile(
            steam + (halfLife ? u"/appmanifest_70.acf"_s : u"/appmanifest_225840.acf"_s),
            R"("AppState" { "installdir" ")" + game.toUtf8() + "\" }"));
        QVERIFY(tryWriteFile(
            steam + u"/common/"_s + game + (halfLife ? u"/hl"_s : u"/svencoop"_s) + exe, "MZ"));
    }

    const auto dialog = openDialog();
    QCOMPARE(dialog->txtHalfLife->text(), inRoot(shown));
    QVERIFY(m_platform.messages.isEmpty());
}

void FrmSettingsTest::browseOnlyExplains()
{
    const auto dialog = openDialog();
    dialog->txtHalfLife->setText(u"typed so far"_s);

    QTest::mouseClick(dialog->cmdBrowse, Qt::LeftButton);
    QTest::mouseClick(dialog->cmdBrowse, Qt::LeftButton);

    QCOMPARE(m_platform.messages.size(), 2);
    for (const RecordingPlatform::Message &message : std::as_const(m_platform.messages)) {
        QCOMPARE(message.title, u"Browse"_s);
        QCOMPARE(message.style, MsgBoxStyle::Information);
        const QStringList lines = message.text.split(u"\r\n"_s);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.first(),
                 u"A browse feature here seemed useless to me, because you only have to set this "
                 "once. It would just make file size larger. If you REALLY think it's necessary "
                 "to have a browse feature here, e-mail me. Personally, I think you'll be able to "
                 "handle typing in the directory to Half-Life just once."_s);
        QVERIFY(!lines.last().isEmpty());
    }
    QCOMPARE(dialog->txtHalfLife->text(), u"typed so far"_s);
    QVERIFY(dialog->isVisible());
    QVERIFY(!m_settings.storeExists());
}

void FrmSettingsTest::ok_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("afterwards"); // the text box after OK; stored when accepted
    QTest::addColumn<bool>("accepted");

    QTest::newRow("folder with hl.exe") << u"@/game"_s << u"@/game"_s << true;
#ifdef Q_OS_WIN
    QTest::newRow("trailing backslash removed") << u"@\\game\\"_s << u"@\\game"_s << true;
    QTest::newRow("trailing backslash removed, no hl.exe")
        << u"@\\nogame\\"_s << u"@\\nogame"_s << false;
    QTest::newRow("one of two trailing backslashes removed")
        << u"@\\game\\\\"_s << u"@\\game\\"_s << true;
    QTest::newRow("backslash alone") << u"\\"_s << QString() << false;
    // Windows takes a slash for a separator too, but it is not the one removed.
    QTest::newRow("trailing slash kept") << u"@\\game/"_s << u"@\\game/"_s << true;
#else
    QTest::newRow("trailing slash removed") << u"@/game/"_s << u"@/game"_s << true;
    QTest::newRow("trailing slash removed, no hl.exe") << u"@/nogame/"_s << u"@/nogame"_s << false;
    QTest::newRow("one of two trailing slashes removed") << u"@/game//"_s << u"@/game/"_s << true;
    QTest::newRow("slash alone") << u"/"_s << QString() << false;
    QTest::newRow("backslash is no separator here") << u"@/game\\"_s << u"@/game\\"_s << false;
#endif
    QTest::newRow("empty text") << QString() << QString() << false;
    QTest::newRow("leading blank kept") << u" @/game"_s << u" @/game"_s << false;
    QTest::newRow("trailing blank kept") << u"@/game "_s << u"@/game "_s << false;
    QTest::newRow("folder name ending in a blank") << u"@/blank "_s << u"@/blank "_s << true;
    QTest::newRow("names hl.exe itself") << u"@/game/hl.exe"_s << u"@/game/hl.exe"_s << false;
    QTest::newRow("zero-byte hl.exe") << u"@/empty"_s << u"@/empty"_s << true;
    QTest::newRow("hl.exe is a folder") << u"@/exefolder"_s << u"@/exefolder"_s << false;
    QTest::newRow("relative to the working folder") << u"rel"_s << u"rel"_s << true;
    QTest::newRow("design text") << designText << designText << false;
#ifdef Q_OS_WIN
    QTest::newRow("native Linux game is none here") << u"@/native"_s << u"@/native"_s << false;
#else
    QTest::newRow("native Linux game") << u"@/native"_s << u"@/native"_s << true;
#endif
    QTest::newRow("hl.sh alone") << u"@/script"_s << u"@/script"_s << false;
    QTest::newRow("Sven Co-op's folder") << u"@/sven"_s << u"@/sven"_s << true;
#ifdef Q_OS_WIN
    QTest::newRow("native Linux Sven Co-op is none here")
        << u"@/sven native"_s << u"@/sven native"_s << false;
#else
    QTest::newRow("native Linux Sven Co-op") << u"@/sven native"_s << u"@/sven native"_s << true;
#endif
    QTest::newRow("svencoop.sh alone") << u"@/sven script"_s << u"@/sven script"_s << false;
}

void FrmSettingsTest::ok()
{
    QFETCH(QString, typed);
    QFETCH(QString, afterwards);
    QFETCH(bool, accepted);
    typed = inRoot(typed);
    afterwards = inRoot(afterwards);
    if (afterwards.isEmpty() && QFileInfo::exists(u"/hl.exe"_s))
        QSKIP("this machine has an /hl.exe");
    const QString earlier = u"/stored/before"_s;
    QVERIFY(SettingsStore::save(settings::HLDir, earlier));
    const auto dialog = openDialog();
    QCOMPARE(dialog->txtHalfLife->text(), earlier);

    dialog->txtHalfLife->setText(typed);
    QTest::mouseClick(dialog->cmdOk, Qt::LeftButton);

    QCOMPARE(dialog->txtHalfLife->text(), afterwards);
    if (accepted) {
        QVERIFY(m_platform.messages.isEmpty());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(SettingsStore::read(settings::HLDir), afterwards);
        return;
    }
    QCOMPARE(m_platform.messages.size(), 1);
    const RecordingPlatform::Message &error = m_platform.messages.first();
    QCOMPARE(error.text, rejection(afterwards));
    QCOMPARE(error.title, u"Error"_s);
    QCOMPARE(error.style, MsgBoxStyle::Critical);
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->result() != QDialog::Accepted);
    QCOMPARE(SettingsStore::read(settings::HLDir), earlier);

    // The player corrects the text and tries again.
    dialog->txtHalfLife->setText(m_root->filePath(u"game"_s));
    QTest::mouseClick(dialog->cmdOk, Qt::LeftButton);
    QCOMPARE(m_platform.messages.size(), 1);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(SettingsStore::read(settings::HLDir), m_root->filePath(u"game"_s));
}

void FrmSettingsTest::okKeepsDialogOpenWhenDirectoryCannotBeStored()
{
    // Nothing can be stored, not even by an administrator or root.
    QVERIFY(m_settings.blockSaves());
    const auto dialog = openDialog();
    const QString game = m_root->filePath(u"game"_s);
    dialog->txtHalfLife->setText(game);

    QTest::mouseClick(dialog->cmdOk, Qt::LeftButton);

    QCOMPARE(m_platform.messages.size(), 1);
    const RecordingPlatform::Message &error = m_platform.messages.first();
    QCOMPARE(error.title, u"Error"_s);
    QCOMPARE(error.style, MsgBoxStyle::Critical);
    QVERIFY2(error.text.contains(u"could not be saved"_s), qPrintable(error.text));
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->result() != QDialog::Accepted);
    QCOMPARE(dialog->txtHalfLife->text(), game);

    m_settings.unblockSaves();
    QCOMPARE(SettingsStore::read(settings::HLDir), QString());
}

QTEST_MAIN(FrmSettingsTest)
#include "tst_frm_settings.moc"

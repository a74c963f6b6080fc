// The main window's buttons at work: Change copying sprays into the game,
// Exit and the close box starting the game, and Help, About, Refresh and Settings.

#include "file_guards.h"
#include "file_list_box.h"
#include "forms.h"
#include "frm_main.h"
#include "frm_settings.h"
#include "recording_platform.h"
#include "scratch_folder.h"
#include "scratch_settings.h"
#include "settings_store.h"
#include "test_files.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#ifdef Q_OS_WIN
#include <shlobj.h>
#endif

using namespace Qt::StringLiterals;
using tagswap::frmMain;
using tagswap::frmSettings;
using tagswap::MsgBoxStyle;
using tagswap::SettingsStore;
using tagswap::testing::FileDetail;
using tagswap::testing::isReadOnlyOnDisk;
using tagswap::testing::openForm;
using tagswap::testing::readFile;
using tagswap::testing::RecordingPlatform;
using tagswap::testing::ScratchFolder;
using tagswap::testing::ScratchSettings;
using tagswap::testing::snapshot;
using tagswap::testing::tryWriteFile;
namespace settings = tagswap::settings;

namespace {

// Larger than one copy chunk, with every byte value and line ends a text copy would mangle.
QByteArray sprayBytes(int seed)
{
    QByteArray bytes("WAD3\0\r\n\x1a", 8);
    for (int i = 0; i < 150'000; ++i)
        bytes.append(char((i * 7 + seed) % 256));
    return bytes;
}

void press(QPushButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

bool selectSpray(frmMain &window, const QString &name)
{
    const QModelIndex item = window.flbFiles->indexOf(name);
    if (!item.isValid())
        return false;
    QTest::mouseClick(window.flbFiles->viewport(), Qt::LeftButton, {},
                      window.flbFiles->visualRect(item).center());
    return window.flbFiles->fileName() == name;
}

// Once the modal settings dialog is up, hands it to look (which may also press
// its buttons), then closes it by its close box if it is still open, so that
// the exec() that showed it returns even when a check fails.
void whenSettingsOpen(const std::function<void(frmSettings &)> &look, int triesLeft = 200)
{
    QTimer::singleShot(triesLeft == 200 ? 0 : 10, [look, triesLeft] {
        auto *dialog = qobject_cast<frmSettings *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (triesLeft > 0)
                whenSettingsOpen(look, triesLeft - 1);
            return;
        }
        look(*dialog);
        if (dialog->isVisible())
            dialog->close();
    });
}

// Arguments as a shell would hand them over, including what a shell would
// have expanded and bytes that are not UTF-8.
const QList<QByteArray> rawArguments{
    "+connect",   "10.0.0.1:27015", "two words",
    "\"quoted\"", "$(x)",           ";",
    "*",          "line\nbreak",    QByteArray("\xff\xfe\x80", 3),
    QByteArray(),
};

tagswap::CommandLine gameCommandLine()
{
    std::vector<QByteArray> storage{QByteArrayLiteral("tagswap")};
    storage.insert(storage.end(), rawArguments.begin(), rawArguments.end());
    std::vector<char *> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return tagswap::CommandLine::ofThisProcess(int(storage.size()), argv.data());
}

const QString helpText =
    u"I think this is a fairly easy to use this program, but I'll go through "
    "all the steps of setting up a color spraypaint for Team Fortress.\r\n"
    "\r\n"
    "Put all the color spraypaint files in the same directory as the Tagswap program file. Rename "
    "them all to something which will let you know what is what (e.g. instead of having your "
    "spray of your grandmother's portrait named \"pldecal.wad\" you could name it "
    "\"grandmother.wad\").\r\n"
    "Next, make sure you have gone into \"Settings\" and set your correct Half-Life base "
    "directory.\r\n"
    "If you added more sprays to the Tagswap directory after you started Tagswap, hit "
    "\"Refresh\"\r\n"
    "Choose the spray you want to use from the list, and then simply hit \"Change\"\r\n"
    "\r\n"
    "That's all there is to it. Detailed information on having Tagswap run Half-Life upon exit is "
    "in the readme.txt (available through the \"About\" button)."_s;

} // namespace

class SprayChangeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void changeWithoutSelectionOnlyWarns();
    void changeCopiesSelectedSpray();
    void destination_data();
    void destination();
    void failedCopy_data();
    void failedCopy();
    void sprayNamedPldecalCopiedOntoItself();
    void exit_data();
    void exit();
    void helpShowsItsTextEveryTime();
    void about_data();
    void about();
    void refreshRereadsSprayList();
    void settingsOpensModalDialogThatCloseBoxLeavesUnstored();
    void directoryAcceptedInSettingsIsUsedByChange();

private:
    // "@" stands for the game folder of the case; paths as the player's system writes them.
    QString inGame(QString path) const
    {
        return QDir::toNativeSeparators(path.replace(u'@', m_game->path()));
    }
    QString keptFolder() const;
    QStringList keptSprays() const;
    // What the message boxes said, for a check that found one too many.
    QString messagesShown() const
    {
        QStringList texts;
        for (const RecordingPlatform::Message &message : m_platform.messages)
            texts << message.text;
        return texts.join(u" | "_s);
    }
    std::unique_ptr<frmMain> openWindow(tagswap::CommandLine commandLine = {})
    {
        return openForm<frmMain>(m_platform, std::move(commandLine));
    }

    ScratchSettings m_settings;
    std::unique_ptr<ScratchFolder> m_work;
    std::unique_ptr<QTemporaryDir> m_game;
    RecordingPlatform m_platform;
    const QByteArray m_grandmother = sprayBytes(1);
    const QByteArray m_other = sprayBytes(2);
};

// Where the player's system keeps an application's data, asked of the system itself.
QString SprayChangeTest::keptFolder() const
{
#ifdef Q_OS_WIN
    PWSTR localAppData = nullptr;
    QString folder;
    if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &localAppData) == S_OK)
        folder = QDir::fromNativeSeparators(QString::fromWCharArray(localAppData));
    CoTaskMemFree(localAppData);
#else
    const QString folder = m_settings.dataHome();
#endif
    return folder + u"/Tagswap/replaced"_s;
}

// The bytes of every kept spray, in name order.
QStringList SprayChangeTest::keptSprays() const
{
    QStringList contents;
    const QDir kept(keptFolder());
    for (const QString &name : kept.entryList(QDir::Files, QDir::Name))
        contents << QString::fromLatin1(readFile(kept.filePath(name)));
    return contents;
}

void SprayChangeTest::initTestCase()
{
    m_settings.setUp();
    // No Steam client may take over the start of the game here.
    qputenv("PATH", "/usr/bin:/bin");
    QApplication::setQuitOnLastWindowClosed(false);
}

void SprayChangeTest::init()
{
    m_settings.reset();
    m_platform = RecordingPlatform();
    m_work = std::make_unique<ScratchFolder>();
    m_game = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid() && m_game->isValid());
    QVERIFY(QDir(m_game->path()).mkdir(u"valve"_s));
    QVERIFY(QDir(m_game->path()).mkdir(u"tfc"_s));
    QVERIFY(QDir::setCurrent(m_work->path()));
    QVERIFY(tryWriteFile(u"grandmother.wad"_s, m_grandmother));
    QVERIFY(tryWriteFile(u"other.wad"_s, m_other));
    QVERIFY(SettingsStore::save(settings::BeenRun, u"True"_s));
}

void SprayChangeTest::cleanup()
{
    // Windows removes no read-only file, so the guards come off first.
    QDirIterator files(m_game->path(), QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        QFile::setPermissions(files.next(), QFile::ReadOwner | QFile::WriteOwner);
    m_work.reset();
    m_game.reset();
}

void SprayChangeTest::changeWithoutSelectionOnlyWarns()
{
    QVERIFY(SettingsStore::save(settings::HLDir, inGame(u"@"_s)));
    const auto window = openWindow();
    m_settings.clearStore();
    const QStringList gameBefore = snapshot(m_game->path());
    const QStringList workBefore = snapshot(m_work->path());

    press(window->cmdChange);

    QCOMPARE(m_platform.messages.size(), 1);
    const RecordingPlatform::Message &warning = m_platform.messages.first();
    QCOMPARE(warning.text, u"Please choose a spraypaint."_s);
    QCOMPARE(warning.title, u"Tagswap"_s);
    QCOMPARE(warning.style, MsgBoxStyle::Exclamation);
    QCOMPARE(warning.owner.data(), static_cast<QWidget *>(window.get()));
    QVERIFY(!m_settings.storeExists());
    QCOMPARE(snapshot(m_game->path()), gameBefore);
    QCOMPARE(snapshot(m_work->path()), workBefore);
}

void SprayChangeTest::changeCopiesSelectedSpray()
{
    QVERIFY(SettingsStore::save(settings::HLDir, inGame(u"@"_s)));
    const QString installed = m_game->filePath(u"valve/pldecal.wad"_s);
    const QString steamCopy = m_game->filePath(u"valve/tempdecal.wad"_s);
    QVERIFY(tryWriteFile(installed, "the spray the game had"));
    const auto window = openWindow();

    QVERIFY(selectSpray(*window, u"grandmother.wad"_s));
    press(window->cmdChange);
    QVERIFY2(m_platform.messages.isEmpty(), qPrintable(messagesShown()));
    QCOMPARE(readFile(installed), m_grandmother);
    QCOMPARE(readFile(steamCopy), m_grandmother);
    // Guarded against the game's options screen; the original release's file needs no guard.
    QVERIFY(isReadOnlyOnDisk(steamCopy));
    QVERIFY(!isReadOnlyOnDisk(installed));
    QCOMPARE(window->flbFiles->fileName(), u"grandmother.wad"_s);
    QCOMPARE(window->cmbMod->currentText(), u"valve"_s);
    // The game's spray was in no other place.
    QCOMPARE(keptSprays(), QStringList{u"the spray the game had"_s});

    // The same selection again copies again, over the guard.
    QVERIFY(tryWriteFile(installed, "changed in between"));
    press(window->cmdChange);
    QCOMPARE(readFile(installed), m_grandmother);

    QVERIFY(selectSpray(*window, u"other.wad"_s));
    press(window->cmdChange);
    QCOMPARE(readFile(installed), m_other);
    QCOMPARE(readFile(steamCopy), m_other);
    QVERIFY(isReadOnlyOnDisk(steamCopy));

    QVERIFY2(m_platform.messages.isEmpty(), qPrintable(messagesShown()));
    QCOMPARE(keptSprays().size(), 2);
    QVERIFY(keptSprays().contains(u"changed in between"_s));
    QCOMPARE(snapshot(m_game->path() + u"/valve"_s),
             QStringList({u"pldecal.wad 150008"_s, u"tempdecal.wad 150008"_s}));
    QCOMPARE(readFile(u"grandmother.wad"_s), m_grandmother);
}

void SprayChangeTest::destination_data()
{
    QTest::addColumn<QString>("hlDir");
    QTest::addColumn<bool>("modsFile");
    QTest::addColumn<QByteArray>("mods");
    QTest::addColumn<int>("modIndex");
    QTest::addColumn<QString>("spray");
    QTest::addColumn<QString>("destination");

    const QString grandmother = u"grandmother.wad"_s;
    QTest::newRow("valve") << u"@"_s << false << QByteArray() << 0 << grandmother
                           << u"@/valve/pldecal.wad"_s;
    QTest::newRow("second mod picked") << u"@"_s << true << QByteArray("valve\r\ntfc\r\n") << 1
                                       << grandmother << u"@/tfc/pldecal.wad"_s;
    QTest::newRow("empty mod entry")
        << u"@"_s << true << QByteArray("\r\n") << 0 << grandmother << u"@//pldecal.wad"_s;
    QTest::newRow("empty mod list")
        << u"@"_s << true << QByteArray() << -1 << grandmother << u"@//pldecal.wad"_s;
    QTest::newRow("game folder stored with trailing slash")
        << u"@/"_s << false << QByteArray() << 0 << grandmother << u"@//valve/pldecal.wad"_s;
    QTest::newRow("game folder under a name outside ASCII")
        << u"@/Jürgen/Half-Life"_s << false << QByteArray() << 0 << grandmother
        << u"@/Jürgen/Half-Life/valve/pldecal.wad"_s;
    QTest::newRow("spray named outside ASCII")
        << u"@"_s << false << QByteArray() << 0 << u"ñandú.wad"_s << u"@/valve/pldecal.wad"_s;
}

void SprayChangeTest::destination()
{
    QFETCH(QString, hlDir);
    QFETCH(bool, modsFile);
    QFETCH(QByteArray, mods);
    QFETCH(int, modIndex);
    QFETCH(QString, spray);
    QFETCH(QString, destination);
    destination = inGame(destination);
    if (modsFile)
        QVERIFY(tryWriteFile(u"mods.txt"_s, mods));
    if (!QFileInfo::exists(spray))
        QVERIFY(tryWriteFile(spray, m_grandmother));
    // An old spray there, so that it is kept and replaced on the way.
    QVERIFY(QDir().mkpath(QFileInfo(destination).path()));
    QVERIFY(tryWriteFile(destination, "the spray the game had"));
    QVERIFY(SettingsStore::save(settings::HLDir, inGame(hlDir)));
    const auto window = openWindow();
    window->cmbMod->setCurrentIndex(modIndex);
    QCOMPARE(window->cmbMod->currentIndex(), modIndex);

    QVERIFY(selectSpray(*window, spray));
    press(window->cmdChange);

    QVERIFY2(m_platform.messages.isEmpty(), qPrintable(messagesShown()));
    QCOMPARE(readFile(destination), m_grandmother);
    QCOMPARE(keptSprays(), QStringList{u"the spray the game had"_s});
}

void SprayChangeTest::failedCopy_data()
{
    QTest::addColumn<bool>("storeDir");
    QTest::addColumn<QString>("hlDir");
    QTest::addColumn<QString>("mods");         // the lines of mods.txt; none when empty
    QTest::addColumn<QString>("afterListing"); // the spray is then "gone" or "a pipe"
    QTest::addColumn<QString>("held");         // a game file another program holds open (Windows)
    QTest::addColumn<QString>("destination");

    QTest::newRow("mod folder missing")
        << true << u"@"_s << u"nomod"_s << QString() << QString() << u"@/nomod/pldecal.wad"_s;
    QTest::newRow("trailing slash kept in the path")
        << true << u"@/"_s << u"nomod"_s << QString() << QString() << u"@//nomod/pldecal.wad"_s;
    QTest::newRow("no game folder stored")
        << false << QString() << u"tagswap-no-such-mod"_s << QString() << QString()
        << u"/tagswap-no-such-mod/pldecal.wad"_s;
    QTest::newRow("game folder is a file") << true << u"@/hl.exe"_s << QString() << QString()
                                           << QString() << u"@/hl.exe/valve/pldecal.wad"_s;
    QTest::newRow("pldecal.wad is a folder")
        << true << u"@"_s << u"dirmod"_s << QString() << QString() << u"@/dirmod/pldecal.wad"_s;
    QTest::newRow("spray deleted after listing")
        << true << u"@"_s << QString() << u"gone"_s << QString() << u"@/valve/pldecal.wad"_s;
#ifdef Q_OS_UNIX
    // Refused at once: a read would wait for a writer forever.
    QTest::newRow("spray made a pipe after listing")
        << true << u"@"_s << QString() << u"a pipe"_s << QString() << u"@/valve/pldecal.wad"_s;
#endif
    // Refused, and the folder above is where the files would have landed.
    QTest::newRow("mod text leading out of the game folder")
        << true << u"@/valve"_s << u".."_s << QString() << QString() << u"@/valve/../pldecal.wad"_s;
#ifdef Q_OS_WIN
    // What an unwritable folder is on Linux: the running game holds its spray open.
    QTest::newRow("tempdecal.wad held open")
        << true << u"@"_s << QString() << QString() << u"valve/tempdecal.wad"_s
        << u"@/valve/tempdecal.wad"_s;
    QTest::newRow("pldecal.wad held open") << true << u"@"_s << QString() << QString()
                                           << u"valve/pldecal.wad"_s << u"@/valve/pldecal.wad"_s;
#endif
}

void SprayChangeTest::failedCopy()
{
    QFETCH(bool, storeDir);
    QFETCH(QString, hlDir);
    QFETCH(QString, mods);
    QFETCH(QString, afterListing);
    QFETCH(QString, held);
    QFETCH(QString, destination);
    destination = inGame(destination);
    QVERIFY(!QFileInfo::exists(u"/tagswap-no-such-mod"_s));
    QVERIFY(tryWriteFile(m_game->filePath(u"hl.exe"_s), "MZ"));
    QVERIFY(tryWriteFile(m_game->filePath(u"valve/pldecal.wad"_s), "the spray the game had"));
    // Guarded, so that a failure must put the guard back as well.
    const QString steamCopy = m_game->filePath(u"valve/tempdecal.wad"_s);
    QVERIFY(tryWriteFile(steamCopy, "the game's own"));
    QVERIFY(QFile::setPermissions(steamCopy, QFile::ReadOwner));
    QVERIFY(QDir(m_game->path()).mkpath(u"dirmod/pldecal.wad"_s));
    if (!mods.isEmpty())
        QVERIFY(tryWriteFile(u"mods.txt"_s, mods.toLatin1()));
    if (storeDir)
        QVERIFY(SettingsStore::save(settings::HLDir, inGame(hlDir)));
    const auto window = openWindow();
    QVERIFY(selectSpray(*window, u"grandmother.wad"_s));
    if (!afterListing.isEmpty())
        QVERIFY(QFile::remove(u"grandmother.wad"_s));
#ifdef Q_OS_UNIX
    std::unique_ptr<tagswap::testing::EndedPipe> pipe;
    if (afterListing == u"a pipe") {
        pipe = std::make_unique<tagswap::testing::EndedPipe>(u"grandmother.wad"_s);
        QVERIFY(pipe->isValid());
    }
#endif
#ifdef Q_OS_WIN
    std::unique_ptr<tagswap::testing::HeldOpen> holder;
    if (!held.isEmpty()) {
        holder = std::make_unique<tagswap::testing::HeldOpen>(m_game->filePath(held));
        QVERIFY(holder->isValid());
    }
#endif
    const QStringList gameBefore = snapshot(m_game->path(), FileDetail::Sha1);
    const QStringList keptBefore = snapshot(keptFolder(), FileDetail::Sha1);

    press(window->cmdChange);

    QCOMPARE(m_platform.messages.size(), 1);
    const RecordingPlatform::Message &error = m_platform.messages.first();
    QCOMPARE(error.title, u"Tagswap"_s);
    QCOMPARE(error.style, MsgBoxStyle::Critical);
    QVERIFY2(error.text.contains(u"grandmother.wad"_s), qPrintable(error.text));
    QVERIFY2(error.text.contains(destination), qPrintable(error.text));
    // Never opened: the copy would fail too, but only once a writer came.
    QVERIFY(afterListing != u"a pipe" || error.text.endsWith(u"grandmother.wad is not a file."_s));
    // Nothing half-written is left, the game keeps the spray it had, and no copy
    // is kept of a spray that was not replaced.
    QCOMPARE(snapshot(m_game->path(), FileDetail::Sha1), gameBefore);
    QCOMPARE(readFile(m_game->filePath(u"valve/pldecal.wad"_s)), "the spray the game had");
    QVERIFY(isReadOnlyOnDisk(steamCopy));
    QCOMPARE(snapshot(keptFolder(), FileDetail::Sha1), keptBefore);

    QCOMPARE(m_platform.endCount, 0);
    QVERIFY(window->isVisible());
    press(window->cmdHelp);
    QCOMPARE(m_platform.messages.size(), 2);
    QCOMPARE(m_platform.messages.last().title, u"Help"_s);
}

void SprayChangeTest::sprayNamedPldecalCopiedOntoItself()
{
    // Playing from inside the mod folder: the spray and its destination are one file.
    const QString modFolder = m_game->filePath(u"valve"_s);
    QVERIFY(tryWriteFile(modFolder + u"/pldecal.wad"_s, m_grandmother));
    QVERIFY(QDir::setCurrent(modFolder));
    QVERIFY(SettingsStore::save(settings::HLDir, inGame(u"@"_s)));
    const auto window = openWindow();

    QVERIFY(selectSpray(*window, u"pldecal.wad"_s));
    press(window->cmdChange);

    QVERIFY2(m_platform.messages.isEmpty(), qPrintable(messagesShown()));
    QCOMPARE(readFile(modFolder + u"/pldecal.wad"_s), m_grandmother);
    QCOMPARE(snapshot(modFolder),
             QStringList({u"pldecal.wad 150008"_s, u"tempdecal.wad 150008"_s}));
    // The spray it had is the one it has: nothing is kept of it.
    QVERIFY(!QFileInfo::exists(keptFolder()));
}

void SprayChangeTest::exit_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<bool>("withArguments");
    QTest::addColumn<bool>("storeDir");
    QTest::addColumn<QString>("hlDir");

    QTest::newRow("Exit, no command line") << false << false << true << u"@"_s;
    QTest::newRow("close box, no command line") << true << false << true << u"@"_s;
    QTest::newRow("Exit, command line") << false << true << true << u"@"_s;
    QTest::newRow("close box, command line") << true << true << true << u"@"_s;
    QTest::newRow("command line, no game folder stored") << false << true << false << QString();
    QTest::newRow("command line, game folder with trailing slash")
        << false << true << true << u"@/"_s;
}

void SprayChangeTest::exit()
{
    QFETCH(bool, closeBox);
    QFETCH(bool, withArguments);
    QFETCH(bool, storeDir);
    QFETCH(QString, hlDir);
    hlDir = inGame(hlDir);
    if (storeDir)
        QVERIFY(SettingsStore::save(settings::HLDir, hlDir));
    const QString program = m_game->filePath(u"hl.exe"_s);
    QVERIFY(tryWriteFile(program, "#!/bin/sh\n"));
    QVERIFY(QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner));
    const tagswap::CommandLine commandLine =
        withArguments ? gameCommandLine() : tagswap::CommandLine{};
    const auto window = openWindow(commandLine);
    if (!withArguments)
        m_settings.clearStore();

    if (closeBox)
        QVERIFY(window->close());
    else
        press(window->cmdExit);

    QCOMPARE(m_platform.endCount, 1);
    QVERIFY(!window->isVisible());
    QVERIFY(m_platform.messages.isEmpty());
    if (!withArguments) {
        QVERIFY(m_platform.starts.isEmpty());
        QVERIFY(!m_settings.storeExists());
        return;
    }
    QCOMPARE(m_platform.starts.size(), 1);
    const tagswap::ProgramLaunch &game = m_platform.starts.first();
#ifdef Q_OS_WIN
    // Windows always starts the folder's hl.exe.
    const QString started = u"hl.exe"_s;
#else
    // Where hl.exe can run it is started as it always was; without one, and with
    // no Steam client, the native game's script.
    const QString started = storeDir ? u"hl.exe"_s : u"hl.sh"_s;
#endif
    QCOMPARE(game.program, hlDir + QDir::separator() + started);
    QCOMPARE(game.workingDirectory, hlDir);
#ifndef Q_OS_WIN
    QCOMPARE(game.arguments.arguments, rawArguments);
#endif
}

void SprayChangeTest::helpShowsItsTextEveryTime()
{
    const auto window = openWindow();
    press(window->cmdHelp);
    press(window->cmdHelp);

    QCOMPARE(m_platform.messages.size(), 2);
    for (const RecordingPlatform::Message &help : std::as_const(m_platform.messages)) {
        QCOMPARE(help.text, helpText);
        QCOMPARE(help.title, u"Help"_s);
        QCOMPARE(help.style, MsgBoxStyle::Information);
        QCOMPARE(help.owner.data(), static_cast<QWidget *>(window.get()));
    }
    QVERIFY(m_platform.starts.isEmpty());
}

void SprayChangeTest::about_data()
{
    QTest::addColumn<bool>("viewerStarts");
    QTest::newRow("viewer starts") << true;
    QTest::newRow("viewer cannot be started") << false;
}

void SprayChangeTest::about()
{
    QFETCH(bool, viewerStarts);
    m_platform.startSucceeds = viewerStarts;
    // There is no readme.txt here: finding it is the viewer's business.
    const auto window = openWindow();
    press(window->cmdAbout);

    QCOMPARE(m_platform.starts.size(), 1);
    const tagswap::ProgramLaunch &viewer = m_platform.starts.first();
#ifndef Q_OS_WIN
    QCOMPARE(viewer.program, u"xdg-open"_s);
    QCOMPARE(viewer.arguments.arguments, QList<QByteArray>{"readme.txt"});
#endif
    QCOMPARE(viewer.workingDirectory, QString());
    QCOMPARE(m_platform.endCount, 0);
    QVERIFY(window->isVisible());
    if (viewerStarts) {
        QVERIFY(m_platform.messages.isEmpty());
        return;
    }
    QCOMPARE(m_platform.messages.size(), 1);
    const RecordingPlatform::Message &error = m_platform.messages.first();
    QCOMPARE(error.style, MsgBoxStyle::Critical);
    QVERIFY2(error.text.contains(m_platform.startError), qPrintable(error.text));
}

void SprayChangeTest::refreshRereadsSprayList()
{
    QVERIFY(tryWriteFile(u"a.wad"_s, "a"));
    const auto window = openWindow();
    const auto listed = [&] { return window->flbFiles->names(); };
    QCOMPARE(listed(), (QStringList{u"a.wad"_s, u"grandmother.wad"_s, u"other.wad"_s}));

    press(window->cmdRefresh);
    QCOMPARE(listed(), (QStringList{u"a.wad"_s, u"grandmother.wad"_s, u"other.wad"_s}));
    QCOMPARE(window->flbFiles->fileName(), QString());

    QVERIFY(selectSpray(*window, u"other.wad"_s));
    QVERIFY(tryWriteFile(u"b.wad"_s, "b"));
    QVERIFY(QFile::remove(u"a.wad"_s));
    press(window->cmdRefresh);
    QCOMPARE(listed(), (QStringList{u"b.wad"_s, u"grandmother.wad"_s, u"other.wad"_s}));
    QCOMPARE(window->flbFiles->fileName(), u"other.wad"_s);

    QVERIFY(QFile::remove(u"other.wad"_s));
    press(window->cmdRefresh);
    QCOMPARE(listed(), (QStringList{u"b.wad"_s, u"grandmother.wad"_s}));
    QCOMPARE(window->flbFiles->fileName(), QString());
    QVERIFY(m_platform.messages.isEmpty());
}

void SprayChangeTest::settingsOpensModalDialogThatCloseBoxLeavesUnstored()
{
    const QString stored = m_game->path() + u"/"_s;
    QVERIFY(SettingsStore::save(settings::HLDir, stored));
    const auto window = openWindow();

    bool opened = false;
    QString shown;
    whenSettingsOpen([&](frmSettings &dialog) {
        opened = true;
        QVERIFY(dialog.isModal());
        QVERIFY(dialog.windowModality() != Qt::NonModal);
        QCOMPARE(dialog.parentWidget(), static_cast<QWidget *>(window.get()));
        shown = dialog.txtHalfLife->text();
        dialog.txtHalfLife->setText(u"typed, then closed"_s);
    });
    press(window->cmdSettings);
    QVERIFY(opened);
    QCOMPARE(shown, stored);
    QCOMPARE(SettingsStore::read(settings::HLDir), stored);
    QVERIFY(window->findChildren<frmSettings *>().isEmpty());

    // Each opening starts again from what is stored.
    whenSettingsOpen([&](frmSettings &dialog) { shown = dialog.txtHalfLife->text(); });
    press(window->cmdSettings);
    QCOMPARE(shown, stored);

    m_settings.clearStore();
    whenSettingsOpen([&](frmSettings &dialog) { shown = dialog.txtHalfLife->text(); });
    press(window->cmdSettings);
    QCOMPARE(shown, u"C:\\SIERRA\\Half-Life"_s);
    QVERIFY(!m_settings.storeExists());

    QVERIFY(m_platform.messages.isEmpty());
    QCOMPARE(m_platform.endCount, 0);
    QVERIFY(window->isVisible());
}

void SprayChangeTest::directoryAcceptedInSettingsIsUsedByChange()
{
    QVERIFY(tryWriteFile(m_game->filePath(u"hl.exe"_s), "MZ"));
    const auto window = openWindow();
    whenSettingsOpen([&](frmSettings &dialog) {
        dialog.txtHalfLife->setText(inGame(u"@/"_s));
        press(dialog.cmdOk);
    });
    press(window->cmdSettings);
    QCOMPARE(SettingsStore::read(settings::HLDir), inGame(u"@"_s));

    QVERIFY(selectSpray(*window, u"grandmother.wad"_s));
    press(window->cmdChange);
    QVERIFY2(m_platform.messages.isEmpty(), qPrintable(messagesShown()));
    QCOMPARE(readFile(m_game->filePath(u"valve/pldecal.wad"_s)), m_grandmother);
}

QTEST_MAIN(SprayChangeTest)
#include "tst_spray_change.moc"

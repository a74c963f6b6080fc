// The spray list as a library: tooltips that show each spray or say why the
// game refuses it, the question before installing such a file, renaming,
// moving to the trash, the context menu, dropping files on the list and the
// check mark on the chosen mod's spray.

#include "decal_file.h"
#include "file_list_box.h"
#include "forms.h"
#include "frm_main.h"
#include "installed_spray.h"
#include "recording_platform.h"
#include "replaced_sprays.h"
#include "scratch_folder.h"
#include "scratch_settings.h"
#include "settings_store.h"
#include "spray_check_window.h"
#include "spray_list_actions.h"
#include "spray_list_model.h"
#include "spray_preview.h"
#include "test_files.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QUrl>
#include <QtEndian>

#include <memory>

using namespace Qt::StringLiterals;
using tagswap::Answer;
using tagswap::FileListBox;
using tagswap::frmMain;
using tagswap::SettingsStore;
using tagswap::SprayListModel;
using tagswap::testing::openForm;
using tagswap::testing::readFile;
using tagswap::testing::RecordingPlatform;
using tagswap::testing::ScratchFolder;
using tagswap::testing::ScratchSettings;
using tagswap::testing::tryWriteFile;
namespace settings = tagswap::settings;

namespace {

// A spray of the given size whose pixels depend on seed; one-colour when ink is
// not the pure blue that marks a colour spray.
QByteArray sprayFile(int width, int height, int seed = 0, QRgb ink = decal::kTransparentKey)
{
    decal::Decal d;
    d.width = width;
    d.height = height;
    for (int i = 0; i < 255; ++i)
        d.palette[i] = qRgb(i, 255 - i, (i * 7) % 256);
    d.palette[255] = ink;
    d.pixels.resize(qsizetype(width) * height);
    for (qsizetype i = 0; i < d.pixels.size(); ++i)
        d.pixels[i] = char((i + seed) % 256);
    return decal::encode(d);
}

QByteArray pngOf(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray withWidth(QByteArray bytes, quint32 width)
{
    qToLittleEndian(width, bytes.data() + 12 + 16);
    return bytes;
}

// What a drop of these files on the list delivers.
void dropOn(FileListBox *list, const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = list->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    QVERIFY(drop.isAccepted());
}

QString toolTipOf(const FileListBox *list, const QString &name)
{
    return list->model()->data(list->indexOf(name), Qt::ToolTipRole).toString();
}

QStringList menuEntries(QMenu *menu)
{
    QStringList entries;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            entries << action->text() + (action->isEnabled() ? u""_s : u" (off)"_s);
    }
    return entries;
}

// The spray maker's windows: made by its plugin, so known by class name, not type.
QList<QDialog *> makersOf(const QWidget &window)
{
    QList<QDialog *> makers = window.findChildren<QDialog *>();
    makers.removeIf([](const QDialog *dialog) {
        return qstrcmp(dialog->metaObject()->className(), "tagswap::SprayMakerWindow") != 0;
    });
    return makers;
}

QAction *menuEntry(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class SprayLibraryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toolTip_data();
    void toolTip();
    void toolTipFollowsChangedFile();
    void questionOnChange_data();
    void questionOnChange();
    void rename_data();
    void rename();
    void moveToTrash_data();
    void moveToTrash();
    void drop_data();
    void drop();
    void droppedImageBecomesASpray();
    void makerMissing_data();
    void makerMissing();
    void contextMenu_data();
    void contextMenu();
    void openFolders();
    void checkOpensForTheChosenMod();
    void previewShowsScalesAndMipLevels();
    void previewCloses_data();
    void previewCloses();
    void renameFromSeenSprays();
    void mipLevels_data();
    void mipLevels();
    void checkMark_data();
    void checkMark();
    void checkMarkFollowsChangeAndMod();

private:
    std::unique_ptr<frmMain> openWindow()
    {
        auto window = openForm<frmMain>(m_platform, tagswap::CommandLine{});
        // The test program does not lie beside the maker's plugin as Tagswap does.
        window->setSprayMakerFolders({QStringLiteral(TAGSWAP_SPRAY_MAKER_FOLDER)});
        return window;
    }
    QString inWork(const QString &name) const { return m_work->filePath(name); }
    QString inGame(const QString &path) const { return m_game->filePath(path); }

    ScratchSettings m_settings;
    std::unique_ptr<ScratchFolder> m_work;
    std::unique_ptr<QTemporaryDir> m_game;
    RecordingPlatform m_platform;
};

void SprayLibraryTest::initTestCase()
{
    m_settings.setUp();
    // The trash and the folder of replaced sprays live in the scratch data home.
    QApplication::setQuitOnLastWindowClosed(false);
}

void SprayLibraryTest::init()
{
    m_settings.reset();
    m_platform = RecordingPlatform();
    m_work = std::make_unique<ScratchFolder>();
    m_game = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid() && m_game->isValid());
    QVERIFY(QDir(m_game->path()).mkpath(u"valve"_s));
    QVERIFY(QDir(m_game->path()).mkpath(u"tfc"_s));
    QVERIFY(QDir::setCurrent(m_work->path()));
    QVERIFY(SettingsStore::save(settings::BeenRun, u"True"_s));
    QVERIFY(SettingsStore::save(settings::HLDir, m_game->path()));
    QVERIFY(tryWriteFile(u"mods.txt"_s, "valve\r\ntfc\r\n"));
}

void SprayLibraryTest::cleanup()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<tagswap::SprayPreview *>(widget))
            delete widget;
    }
    m_work.reset();
    m_game.reset();
}

void SprayLibraryTest::toolTip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("text");

    const QByteArray small = sprayFile(64, 64);
    QTest::newRow("colour spray") << small << true << u"64 × 64, colour, 6,296 bytes"_s;
    QTest::newRow("one-colour spray") << sprayFile(96, 128, 0, qRgb(200, 0, 0)) << true
                                      << u"96 × 128, one-colour, 17,176 bytes"_s;
    QTest::newRow("largest the game takes")
        << sprayFile(112, 128) << true << u"112 × 128, colour, 19,896 bytes"_s;
    QTest::newRow("not a spray") << QByteArray("just some text, not a picture") << false
                                 << u"The game would refuse it: This is not a WAD3 file."_s;
    QTest::newRow("too large for the game")
        << sprayFile(128, 128) << false
        << u"The game would refuse it: At 22,616 bytes it is too large for the game's "
           "20,480-byte limit."_s;
    QTest::newRow("a side over 256")
        << withWidth(sprayFile(16, 16), 512) << false
        << u"The game would refuse it: The picture is 512x16 pixels; the game takes sides of "
           "1 to 256 pixels."_s;
    QTest::newRow("truncated") << small.left(4000) << false
                               << u"The game would refuse it: The directory is not at the end "
                                  "of the file."_s;
    QTest::newRow("directory not at the end")
        << small + QByteArray(16, '\0') << false
        << u"The game would refuse it: The directory is not at the end of the file."_s;
    QTest::newRow("empty file") << QByteArray("") << false
                                << u"The game would refuse it: The file is empty."_s;
    QTest::newRow("a picture named .wad")
        << pngOf(QImage(8, 8, QImage::Format_RGB32)) << false
        << u"The game would refuse it: The file is a PNG picture, not a spray."_s;
}

void SprayLibraryTest::toolTip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, picture);
    QFETCH(QString, text);
#ifdef Q_OS_WIN
    // Windows allows no < or > in a file name.
    const QString name = u"a & c.wad"_s;
#else
    const QString name = u"a <b> & c.wad"_s;
#endif
    QVERIFY(tryWriteFile(name, bytes));
    const auto window = openWindow();

    const QString tip = toolTipOf(window->flbFiles, name);
    QVERIFY2(tip.contains(text.toHtmlEscaped()), qPrintable(tip));
    QVERIFY2(tip.contains(name.toHtmlEscaped()), qPrintable(tip));
    QCOMPARE(tip.contains(u"<img src=\"data:image/png;base64,"_s), picture);
    QVERIFY(m_platform.messages.isEmpty());
}

void SprayLibraryTest::toolTipFollowsChangedFile()
{
    QVERIFY(tryWriteFile(u"s.wad"_s, sprayFile(64, 64)));
    const auto window = openWindow();
    QVERIFY(toolTipOf(window->flbFiles, u"s.wad"_s).contains(u"64 × 64"_s));
    QVERIFY(tryWriteFile(u"s.wad"_s, sprayFile(32, 48)));
    QVERIFY(toolTipOf(window->flbFiles, u"s.wad"_s).contains(u"32 × 48"_s));
}

void SprayLibraryTest::questionOnChange_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("installed");

    const QByteArray large = sprayFile(128, 128);
    QTest::newRow("valid spray, no question")
        << sprayFile(64, 64) << Answer::No << QString() << true;
    QTest::newRow("too large, yes")
        << large << Answer::Yes
        << u"big.wad is not a spray the game can show: At 22,616 bytes it is too large for the "
           "game's 20,480-byte limit. Install it anyway?"_s
        << true;
    QTest::newRow("too large, no")
        << large << Answer::No
        << u"big.wad is not a spray the game can show: At 22,616 bytes it is too large for the "
           "game's 20,480-byte limit. Install it anyway?"_s
        << false;
    QTest::newRow("not a spray, no")
        << QByteArray("text") << Answer::No
        << u"big.wad is not a spray the game can show: This is not a WAD3 file. Install it "
           "anyway?"_s
        << false;
    QTest::newRow("empty, no")
        << QByteArray("") << Answer::No
        << u"big.wad is not a spray the game can show: The file is empty. Install it anyway?"_s
        << false;
}

void SprayLibraryTest::questionOnChange()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Answer, answer);
    QFETCH(QString, question);
    QFETCH(bool, installed);
    QVERIFY(tryWriteFile(u"big.wad"_s, bytes));
    const QString target = inGame(u"valve/pldecal.wad"_s);
    QVERIFY(tryWriteFile(target, "what the game had"));
    m_platform.answers = {answer};
    const auto window = openWindow();

    QVERIFY(window->flbFiles->select(u"big.wad"_s));
    QTest::mouseClick(window->cmdChange, Qt::LeftButton);

    QCOMPARE(m_platform.questions.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) {
        QCOMPARE(m_platform.questions.first().text, question);
        QCOMPARE(m_platform.questions.first().title, u"Tagswap"_s);
        QCOMPARE(m_platform.questions.first().owner.data(), static_cast<QWidget *>(window.get()));
    }
    QCOMPARE(readFile(target), installed ? bytes : QByteArray("what the game had"));
    QVERIFY(m_platform.messages.isEmpty());
}

void SprayLibraryTest::rename_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("message");

    QTest::newRow("new name") << u"zulu.wad"_s << QStringList{u"bravo.wad"_s, u"zulu.wad"_s}
                              << u"zulu.wad"_s << QString();
    QTest::newRow("suffix added") << u"zulu"_s << QStringList{u"bravo.wad"_s, u"zulu.wad"_s}
                                  << u"zulu.wad"_s << QString();
    QTest::newRow("letter case only")
        << u"ALPHA.wad"_s << QStringList{u"ALPHA.wad"_s, u"bravo.wad"_s} << u"ALPHA.wad"_s
        << QString();
    QTest::newRow("unchanged") << u"alpha.wad"_s << QStringList{u"alpha.wad"_s, u"bravo.wad"_s}
                               << u"alpha.wad"_s << QString();
    QTest::newRow("name taken") << u"bravo.wad"_s << QStringList{u"alpha.wad"_s, u"bravo.wad"_s}
                                << u"alpha.wad"_s << u"There is already a spray named bravo.wad."_s;
    QTest::newRow("into another folder")
        << u"../out.wad"_s << QStringList{u"alpha.wad"_s, u"bravo.wad"_s} << u"alpha.wad"_s
        << u"\"../out.wad\" cannot be a file name: it must not be empty or hold / or \\."_s;
    QTest::newRow("empty")
        << QString() << QStringList{u"alpha.wad"_s, u"bravo.wad"_s} << u"alpha.wad"_s
        << u"\"\" cannot be a file name: it must not be empty or hold / or \\."_s;
}

void SprayLibraryTest::rename()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, listed);
    QFETCH(QString, selected);
    QFETCH(QString, message);
#ifdef Q_OS_WIN
    if (typed == u"ALPHA.wad" && tagswap::testing::runsUnderWine())
        QSKIP("Wine keeps the letter case on a rename that changes nothing else");
#endif
    const QByteArray alpha = sprayFile(64, 64, 1);
    QVERIFY(tryWriteFile(u"alpha.wad"_s, alpha));
    QVERIFY(tryWriteFile(u"bravo.wad"_s, sprayFile(64, 64, 2)));
    const auto window = openWindow();
    FileListBox *list = window->flbFiles;
    QVERIFY(list->select(u"alpha.wad"_s));

    QTest::keyClick(list, Qt::Key_F2);
    auto *editor = list->findChild<QLineEdit *>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor commits once it has closed, and the rename follows that.
    QTRY_VERIFY(!list->findChild<QLineEdit *>());
    QCoreApplication::sendPostedEvents();

    QCOMPARE(list->names(), listed);
    QCOMPARE(list->fileName(), selected);
    QCOMPARE(readFile(inWork(selected == u"alpha.wad"_s ? u"alpha.wad"_s : selected)), alpha);
    QCOMPARE(m_platform.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_platform.messages.first().text, message);
    QVERIFY(!QFileInfo::exists(m_work->path() + u"/../out.wad"_s));
}

void SprayLibraryTest::moveToTrash_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("selected");

    const QStringList all{u"a.wad"_s, u"b.wad"_s, u"c.wad"_s};
    QTest::newRow("middle, yes: the next one")
        << u"b.wad"_s << Answer::Yes << QStringList{u"a.wad"_s, u"c.wad"_s} << u"c.wad"_s;
    QTest::newRow("last, yes: the one before")
        << u"c.wad"_s << Answer::Yes << QStringList{u"a.wad"_s, u"b.wad"_s} << u"b.wad"_s;
    QTest::newRow("no keeps it") << u"b.wad"_s << Answer::No << all << u"b.wad"_s;
}

void SprayLibraryTest::moveToTrash()
{
    QFETCH(QString, chosen);
    QFETCH(Answer, answer);
    QFETCH(QStringList, listed);
    QFETCH(QString, selected);
#ifdef Q_OS_WIN
    if (answer == Answer::Yes && tagswap::testing::runsUnderWine())
        QSKIP("Wine has no Recycle Bin to move a file into");
#endif
    for (const QString &name : {u"a.wad"_s, u"b.wad"_s, u"c.wad"_s})
        QVERIFY(tryWriteFile(name, name.toUtf8()));
    m_platform.answers = {answer};
    const auto window = openWindow();
    QVERIFY(window->flbFiles->select(chosen));

    QTest::keyClick(window->flbFiles, Qt::Key_Delete);

    QCOMPARE(m_platform.questions.size(), 1);
    QCOMPARE(m_platform.questions.first().text, u"Move %1 to the Trash?"_s.arg(chosen));
    QCOMPARE(window->flbFiles->names(), listed);
    QCOMPARE(window->flbFiles->fileName(), selected);
    QCOMPARE(QFileInfo::exists(chosen), answer == Answer::No);
#ifndef Q_OS_WIN
    // Into the desktop's trash, never into a folder beside the sprays. (The
    // Windows Recycle Bin has no folder of its own to look into.)
    const QString trashed = m_settings.dataHome() + u"/Trash/files/"_s + chosen;
    QCOMPARE(QFileInfo::exists(trashed), answer == Answer::Yes);
    if (answer == Answer::Yes)
        QVERIFY(QFile::remove(trashed));
#endif
    QCOMPARE(QDir(m_work->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    QVERIFY(m_platform.messages.isEmpty());
}

void SprayLibraryTest::drop_data()
{
    QTest::addColumn<QStringList>("dropped"); // files in the drop folder
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("questions");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("makers"); // spray maker windows opened

    QTest::newRow("two new sprays, the last selected")
        << QStringList{u"new1.wad"_s, u"new2.WAD"_s} << QList<Answer>{}
        << QStringList{u"kept.wad"_s, u"new1.wad"_s, u"new2.WAD"_s} << u"new2.WAD"_s << 0
        << QString() << 0;
    QTest::newRow("name clash, replace")
        << QStringList{u"kept.wad"_s} << QList<Answer>{Answer::Yes} << QStringList{u"kept.wad"_s}
        << u"kept.wad"_s << 1 << QString() << 0;
    QTest::newRow("name clash, keep")
        << QStringList{u"kept.wad"_s} << QList<Answer>{Answer::No} << QStringList{u"kept.wad"_s}
        << QString() << 1 << QString() << 0;
    QTest::newRow("not a spray file")
        << QStringList{u"notes.txt"_s} << QList<Answer>{} << QStringList{u"kept.wad"_s} << QString()
        << 0 << u"notes.txt is not a spray file (*.wad)."_s << 0;
    QTest::newRow("a picture goes to the spray maker")
        << QStringList{u"photo.png"_s, u"new1.wad"_s} << QList<Answer>{}
        << QStringList{u"kept.wad"_s, u"new1.wad"_s} << u"new1.wad"_s << 0 << QString() << 1;
    QTest::newRow("three pictures open one spray maker")
        << QStringList{u"a.png"_s, u"b.jpg"_s, u"c.gif"_s} << QList<Answer>{}
        << QStringList{u"kept.wad"_s} << QString() << 0
        << u"b.jpg was not opened: the spray maker takes one picture at a time.\r\n"
           "c.gif was not opened: the spray maker takes one picture at a time."_s
        << 1;
}

void SprayLibraryTest::drop()
{
    QFETCH(QStringList, dropped);
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, listed);
    QFETCH(QString, selected);
    QFETCH(int, questions);
    QFETCH(QString, message);
    QFETCH(int, makers);
    QVERIFY(tryWriteFile(u"kept.wad"_s, "the spray in the folder"));
    QTemporaryDir source;
    QStringList paths;
    for (const QString &name : dropped) {
        paths << source.filePath(name);
        QVERIFY(tryWriteFile(paths.last(), "dropped " + name.toUtf8()));
    }
    m_platform.answers = answers;
    const auto window = openWindow();

    dropOn(window->flbFiles, paths);
    // The files are taken once the drop has ended.
    QCoreApplication::sendPostedEvents();

    QCOMPARE(window->flbFiles->names(), listed);
    QCOMPARE(window->flbFiles->fileName(), selected);
    QCOMPARE(m_platform.questions.size(), questions);
    if (questions > 0) {
        QCOMPARE(m_platform.questions.first().text,
                 u"There is already a spray named kept.wad. Replace it with the one dropped?"_s);
    }
    const bool replaced = !answers.isEmpty() && answers.first() == Answer::Yes;
    QCOMPARE(readFile(u"kept.wad"_s),
             replaced ? QByteArray("dropped kept.wad") : QByteArray("the spray in the folder"));
    for (const QString &name : listed)
        QVERIFY(!readFile(name).isEmpty());
    QCOMPARE(m_platform.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_platform.messages.first().text, message);
    // Each dropped file stays where it was.
    for (const QString &path : paths)
        QVERIFY(QFileInfo::exists(path));
    QCOMPARE(makersOf(*window).size(), makers);
}

void SprayLibraryTest::droppedImageBecomesASpray()
{
    QTemporaryDir source;
    const QString image = source.filePath(u"photo.png"_s);
    QImage picture(300, 200, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 40, 40, 255));
    QVERIFY(picture.save(image));
    const auto window = openWindow();

    dropOn(window->flbFiles, {image});
    QCoreApplication::sendPostedEvents();
    const QList<QDialog *> makers = makersOf(*window);
    QCOMPARE(makers.size(), 1);
    QDialog *maker = makers.first();
    QVERIFY(maker->isVisible());
    QCOMPARE(maker->findChild<QLineEdit *>(u"nameEdit"_s)->text(), u"photo"_s);
    // Save waits for the palette it writes.
    auto *buttons = maker->findChild<QDialogButtonBox *>();
    QTRY_VERIFY_WITH_TIMEOUT(buttons->button(QDialogButtonBox::Save)->isEnabled(), 20000);
    buttons->button(QDialogButtonBox::Save)->click();

    QCOMPARE(window->flbFiles->names(), QStringList{u"photo.wad"_s});
    QCOMPARE(window->flbFiles->fileName(), u"photo.wad"_s);
    QCOMPARE(decal::gameRefusal(readFile(u"photo.wad"_s)), QString());
    QVERIFY(m_platform.messages.isEmpty());
}

void SprayLibraryTest::makerMissing_data()
{
    QTest::addColumn<bool>("dropped");      // a picture dropped, else the menu entry
    QTest::addColumn<QByteArray>("plugin"); // what lies where the plugin should; none when null
    QTest::addColumn<QString>("reason");

    const QString name = QStringLiteral(TAGSWAP_SPRAY_MAKER_FILE);
    QTest::newRow("dropped picture, no plugin")
        << true << QByteArray() << name + u" is in none of"_s;
    QTest::newRow("menu entry, no plugin") << false << QByteArray() << name + u" is in none of"_s;
    QTest::newRow("menu entry, damaged plugin") << false << QByteArray("not a library") << name;
}

void SprayLibraryTest::makerMissing()
{
    QFETCH(bool, dropped);
    QFETCH(QByteArray, plugin);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    if (!plugin.isNull())
        QVERIFY(tryWriteFile(folder.filePath(QStringLiteral(TAGSWAP_SPRAY_MAKER_FILE)), plugin));
    const QString picture = folder.filePath(u"photo.png"_s);
    QVERIFY(QImage(16, 16, QImage::Format_RGB32).save(picture));
    const auto window = openWindow();
    window->setSprayMakerFolders({folder.path()});

    if (dropped) {
        dropOn(window->flbFiles, {picture});
        QCoreApplication::sendPostedEvents();
    } else {
        window->sprayActions()->makeSprayFromImage();
    }

    QCOMPARE(m_platform.messages.size(), 1);
    const QString text = m_platform.messages.first().text;
    QVERIFY2(text.startsWith(u"The spray maker could not be loaded: "_s) && text.contains(reason),
             qPrintable(text));
    QCOMPARE(m_platform.messages.first().style, tagswap::MsgBoxStyle::Critical);
    QCOMPARE(makersOf(*window).size(), 0);
}

void SprayLibraryTest::contextMenu_data()
{
    QTest::addColumn<QString>("how"); // "mouse on <name>", "mouse below", "Shift+F10", "Menu key"
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("entries");

    const QStringList folders{u"Open the spray folder"_s, u"Open the folder of replaced sprays"_s};
    const QStringList onRow = QStringList{u"Preview"_s,
                                          u"Rename..."_s,
                                          u"Move to Trash"_s,
                                          u"Make a spray from an image..."_s,
                                          u"Sprays seen in game..."_s,
                                          u"Install in several mods..."_s,
                                          u"Check the spray in game..."_s}
                              + folders;
    QTest::newRow("right click on a row") << u"mouse on b.wad"_s << u"b.wad"_s << onRow;
    QTest::newRow("right click below the rows")
        << u"mouse below"_s << QString()
        << QStringList{u"Preview (off)"_s,
                       u"Rename... (off)"_s,
                       u"Move to Trash (off)"_s,
                       u"Make a spray from an image..."_s,
                       u"Sprays seen in game..."_s,
                       u"Install in several mods... (off)"_s,
                       u"Check the spray in game..."_s}
               + folders;
    QTest::newRow("Shift+F10") << u"Shift+F10"_s << u"a.wad"_s << onRow;
    QTest::newRow("Menu key") << u"Menu key"_s << u"a.wad"_s << onRow;
    QStringList onPicture = onRow;
    onPicture.insert(4, u"Make a spray from this picture..."_s);
    QTest::newRow("right click on a picture named .wad")
        << u"mouse on c.wad"_s << u"c.wad"_s << onPicture;
}

void SprayLibraryTest::contextMenu()
{
    QFETCH(QString, how);
    QFETCH(QString, chosen);
    QFETCH(QStringList, entries);
    QVERIFY(tryWriteFile(u"a.wad"_s, sprayFile(64, 64)));
    QVERIFY(tryWriteFile(u"b.wad"_s, sprayFile(64, 64)));
    QVERIFY(tryWriteFile(u"c.wad"_s, pngOf(QImage(8, 8, QImage::Format_RGB32))));
    const auto window = openWindow();
    FileListBox *list = window->flbFiles;
    QVERIFY(list->select(u"a.wad"_s));
    QSignalSpy requested(list, &FileListBox::contextMenuRequested);

    if (how == u"Shift+F10") {
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    } else if (how == u"Menu key") {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QApplication::sendEvent(list, &event);
    } else {
        const QString under = how.mid(QStringLiteral("mouse on ").size());
        const QPoint at = how == u"mouse below" ? QPoint(5, list->viewport()->height() - 3)
                                                : list->visualRect(list->indexOf(under)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
    }

    QCOMPARE(requested.size(), 1);
    QCOMPARE(list->fileName(), chosen);
    auto *shown = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(shown);
    QCOMPARE(menuEntries(shown), entries);
    shown->close();
}

void SprayLibraryTest::openFolders()
{
    const auto window = openWindow();
    const QString replaced = tagswap::replacedSprayFolder();
    QVERIFY(replaced.startsWith(m_settings.dataHome()));
    // Earlier cases' Changes may have kept sprays there.
    QVERIFY(QDir(replaced).removeRecursively());
    std::unique_ptr<QMenu> menu(window->sprayActions()->makeContextMenu(window.get()));

    menuEntry(menu.get(), u"Open the spray folder"_s)->trigger();
    menuEntry(menu.get(), u"Open the folder of replaced sprays"_s)->trigger();

    QCOMPARE(m_platform.openedFolders, (QStringList{m_work->path(), replaced}));
    QVERIFY(QFileInfo(replaced).isDir());
    QVERIFY(QDir(replaced).removeRecursively());
}

void SprayLibraryTest::checkOpensForTheChosenMod()
{
    const auto window = openWindow();
    window->cmbMod->setCurrentIndex(1);
    std::unique_ptr<QMenu> menu(window->sprayActions()->makeContextMenu(window.get()));

    menuEntry(menu.get(), u"Check the spray in game..."_s)->trigger();

    auto *check = window->findChild<tagswap::SprayCheckWindow *>();
    QVERIFY(check);
    QVERIFY(check->isVisible());
    const auto *intro = check->findChild<QLabel *>(u"intro"_s);
    QVERIFY2(intro->text().contains(u"the spray of tfc"_s), qPrintable(intro->text()));
    QCOMPARE(intro->toolTip(), QDir::toNativeSeparators(inGame(u"tfc"_s)));
}

void SprayLibraryTest::previewShowsScalesAndMipLevels()
{
    QVERIFY(tryWriteFile(u"s.wad"_s, sprayFile(64, 32)));
    const auto window = openWindow();
    QVERIFY(window->flbFiles->select(u"s.wad"_s));
    std::unique_ptr<QMenu> menu(window->sprayActions()->makeContextMenu(window.get()));

    menuEntry(menu.get(), u"Preview"_s)->trigger();

    tagswap::SprayPreview *preview = window->findChild<tagswap::SprayPreview *>();
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->windowTitle(), u"Preview - s.wad"_s);
    QStringList sizes;
    for (const QLabel *label : preview->findChildren<QLabel *>()) {
        if (!label->pixmap().isNull())
            sizes << label->accessibleName() + u": "_s + QString::number(label->pixmap().width())
                         + u'x' + QString::number(label->pixmap().height());
    }
    QCOMPARE(sizes, (QStringList{u"As the game shows it, 1×: 64x32"_s,
                                 u"As the game shows it, 2×: 128x64"_s,
                                 u"As the game shows it, 4×: 256x128"_s,
                                 u"Plain palette, 1×: 64x32"_s, u"Plain palette, 2×: 128x64"_s,
                                 u"Plain palette, 4×: 256x128"_s, u"64 × 32: 64x32"_s,
                                 u"32 × 16: 32x16"_s, u"16 × 8: 16x8"_s, u"8 × 4: 8x4"_s}));
    preview->close();
}

void SprayLibraryTest::previewCloses_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Close") << u"Close"_s;
    QTest::newRow("Esc") << u"Esc"_s;
    QTest::newRow("Ctrl+W") << u"Ctrl+W"_s;
}

void SprayLibraryTest::previewCloses()
{
    QFETCH(QString, how);
    QVERIFY(tryWriteFile(u"s.wad"_s, sprayFile(64, 32)));
    const auto window = openWindow();
    QPointer<tagswap::SprayPreview> preview =
        tagswap::showSprayPreview(inWork(u"s.wad"_s), window.get());
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    preview->activateWindow();

    if (how == u"Close")
        preview->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close)->click();
    else if (how == u"Esc")
        QTest::keyClick(preview, Qt::Key_Escape);
    else
        QTest::keyClick(preview, Qt::Key_W, Qt::ControlModifier);

    QTRY_VERIFY(preview.isNull());
}

// Rename... in Sprays seen in game edits the name where every spray is renamed.
void SprayLibraryTest::renameFromSeenSprays()
{
    QVERIFY(tryWriteFile(u"a.wad"_s, sprayFile(64, 64)));
    QVERIFY(tryWriteFile(u"seen-1.wad"_s, sprayFile(64, 64, 1)));
    const auto window = openWindow();

    window->sprayActions()->renameInList(u"seen-1.wad"_s);
    QCOMPARE(window->flbFiles->fileName(), u"seen-1.wad"_s);
    auto *editor = window->flbFiles->findChild<QLineEdit *>();
    QVERIFY(editor && editor->isVisible());
    QCOMPARE(editor->text(), u"seen-1.wad"_s);
    QVERIFY(m_platform.messages.isEmpty());

    window->sprayActions()->renameInList(u"gone.wad"_s);
    QCOMPARE(m_platform.messages.size(), 1);
    QCOMPARE(m_platform.messages.first().text, u"gone.wad is no longer in the spray folder."_s);
}

// The decoder's smaller copies are the file's own, not made again from the picture.
void SprayLibraryTest::mipLevels_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QSize>("size");
    QTest::newRow("full") << 0 << QSize(64, 32);
    QTest::newRow("half") << 1 << QSize(32, 16);
    QTest::newRow("quarter") << 2 << QSize(16, 8);
    QTest::newRow("eighth") << 3 << QSize(8, 4);
}

void SprayLibraryTest::mipLevels()
{
    QFETCH(int, level);
    QFETCH(QSize, size);
    QByteArray bytes = sprayFile(64, 32);
    // Marks each level's first pixel in the file itself.
    const int offsets[] = {0, 64 * 32, 64 * 32 + 32 * 16, 64 * 32 + 32 * 16 + 16 * 8};
    for (int i = 0; i < 4; ++i)
        bytes[12 + 40 + offsets[i]] = char(200 + i);

    const QList<decal::Decal> levels = decal::decodeLevels(bytes);

    QCOMPARE(levels.size(), 4);
    const decal::Decal &shown = levels.at(level);
    QCOMPARE(QSize(shown.width, shown.height), size);
    QCOMPARE(shown.pixels.size(), size.width() * size.height());
    QCOMPARE(int(quint8(shown.pixels.at(0))), 200 + level);
    QCOMPARE(shown.palette, levels.first().palette);
    QVERIFY(decal::decodeLevels(bytes.left(100)).isEmpty());
}

void SprayLibraryTest::checkMark_data()
{
    QTest::addColumn<QString>("mod");
    QTest::addColumn<QString>("pldecal"); // which spray's bytes, "" for none
    QTest::addColumn<QString>("tempdecal");
    QTest::addColumn<QStringList>("marked");

    QTest::newRow("pldecal") << u"valve"_s << u"b.wad"_s << QString() << QStringList{u"b.wad"_s};
    QTest::newRow("tempdecal over pldecal")
        << u"valve"_s << u"b.wad"_s << u"c.wad"_s << QStringList{u"c.wad"_s};
    QTest::newRow("same size, other bytes")
        << u"valve"_s << u"d.bin"_s << QString() << QStringList{};
    QTest::newRow("nothing installed") << u"valve"_s << QString() << QString() << QStringList{};
    QTest::newRow("two equal files")
        << u"valve"_s << u"a.wad"_s << QString() << QStringList{u"a.wad"_s, u"same as a.wad"_s};
}

void SprayLibraryTest::checkMark()
{
    QFETCH(QString, mod);
    QFETCH(QString, pldecal);
    QFETCH(QString, tempdecal);
    QFETCH(QStringList, marked);
    const QMap<QString, QByteArray> files{{u"a.wad"_s, sprayFile(64, 64, 1)},
                                          {u"same as a.wad"_s, sprayFile(64, 64, 1)},
                                          {u"b.wad"_s, sprayFile(64, 64, 2)},
                                          {u"c.wad"_s, sprayFile(64, 64, 3)},
                                          {u"d.bin"_s, sprayFile(64, 64, 4)}};
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY(tryWriteFile(it.key(), it.value()));
    if (!pldecal.isEmpty())
        QVERIFY(tryWriteFile(inGame(mod + u"/pldecal.wad"_s), files[pldecal]));
    if (!tempdecal.isEmpty())
        QVERIFY(tryWriteFile(inGame(mod + u"/tempdecal.wad"_s), files[tempdecal]));

    const auto window = openWindow();

    const auto shown = [&] {
        QStringList names = window->flbFiles->installed().values();
        names.sort();
        return names;
    };
    QTRY_COMPARE(shown(), marked);
    // The files are compared apart from the window; no later answer changes it.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(shown(), marked);
    for (const QString &name : window->flbFiles->names()) {
        const QModelIndex row = window->flbFiles->indexOf(name);
        QCOMPARE(row.data(SprayListModel::InstalledRole).toBool(), marked.contains(name));
    }
}

void SprayLibraryTest::checkMarkFollowsChangeAndMod()
{
    QVERIFY(tryWriteFile(u"a.wad"_s, sprayFile(64, 64, 1)));
    QVERIFY(tryWriteFile(u"b.wad"_s, sprayFile(64, 64, 2)));
    QVERIFY(tryWriteFile(inGame(u"tfc/tempdecal.wad"_s), sprayFile(64, 64, 2)));
    const auto window = openWindow();
    // Waits for the comparisons under way and takes their answers.
    const auto marked = [&] {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::sendPostedEvents();
        return QStringList(window->flbFiles->installed().values());
    };
    QTRY_COMPARE(window->cmbMod->currentText(), u"valve"_s);
    QTRY_COMPARE(marked(), QStringList());

    QVERIFY(window->flbFiles->select(u"a.wad"_s));
    QTest::mouseClick(window->cmdChange, Qt::LeftButton);
    QTRY_COMPARE(marked(), QStringList{u"a.wad"_s});

    window->cmbMod->setCurrentIndex(1);
    QTRY_COMPARE(marked(), QStringList{u"b.wad"_s});

    // Changed behind Tagswap's back: Refresh looks again.
    QVERIFY(tryWriteFile(inGame(u"tfc/tempdecal.wad"_s), sprayFile(64, 64, 1)));
    QTest::mouseClick(window->cmdRefresh, Qt::LeftButton);
    QTRY_COMPARE(marked(), QStringList{u"a.wad"_s});

    window->cmbMod->setCurrentIndex(0);
    QTRY_COMPARE(marked(), QStringList{u"a.wad"_s});
    QVERIFY(m_platform.messages.isEmpty());
}

QTEST_MAIN(SprayLibraryTest)
#include "tst_spray_library.moc"

// The "Sprays seen in game" window: a mod's cached sprays listed as the game
// shows them, those in the spray folder marked, Add copying the chosen ones.

#include "hpk_builder.h"
#include "recording_platform.h"
#include "scratch_folder.h"
#include "seen_sprays_window.h"
#include "test_files.h"

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <memory>

using namespace Qt::StringLiterals;
using tagswap::SeenSpraysWindow;
using tagswap::testing::Hpk;
using tagswap::testing::kSprayA;
using tagswap::testing::kSprayB;
using tagswap::testing::kSprayC;
using tagswap::testing::readFile;
using tagswap::testing::RecordingPlatform;
using tagswap::testing::ScratchFolder;
using tagswap::testing::seenName;
using tagswap::testing::tryWriteFile;

namespace {

const QString kRowA = u"64 × 64, colour\n6,296 bytes"_s;
const QString kRowB = u"32 × 48, one-colour\n2,896 bytes"_s;
const QString kRowC = u"96 × 64, colour\n9,016 bytes"_s;
const QString kMine = u"\nIn your sprays"_s;

QListView *listOf(SeenSpraysWindow &window)
{
    return window.findChild<QListView *>(u"sprays"_s);
}

QStringList rowsOf(SeenSpraysWindow &window)
{
    QStringList rows;
    const QAbstractItemModel *model = listOf(window)->model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->index(row, 0).data().toString();
    return rows;
}

QPushButton *addButton(QWidget &window)
{
    auto *add = window.findChild<QPushButton *>(u"add"_s);
    return add && add->text() == u"Add to my sprays" ? add : nullptr;
}

// The part of a thumbnail the spray covers: it is drawn over the wall, so wholly opaque.
QSize drawnSize(const QPixmap &picture)
{
    const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    QRect covered;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0)
                covered |= QRect(x, y, 1, 1);
        }
    }
    return covered.size();
}

void choose(SeenSpraysWindow &window, const QList<int> &rows)
{
    QListView *list = listOf(window);
    list->clearSelection();
    for (int row : rows)
        list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::Select);
}

} // namespace

class TestSeenSpraysWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchFolder> m_folder;
    RecordingPlatform m_platform;

    QString game() const { return m_folder->filePath(u"game"_s); }
    QString sprays() const { return m_folder->filePath(u"sprays"_s); }
    QString inSprays(const QString &name) const { return sprays() + u'/' + name; }

    std::unique_ptr<SeenSpraysWindow> open(const QString &mod = u"valve"_s,
                                           const QString &gameDirectory = u"{game}"_s)
    {
        return std::unique_ptr<SeenSpraysWindow>(
            tagswap::showSeenSprays(m_platform, QString(gameDirectory).replace(u"{game}"_s, game()),
                                    mod, sprays(), nullptr));
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void init()
    {
        m_platform = RecordingPlatform();
        m_folder = std::make_unique<ScratchFolder>();
        QVERIFY(m_folder->isValid());
        for (const QString &folder : {u"game/valve"_s, u"game/tfc"_s, u"sprays"_s})
            QVERIFY(QDir(m_folder->path()).mkpath(folder));
    }

    void cleanup() { m_folder.reset(); }

    void lists_data()
    {
        QTest::addColumn<QByteArray>("cache"); // null: the mod has none
        QTest::addColumn<QByteArray>("mine");  // null: the spray folder holds none of them
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("text");    // the window's text, from its start
        QTest::addColumn<QString>("message"); // empty: no message box
        QTest::addColumn<QString>("mineIs");  // how "my own.wad" holds mine: empty for a copy
        QTest::addColumn<QString>("mod");
        QTest::addColumn<QString>("gameDirectory"); // {game}: the test's game folder

        const QByteArray sound =
            Hpk{{{kSprayA}, {kSprayB}, {kSprayA}, {"a model", 2}, {kSprayC}}}.build();
        const QString none = u"The game has not cached any sprays for valve yet."_s;
        const auto row = [](const char *name, const QByteArray &cache, const QByteArray &mine,
                            const QStringList &rows, const QString &text,
                            const QString &message = {}, const QString &mineIs = {},
                            const QString &mod = u"valve"_s,
                            const QString &gameDirectory = u"{game}"_s) {
            QTest::newRow(name) << cache << mine << rows << text << message << mineIs << mod
                                << gameDirectory;
        };
        // Every spray at the one scale the text gives, the largest at which all fit.
        row("three sprays, one twice", sound, {}, {kRowA, kRowB, kRowC},
            u"3 sprays that players showed you in valve, each drawn at 1×."_s);
        row("two small sprays", Hpk{{{kSprayA}, {kSprayB}}}.build(), {}, {kRowA, kRowB},
            u"2 sprays that players showed you in valve, each drawn at 2×."_s);
        row("one in my sprays", sound, kSprayB, {kRowA, kRowB + kMine, kRowC}, u"3 sprays"_s);
        row("one spray", Hpk{{{kSprayC}}}.build(), {}, {kRowC}, u"One spray that"_s);
        row("no cache", {}, {}, {}, none);
        row("a cache without sprays", Hpk{{{"a sound", 0}}}.build(), {}, {}, none);
        row("an empty cache", "", {}, {}, none);
        row("no Half-Life directory set", sound, {}, {},
            u"Set the Half-Life directory in Settings first."_s, {}, {}, u"valve"_s, QString());
        row("a mod folder that is not there", sound, {}, {}, u"{game} has no mod folder cstrike."_s,
            {}, {}, u"cstrike"_s);
        row("damaged", Hpk{{{kSprayA}, {kSprayB, 3, 1 << 20}}}.build(), {}, {kRowA}, u"One spray"_s,
            u"custom.hpk has entry 2 outside the file."_s);
        row("not a cache", "HPAK", {}, {}, none,
            u"custom.hpk is not a cache of the game (no HPAK header)."_s);
        // The next Change replaces the game's spray: a name for it keeps nothing.
        row("mine is a second name of tempdecal.wad", sound, kSprayB, {kRowA, kRowB + kMine, kRowC},
            u"3 sprays"_s, {}, u"=>"_s);
#ifndef Q_OS_WIN
        row("mine links to tempdecal.wad", sound, kSprayB, {kRowA, kRowB, kRowC}, u"3 sprays"_s, {},
            u"->"_s);
#endif
        // Nothing outside the game folder is read.
        row("a mod text that is a path", sound, {}, {},
            u"../game/valve is not a mod folder name."_s, {}, {}, u"../game/valve"_s);
    }

    void lists()
    {
        QFETCH(QByteArray, cache);
        QFETCH(QByteArray, mine);
        QFETCH(QStringList, rows);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(QString, mineIs);
        QFETCH(QString, mod);
        QFETCH(QString, gameDirectory);
        text.replace(u"{game}"_s, game());
        if (!cache.isNull())
            QVERIFY(tryWriteFile(game() + u"/valve/custom.hpk"_s, cache));
        const QString tempdecal = game() + u"/valve/tempdecal.wad"_s;
        if (!mine.isNull())
            QVERIFY(tryWriteFile(mineIs.isEmpty() ? inSprays(u"my own.wad"_s) : tempdecal, mine));
        std::error_code code;
        if (mineIs == u"=>")
            std::filesystem::create_hard_link(tempdecal.toStdU16String(),
                                              inSprays(u"my own.wad"_s).toStdU16String(), code);
        QVERIFY(mineIs != u"->" || QFile::link(tempdecal, inSprays(u"my own.wad"_s)));
        QVERIFY2(!code, code.message().c_str());
        const QStringList before = tagswap::testing::snapshot(m_folder->path());

        const auto window = open(mod, gameDirectory);

        QCOMPARE(window->windowTitle(), u"Sprays seen in game"_s);
        QCOMPARE(rowsOf(*window), rows);
        QCOMPARE(listOf(*window)->isVisible(), !rows.isEmpty());
        const QString shown = window->findChild<QLabel *>(u"summary"_s)->text();
        QVERIFY2(shown.startsWith(text), qPrintable(shown));
        QCOMPARE(m_platform.messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QVERIFY2(m_platform.messages[0].text.endsWith(
                         QDir::toNativeSeparators(game() + u"/valve/"_s) + message),
                     qPrintable(m_platform.messages[0].text));
            QCOMPARE(m_platform.messages[0].owner, window.get());
        }
        // Each row drawn as the game shows it, at the scale the window gives.
        const int scale = QRegularExpression(u"drawn at (\\d)×"_s).match(shown).captured(1).toInt();
        for (int row = 0; row < rows.size(); ++row) {
            const auto picture = listOf(*window)->model()->index(row, 0).data(Qt::DecorationRole);
            // The tooltip describes the spray as the spray list's does.
            const QString tip =
                listOf(*window)->model()->index(row, 0).data(Qt::ToolTipRole).toString();
            QVERIFY2(tip.startsWith(rows[row].section(u'\n', 0, 1).replace(u'\n', u", "_s)),
                     qPrintable(tip));
            const QStringList sides = rows[row].section(u',', 0, 0).split(u" × "_s);
            QCOMPARE(drawnSize(picture.value<QPixmap>()),
                     QSize(sides.value(0).toInt(), sides.value(1).toInt()) * scale);
        }
        QVERIFY(!addButton(*window)->isEnabled());
        QCOMPARE(tagswap::testing::snapshot(m_folder->path()), before);
    }

    void addCopiesTheChosen()
    {
        QVERIFY(tryWriteFile(game() + u"/valve/custom.hpk"_s,
                             Hpk{{{kSprayA}, {kSprayB}, {kSprayC}}}.build()));
        QVERIFY(tryWriteFile(inSprays(u"my own.wad"_s), kSprayB));
        QVERIFY(tryWriteFile(inSprays(seenName(kSprayC)), "other bytes"));
        const auto window = open();
        QSignalSpy added(window.get(), &SeenSpraysWindow::added);
        QSignalSpy rename(window.get(), &SeenSpraysWindow::renameRequested);
        auto *written = window->findChild<QLabel *>(u"written"_s);
        auto *renameButton = window->findChild<QPushButton *>(u"rename"_s);
        QVERIFY(!written->isVisible() && !renameButton->isVisible());

        // Only a spray the folder lacks gives Add something to do.
        choose(*window, {1});
        QVERIFY(!addButton(*window)->isEnabled());
        choose(*window, {2, 0});
        QVERIFY(addButton(*window)->isEnabled());
        addButton(*window)->click();

        const QString secondC = seenName(kSprayC, u"-2"_s);
        QCOMPARE(readFile(inSprays(seenName(kSprayA))), kSprayA);
        QCOMPARE(readFile(inSprays(secondC)), kSprayC);
        QCOMPARE(readFile(inSprays(seenName(kSprayC))), QByteArray("other bytes"));
        QCOMPARE(added.size(), 1);
        QCOMPARE(added[0][0].toString(), secondC);
        QCOMPARE(rowsOf(*window), (QStringList{kRowA + kMine, kRowB + kMine, kRowC + kMine}));
        QVERIFY(!addButton(*window)->isEnabled());
        // One line names the files written, and each can be renamed.
        QCOMPARE(written->text(), u"Added %1 and %2."_s.arg(seenName(kSprayA), secondC));
        QVERIFY(written->isVisible() && renameButton->isVisible());
        QStringList offered;
        for (const QAction *action : renameButton->menu()->actions())
            offered << action->text();
        QCOMPARE(offered, (QStringList{seenName(kSprayA), secondC}));
        renameButton->menu()->actions().at(1)->trigger();
        QCOMPARE(rename.size(), 1);
        QCOMPARE(rename[0][0].toString(), secondC);

        // Those already there are not copied again: the one to choose is where it is.
        choose(*window, {1, 2});
        const QStringList before = tagswap::testing::snapshot(sprays());
        window->addSelected();
        QCOMPARE(tagswap::testing::snapshot(sprays()), before);
        QCOMPARE(added.size(), 2);
        QCOMPARE(added[1][0].toString(), secondC);
        QVERIFY(m_platform.messages.isEmpty());
    }

    // A chosen spray keeps its colours; a frame round it shows the choice.
    void choiceIsAFrame()
    {
        QVERIFY(tryWriteFile(game() + u"/valve/custom.hpk"_s, Hpk{{{kSprayA}}}.build()));
        const auto window = open();
        QListView *list = listOf(*window);
        const QRect cell = list->visualRect(list->model()->index(0, 0));
        const QImage before = list->viewport()->grab().toImage();
        choose(*window, {0});
        const QImage after = list->viewport()->grab().toImage();

        const QRect picture =
            list->visualRect(list->model()->index(0, 0)).adjusted(8, 8, -8, -cell.height() / 2);
        for (int y = picture.top(); y <= picture.bottom(); y += 4) {
            for (int x = picture.left(); x <= picture.right(); x += 4)
                QCOMPARE(after.pixel(x, y), before.pixel(x, y));
        }
        const QColor highlight = list->palette().color(QPalette::Highlight);
        QCOMPARE(QColor(after.pixel(cell.center().x(), cell.top() + 1)), highlight);
        QCOMPARE(QColor(after.pixel(cell.left() + 1, cell.center().y())), highlight);
    }
};

QTEST_MAIN(TestSeenSpraysWindow)
#include "tst_seen_sprays_window.moc"

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
#include <QPushButton>
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

    std::unique_ptr<SeenSpraysWindow> open(const QString &mod = u"valve"_s)
    {
        return std::unique_ptr<SeenSpraysWindow>(
            tagswap::showSeenSprays(m_platform, game(), mod, sprays(), nullptr));
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

        const QByteArray sound =
            Hpk{{{kSprayA}, {kSprayB}, {kSprayA}, {"a model", 2}, {kSprayC}}}.build();
        const QString none = u"The game has not cached any sprays for valve yet."_s;
        const auto row = [](const char *name, const QByteArray &cache, const QByteArray &mine,
                            const QStringList &rows, const QString &text,
                            const QString &message = {}, const QString &mineIs = {},
                            const QString &mod = u"valve"_s) {
            QTest::newRow(name) << cache << mine << rows << text << message << mineIs << mod;
        };
        row("three sprays, one twice", sound, {}, {kRowA, kRowB, kRowC},
            u"3 sprays that players showed you in valve."_s);
        row("one in my sprays", sound, kSprayB, {kRowA, kRowB + kMine, kRowC}, u"3 sprays"_s);
        row("one spray", Hpk{{{kSprayC}}}.build(), {}, {kRowC}, u"One spray that"_s);
        row("no cache", {}, {}, {}, none);
        row("a cache without sprays", Hpk{{{"a sound", 0}}}.build(), {}, {}, none);
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

        const auto window = open(mod);

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
        // Each row drawn as the game shows it, at a size that fits the list.
        for (int row = 0; row < rows.size(); ++row) {
            const auto picture = listOf(*window)->model()->index(row, 0).data(Qt::DecorationRole);
            QVERIFY(!picture.value<QPixmap>().isNull());
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

        // Those already there are not copied again: the one to choose is where it is.
        choose(*window, {1, 2});
        const QStringList before = tagswap::testing::snapshot(sprays());
        addButton(*window)->click();
        QCOMPARE(tagswap::testing::snapshot(sprays()), before);
        QCOMPARE(added.size(), 2);
        QCOMPARE(added[1][0].toString(), secondC);
        QVERIFY(m_platform.messages.isEmpty());
    }
};

QTEST_MAIN(TestSeenSpraysWindow)
#include "tst_seen_sprays_window.moc"

// Reading the game's cache of sprays (every bound of a hostile file), listing
// each spray once, adding sprays to the spray folder under seen- names, and
// tagswap-spray seen.

#include "hpk_builder.h"
#include "hpk_reader.h"
#include "scratch_folder.h"
#include "seen_sprays.h"
#include "test_files.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using tagswap::testing::Hpk;
using tagswap::testing::HpkEntry;
using tagswap::testing::kSprayA;
using tagswap::testing::kSprayB;
using tagswap::testing::kSprayC;
using tagswap::testing::md5Hex;
using tagswap::testing::readFile;
using tagswap::testing::ScratchFolder;
using tagswap::testing::seenName;
using tagswap::testing::snapshot;
using tagswap::testing::testSpray;
using tagswap::testing::tryWriteFile;

namespace {

QStringList described(const QList<seen::SeenSpray> &sprays)
{
    QStringList lines;
    for (const seen::SeenSpray &s : sprays)
        lines << u"%1x%2 %3"_s.arg(s.width).arg(s.height).arg(s.colour ? u"colour"_s
                                                                       : u"one-colour"_s);
    return lines;
}

const QByteArray kValveCache =
    Hpk{{{kSprayA}, {kSprayB}, {kSprayA}, {"a sound", 0}, {kSprayC}}}.build();

struct Run {
    int status = -1;
    QStringList out;
    QString err;
};

// Entries of plain data, count of them: what fills a directory to its limit.
QList<HpkEntry> filler(qsizetype count)
{
    return QList<HpkEntry>(count, HpkEntry{"x", 4});
}

} // namespace

class TestSeenSprays : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchFolder> m_folder;

    QString path(const QString &name) const { return m_folder->filePath(name); }

    // What tagswap-spray seen is run on: a mod's cache, a damaged one and a text.
    bool writeCommandCaches() const
    {
        const QDir folder(m_folder->path());
        return folder.mkpath(u"valve"_s) && folder.mkpath(u"tfc"_s)
               && tryWriteFile(path(u"valve/custom.hpk"_s), kValveCache)
               && tryWriteFile(path(u"tfc/notes.txt"_s), "not a cache")
               && tryWriteFile(path(u"broken.hpk"_s),
                               Hpk{{{kSprayA}, {kSprayB, 3, 1 << 20}}}.build());
    }

    Run seenCommand(const QStringList &arguments) const
    {
        QProcess process;
        process.setWorkingDirectory(m_folder->path());
        process.start(QStringLiteral(TAGSWAP_SPRAY_PROGRAM), QStringList{u"seen"_s} + arguments);
        process.waitForFinished(60000);
        // Without the CR that Windows puts before each line end.
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput()).remove(u'\r');
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                out.split(u'\n', Qt::SkipEmptyParts),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<ScratchFolder>();
        QVERIFY(m_folder->isValid());
    }
    void cleanup() { m_folder.reset(); }

    void readsCache_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("sprays");
        QTest::addColumn<int>("other");
        QTest::addColumn<QString>("fault"); // empty: the file is sound

        const QString a = u"64x64 colour"_s;
        const QString b = u"32x48 one-colour"_s;
        const QString c = u"96x64 colour"_s;
        const HpkEntry sprayA{kSprayA};
        const HpkEntry sprayB{kSprayB};
        const HpkEntry sprayC{kSprayC};
        const auto row = [](const char *name, const Hpk &hpk, const QStringList &sprays, int other,
                            const QString &fault = {}) {
            QTest::newRow(name) << hpk.build() << sprays << other << fault;
        };

        row("three sprays, one of them twice", {{sprayA, sprayB, sprayA, sprayC}}, {a, b, c}, 0);
        row("an entry that is no decal", {{{kSprayA, 4}, sprayB}}, {b}, 1);
        row("a decal that is no spray", {{{"just text, not a spray"}, sprayC}}, {c}, 1);
        row("a spray too large for the game", {{{testSpray(4, 128, 128)}, sprayA}}, {a}, 1);
        row("the same data, not a decal, twice", {{{"data"}, {"data"}, sprayB}}, {b}, 2);

        QList<HpkEntry> full = filler(seen::kMaxEntries);
        full.first() = sprayA;
        row("count at the limit", {full}, {a}, int(seen::kMaxEntries - 1));
        row("count over the limit", {{sprayA}, "HPAK", 1, seen::kMaxEntries + 1}, {}, 0,
            u"lists 32,769 entries in its directory; a cache holds 1 to 32,768."_s);
        row("no entries", Hpk{QList<HpkEntry>{}}, {}, 0, u"lists 0 entries in its directory"_s);
        row("a negative count", {{sprayA}, "HPAK", 1, -1}, {}, 0,
            u"lists -1 entries in its directory"_s);
        row("count beyond the file's end", {{sprayA, sprayB}, "HPAK", 1, 3}, {a, b}, 0,
            u"has its directory cut short: 2 of its 3 entries are in the file."_s);

        const QByteArray largest(seen::kMaxEntrySize, 'x');
        row("an entry at the size limit", {{{largest}, sprayB}}, {b}, 1);
        row("an entry over the size limit", {{{largest + 'x'}, sprayB}}, {b}, 1,
            u"has entry 1 of 262,145 bytes; the game keeps none over 256 KiB."_s);

        Hpk atTheEnd{{sprayA, {"tail", 4}}};
        atTheEnd.entries[1].offset = atTheEnd.size() - 4;
        row("an entry that ends where the file ends", atTheEnd, {a}, 1);
        atTheEnd.entries[1].offset = atTheEnd.size() - 3;
        row("an entry one byte past the end", atTheEnd, {a}, 1, u"has entry 2 outside the file."_s);
        row("an entry far past the end", {{{kSprayB, 3, 1 << 30}, sprayA}}, {a}, 1,
            u"has entry 1 outside the file."_s);
        row("an entry before the start", {{sprayA, {kSprayB, 3, -1}}}, {a}, 1,
            u"has entry 2 outside the file."_s);
        row("an entry of no bytes", {{sprayA, {kSprayB, 3, std::nullopt, 0}}}, {a}, 1,
            u"has entry 2 outside the file."_s);
        row("an end that would wrap around in 32 bits", {{sprayA, {kSprayB, 3, 0x7fffffff, 16}}},
            {a}, 1, u"has entry 2 outside the file."_s);

        // Its count is then the entry's length, and no entry fits after it.
        Hpk directory{{sprayA}};
        directory.directoryOffset = directory.size() - 4;
        row("the directory's count in the last four bytes", directory, {}, 0,
            u"has its directory cut short: 0 of its 6,296 entries are in the file."_s);
        directory.directoryOffset = directory.size() - 3;
        row("the directory past the end", directory, {}, 0,
            u"has its directory outside the file."_s);
        row("the directory right after the header", {{{QByteArray(), 4, 0, 4}}}, {}, 1);
        row("the directory in the header", {{sprayA}, "HPAK", 1, std::nullopt, 8}, {}, 0,
            u"has its directory outside the file."_s);
        row("a negative directory offset", {{sprayA}, "HPAK", 1, std::nullopt, -12}, {}, 0,
            u"has its directory outside the file."_s);

        const QByteArray sound = Hpk{{sprayA, sprayB}}.build();
        QTest::newRow("a record cut short")
            << sound.chopped(1) << QStringList{a} << 0
            << u"has its directory cut short: 1 of its 2 entries are in the file."_s;
        row("a wrong magic", {{sprayA}, "HPAC"}, {}, 0,
            u"is not a cache of the game (no HPAK header)."_s);
        QTest::newRow("the header cut short") << sound.left(11) << QStringList{} << 0
                                              << u"is not a cache of the game (no HPAK header)."_s;
        QTest::newRow("empty, as a cache of nothing")
            << QByteArray() << QStringList{} << 0 << QString();
        row("version 2", {{sprayA}, "HPAK", 2}, {}, 0,
            u"is a cache of version 2; the game writes version 1."_s);
        row("version 0", {{sprayA}, "HPAK", 0}, {}, 0, u"is a cache of version 0"_s);
    }

    void readsCache()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, sprays);
        QFETCH(int, other);
        QFETCH(QString, fault);

        const seen::CacheReading reading = seen::readCache(file);

        QCOMPARE(described(reading.sprays), sprays);
        QCOMPARE(reading.otherEntries, other);
        QVERIFY2(fault.isEmpty() ? reading.fault.isEmpty() : reading.fault.startsWith(fault),
                 qPrintable(reading.fault));
        for (const seen::SeenSpray &spray : reading.sprays) {
            QCOMPARE(spray.md5Hex(), md5Hex(spray.bytes));
            QCOMPARE(decal::gameRefusal(spray.bytes), QString());
        }
    }

    // The limit on the whole file, in memory and on disk: no larger file is read at all.
    void fileSizeLimit()
    {
        Hpk hpk{{{kSprayA}, {QByteArray()}}};
        hpk.entries[1].data = QByteArray(seen::kMaxCacheSize - hpk.size(), 'x');
        hpk.entries[1].length = 1;
        const QByteArray largest = hpk.build();
        QCOMPARE(largest.size(), seen::kMaxCacheSize);
        QCOMPARE(described(seen::readCache(largest).sprays), QStringList{u"64x64 colour"_s});
        QVERIFY(seen::readCache(largest + 'x').fault.endsWith(u": 67,108,865 bytes."_s));

        QVERIFY(tryWriteFile(path(u"custom.hpk"_s), largest + 'x'));
        const seen::CacheReading onDisk = seen::readCacheFile(path(u"custom.hpk"_s));
        QCOMPARE(onDisk.fault, u"is larger than any cache the game keeps: 67,108,865 bytes."_s);
        QVERIFY(onDisk.sprays.isEmpty());
    }

    // custom.hpk and custom2.hpk of a mod folder, read while the game holds one open.
    void readsModFolder_data()
    {
        QTest::addColumn<QByteArray>("custom");  // null: none
        QTest::addColumn<QByteArray>("custom2"); // null: none
        QTest::addColumn<QString>("how"); // of custom.hpk: "read-only", "held open", "folder"
        QTest::addColumn<QStringList>("sprays");
        QTest::addColumn<QStringList>("faults"); // each from the file's name on

        const QByteArray ab = Hpk{{{kSprayA}, {kSprayB}, {"text", 4}}}.build();
        const QByteArray bc = Hpk{{{kSprayB}, {kSprayC}}}.build();
        const QString a = u"64x64 colour"_s;
        const QString b = u"32x48 one-colour"_s;
        const QString c = u"96x64 colour"_s;
        const QByteArray none;
        QTest::newRow("no cache") << none << none << QString() << QStringList{} << QStringList{};
        QTest::newRow("custom.hpk")
            << ab << none << QString() << QStringList{a, b} << QStringList{};
        // The counterpart on Windows of a file the account may not write: the attribute.
        QTest::newRow("read-only")
            << ab << none << u"read-only"_s << QStringList{a, b} << QStringList{};
        QTest::newRow("held open for writing by the game")
            << ab << none << u"held open"_s << QStringList{a, b} << QStringList{};
        QTest::newRow("both, a spray in each")
            << ab << bc << QString() << QStringList{a, b, c} << QStringList{};
        QTest::newRow("only custom2.hpk")
            << none << bc << QString() << QStringList{b, c} << QStringList{};
        QTest::newRow("both damaged")
            << QByteArray("junk") << bc.chopped(1) << QString() << QStringList{b}
            << QStringList{u"custom.hpk is not a cache"_s,
                           u"custom2.hpk has its directory cut short"_s};
        QTest::newRow("a folder") << none << none << u"folder"_s << QStringList{}
                                  << QStringList{u"custom.hpk is not a file."_s};
    }

    void readsModFolder()
    {
        QFETCH(QByteArray, custom);
        QFETCH(QByteArray, custom2);
        QFETCH(QString, how);
        QFETCH(QStringList, sprays);
        QFETCH(QStringList, faults);
        const QString mod = seen::modFolder(m_folder->path(), u"valve"_s);
        const QString cache = mod + u"/custom.hpk"_s;
        QVERIFY(QDir().mkpath(how == u"folder" ? cache : mod));
        QVERIFY(custom.isNull() || tryWriteFile(cache, custom));
        QVERIFY(custom2.isNull() || tryWriteFile(mod + u"/custom2.hpk"_s, custom2));
        if (how == u"read-only")
            QVERIFY(QFile::setPermissions(cache, QFile::ReadOwner | QFile::ReadUser));
        QFile game(cache);
        QVERIFY(how != u"held open" || game.open(QIODevice::ReadWrite));
        const QStringList before = snapshot(mod, tagswap::testing::FileDetail::Sha1);
        const QDateTime modified = QFileInfo(cache).lastModified();

        const seen::ModCaches caches = seen::readModCaches(mod);

        QCOMPARE(described(caches.sprays), sprays);
        QCOMPARE(caches.faults.size(), faults.size());
        for (qsizetype i = 0; i < faults.size(); ++i)
            QVERIFY2(caches.faults[i].startsWith(QDir::toNativeSeparators(mod + u'/' + faults[i])),
                     qPrintable(caches.faults[i]));
        // Nothing written, renamed or left beside it; nor held: the game can replace it at once.
        QCOMPARE(snapshot(mod, tagswap::testing::FileDetail::Sha1), before);
        QCOMPARE(QFileInfo(cache).lastModified(), modified);
        game.close();
        QVERIFY(custom.isNull()
                || (QFile::setPermissions(cache, QFile::ReadOwner | QFile::WriteOwner)
                    && QFile::remove(cache)));
        QVERIFY(seen::readModCaches(seen::modFolder(QString(), u"valve"_s)).files.isEmpty());
    }

    // "#" in a name stands for the first 8 hex digits of the spray's MD5.
    void saves_data()
    {
        QTest::addColumn<QStringList>("there"); // name=same, name=other or name/ (a folder)
        QTest::addColumn<QString>("name");      // empty: nothing could be written
        QTest::addColumn<bool>("written");

        QTest::newRow("a free name") << QStringList{u"mine.wad=other"_s} << u"seen-#.wad"_s << true;
        QTest::newRow("the name holds other bytes")
            << QStringList{u"seen-#.wad=other"_s} << u"seen-#-2.wad"_s << true;
        QTest::newRow("the second name too")
            << QStringList{u"seen-#.wad=other"_s, u"seen-#-2.wad=other"_s} << u"seen-#-3.wad"_s
            << true;
        QTest::newRow("a folder has the name")
            << QStringList{u"seen-#.wad/"_s} << u"seen-#-2.wad"_s << true;
        QTest::newRow("added before")
            << QStringList{u"seen-#.wad=same"_s} << u"seen-#.wad"_s << false;
        QTest::newRow("added before as the second")
            << QStringList{u"seen-#.wad=other"_s, u"seen-#-2.wad=same"_s} << u"seen-#-2.wad"_s
            << false;
        QTest::newRow("there under a name of the player's")
            << QStringList{u"my spray.wad=same"_s} << u"my spray.wad"_s << false;
        QTest::newRow("there, not as a spray file")
            << QStringList{u"copy.txt=same"_s} << u"seen-#.wad"_s << true;
        QStringList everyName{u"seen-#.wad=other"_s};
        for (int n = 2; n <= 998; ++n)
            everyName << u"seen-#-%1.wad=other"_s.arg(n);
        QTest::newRow("the last name free") << everyName << u"seen-#-999.wad"_s << true;
        QTest::newRow("every name taken")
            << everyName + QStringList{u"seen-#-999.wad=other"_s} << QString() << false;
        QTest::newRow("no folder") << QStringList{u"-"_s} << QString() << false;
    }

    void saves()
    {
        QFETCH(QStringList, there);
        QFETCH(QString, name);
        QFETCH(bool, written);
        const seen::SeenSpray spray = seen::readCache(Hpk{{{kSprayC}}}.build()).sprays.value(0);
        const QString prefix = spray.md5Hex().left(8);
        QString folder = m_folder->path();
        for (QString entry : there) {
            entry.replace(u'#', prefix);
            if (entry == u"-")
                folder = path(u"gone"_s);
            else if (entry.endsWith(u'/'))
                QVERIFY(QDir(folder).mkdir(entry.chopped(1)));
            else
                QVERIFY(tryWriteFile(path(entry.section(u'=', 0, 0)),
                                     entry.endsWith(u"=same") ? kSprayC : testSpray(9, 96, 64)));
        }
        name.replace(u'#', prefix);
        const QStringList before = snapshot(m_folder->path(), tagswap::testing::FileDetail::Sha1);

        seen::SprayFolder into(folder);
        const seen::SaveOutcome outcome = into.save(spray);

        QCOMPARE(outcome.name, name);
        QCOMPARE(outcome.written, written);
        QCOMPARE(outcome.error.isEmpty(), !name.isEmpty());
        QStringList after = snapshot(m_folder->path(), tagswap::testing::FileDetail::Sha1);
        if (written) {
            QCOMPARE(readFile(QDir(folder).filePath(name)), kSprayC);
            after.removeOne(
                name + u' '
                + QString::fromLatin1(
                    QCryptographicHash::hash(kSprayC, QCryptographicHash::Sha1).toHex()));
        }
        QCOMPARE(after, before);
        // The same spray again is found where it went.
        if (!name.isEmpty())
            QCOMPARE(into.save(spray).name, name);
    }

    // The demo's cache is the demo tool's, made again from its own sprays byte for byte.
    void demoCache()
    {
        QProcess tool;
        tool.start(QStringLiteral(TAGSWAP_MAKE_DEMO_SPRAYS), {m_folder->path()});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        const QString shipped = QStringLiteral(TAGSWAP_DEMO_DIR "/Half-Life/valve/custom.hpk");
        QCOMPARE(readFile(path(u"Half-Life/valve/custom.hpk"_s)), readFile(shipped));

        const seen::CacheReading reading = seen::readCacheFile(shipped);
        QCOMPARE(reading.fault, QString());
        QVERIFY(reading.sprays.size() >= 4);
        seen::SprayFolder demo(QStringLiteral(TAGSWAP_DEMO_DIR));
        QStringList inDemo;
        for (const seen::SeenSpray &spray : reading.sprays)
            inDemo << demo.holding(spray);
        inDemo.removeAll(QString());
        QVERIFY2(inDemo.size() >= 2 && inDemo.size() < reading.sprays.size(),
                 qPrintable(inDemo.join(u", "_s)));
    }
    // tagswap-spray seen, in the words of info, with its exit statuses.
    void command_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("out");
        QTest::addColumn<QString>("err"); // the one line on stderr; empty: none

        const QString a = md5Hex(kSprayA) + u"  64x64 colour, 6296 bytes"_s;
        const QStringList all{a, md5Hex(kSprayB) + u"  32x48 one-colour, 2896 bytes"_s,
                              md5Hex(kSprayC) + u"  96x64 colour, 9016 bytes"_s,
                              u"3 sprays, 1 entries that are not sprays"_s};
        const QString usage = u"tagswap-spray: seen takes exactly one PATH. See tagswap-spray "
                              "seen --help."_s;
        QTest::newRow("a mod folder") << QStringList{u"valve"_s} << 0 << all << QString();
        QTest::newRow("a cache file")
            << QStringList{u"valve/custom.hpk"_s} << 0 << all << QString();
        QTest::newRow("a mod folder without a cache")
            << QStringList{u"tfc/"_s} << 0
            << QStringList{u"The game has not cached any sprays for tfc yet."_s} << QString();
        QTest::newRow("an entry outside the file")
            << QStringList{u"broken.hpk"_s} << 1
            << QStringList{a, u"1 sprays, 1 entries that are not sprays"_s}
            << u"tagswap-spray: broken.hpk has entry 2 outside the file."_s;
        QTest::newRow("not a cache")
            << QStringList{u"tfc/notes.txt"_s} << 1 << QStringList{}
            << u"tagswap-spray: tfc/notes.txt is not a cache of the game (no HPAK header)."_s;
        QTest::newRow("missing") << QStringList{u"custom.hpk"_s} << 1 << QStringList{}
                                 << u"tagswap-spray: custom.hpk does not exist."_s;
        QTest::newRow("no PATH") << QStringList{} << 2 << QStringList{} << usage;
        QTest::newRow("two PATHs")
            << QStringList{u"valve"_s, u"tfc"_s} << 2 << QStringList{} << usage;
    }

    void command()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        QVERIFY(writeCommandCaches());

        const Run run = seenCommand(arguments);

        QCOMPARE(run.out, out);
        QCOMPARE(run.err.trimmed(), err);
        QCOMPARE(run.status, status);
        QCOMPARE(readFile(path(u"valve/custom.hpk"_s)), kValveCache);
    }

    void commandJsonAndSave()
    {
        QVERIFY(writeCommandCaches());
        const QString name = seenName(kSprayA);
        const QString secondC = seenName(kSprayC, u"-2"_s);
        QVERIFY(QDir(m_folder->path()).mkpath(u"mine"_s));
        QVERIFY(tryWriteFile(path(u"mine/b.wad"_s), kSprayB));
        QVERIFY(tryWriteFile(path(u"mine/"_s + seenName(kSprayC)), "x"));

        Run run = seenCommand({u"valve"_s, u"--save"_s, u"mine"_s});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.mid(4), (QStringList{u"mine/"_s + name, u"mine/"_s + secondC}));
        QCOMPARE(readFile(path(u"mine/"_s + secondC)), kSprayC);
        QCOMPARE(seenCommand({u"valve"_s, u"--save"_s, u"mine"_s}).out.size(), 4);

        run = seenCommand({u"valve"_s, u"--json"_s, u"--save"_s, u"new/folder"_s});
        const QJsonArray all = QJsonDocument::fromJson(run.out.join(u'\n').toUtf8()).array();
        QCOMPARE(all.size(), 3);
        QCOMPARE(all[0].toObject(), (QJsonObject{{u"md5"_s, md5Hex(kSprayA)},
                                                 {u"width"_s, 64},
                                                 {u"height"_s, 64},
                                                 {u"kind"_s, u"colour"_s},
                                                 {u"bytes"_s, 6296},
                                                 {u"file"_s, u"new/folder/"_s + name}}));
        QCOMPARE(readFile(path(u"new/folder/"_s + name)), kSprayA);
        QCOMPARE(seenCommand({u"tfc"_s, u"--json"_s}).out, (QStringList{u"["_s, u"]"_s}));
        run = seenCommand({u"valve"_s, u"--save"_s, u"tfc/notes.txt/sub"_s});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err.trimmed(),
                 u"tagswap-spray: the folder tfc/notes.txt/sub cannot be made."_s);
    }
};

QTEST_GUILESS_MAIN(TestSeenSprays)
#include "tst_seen_sprays.moc"

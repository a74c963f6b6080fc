#include "line_reader.h"
#include "test_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tagswap;
using namespace Qt::StringLiterals;
using tagswap::testing::writeFile;

class TestLineReader : public QObject {
    Q_OBJECT

private slots:
    void init();

    void fileThatCannotBeOpened_data();
    void fileThatCannotBeOpened();
    void splitsAndDecodes_data();
    void splitsAndDecodes();
    void lineStartingWithByteOrderMarkKeepsIt();
    void crLfAcrossReadChunks_data();
    void crLfAcrossReadChunks();
    void limits_data();
    void limits();
    void longLineIsCutAndReadingGoesOn();
    void manyLinesStopAtTheListLimit();

private:
    QString modsPath() const { return m_dir->filePath(QStringLiteral("mods.txt")); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestLineReader::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestLineReader::fileThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("setup");

    QTest::newRow("missing") << QStringLiteral("missing");
    QTest::newRow("folder named mods.txt") << QStringLiteral("folder");
    QTest::newRow("path through a file") << QStringLiteral("through-file");
}

void TestLineReader::fileThatCannotBeOpened()
{
    QFETCH(QString, setup);

    QString path = modsPath();
    if (setup == u"folder") {
        QVERIFY(QDir().mkpath(path));
        writeFile(path + QStringLiteral("/valve"), "valve\r\n");
    } else if (setup == u"through-file") {
        writeFile(m_dir->filePath(QStringLiteral("game")), "valve\r\n");
        path = m_dir->filePath(QStringLiteral("game/mods.txt"));
    }

    QVERIFY(!readTextLines(path).has_value());
}

void TestLineReader::splitsAndDecodes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("lines");

    const QString empty;
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("CR LF after each line")
        << QByteArray("valve\r\ntfc\r\n") << QStringList{u"valve"_s, u"tfc"_s};
    QTest::newRow("no line end after the last line")
        << QByteArray("valve\r\ntfc") << QStringList{u"valve"_s, u"tfc"_s};
    QTest::newRow("single line without end") << QByteArray("valve") << QStringList{u"valve"_s};
    QTest::newRow("a line end alone") << QByteArray("\r\n") << QStringList{empty};
    QTest::newRow("empty lines in place") << QByteArray("\r\nvalve\r\n\r\ntfc\r\n\r\n")
                                          << QStringList{empty, u"valve"_s, empty, u"tfc"_s, empty};
    QTest::newRow("blanks kept") << QByteArray(" valve \r\n\ttfc\t\r\n   \r\n")
                                 << QStringList{u" valve "_s, u"\ttfc\t"_s, u"   "_s};
    QTest::newRow("duplicates kept") << QByteArray("valve\r\nvalve\r\ntfc\r\nvalve\r\n")
                                     << QStringList{u"valve"_s, u"valve"_s, u"tfc"_s, u"valve"_s};
    QTest::newRow("lone LF") << QByteArray("valve\ntfc\n") << QStringList{u"valve"_s, u"tfc"_s};
    QTest::newRow("lone CR") << QByteArray("valve\rtfc\r") << QStringList{u"valve"_s, u"tfc"_s};
    QTest::newRow("mixed line ends")
        << QByteArray("a\r\nb\nc\rd") << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    QTest::newRow("LF CR is two line ends")
        << QByteArray("a\n\rb") << QStringList{u"a"_s, empty, u"b"_s};
    QTest::newRow("CR CR LF is two line ends")
        << QByteArray("a\r\r\nb") << QStringList{u"a"_s, empty, u"b"_s};
    QTest::newRow("byte-order mark skipped")
        << QByteArray("\xEF\xBB\xBFvalve\r\ntfc\r\n") << QStringList{u"valve"_s, u"tfc"_s};
    QTest::newRow("byte-order mark alone") << QByteArray("\xEF\xBB\xBF") << QStringList{};
    QTest::newRow("UTF-8") << QByteArray("\xC3\x9Cn\xC3\xAF \xE6\x97\xA5\xE6\x9C\xAC\r\n")
                           << QStringList{u"Ün\u00EF 日本"_s};
    QTest::newRow("invalid UTF-8 read as Latin-1")
        << QByteArray("caf\xE9\r\n\x80\xFF\r\n") << QStringList{u"caf\u00E9"_s, u"\u0080\u00FF"_s};
    QTest::newRow("UTF-8 cut short read as Latin-1")
        << QByteArray("valve\xC3\r\n") << QStringList{u"valve\u00C3"_s};
    QTest::newRow("each line decoded on its own")
        << QByteArray("\xE6\x97\xA5\r\ncaf\xE9\r\n\xC3\xA9")
        << QStringList{u"日"_s, u"caf\u00E9"_s, u"\u00E9"_s};
    QTest::newRow("NUL inside a line")
        << QByteArray("val\0ve\r\n\0\r\n", 11)
        << QStringList{QStringView(u"val\0ve", 6).toString(), QStringView(u"\0", 1).toString()};
}

void TestLineReader::splitsAndDecodes()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, lines);

    writeFile(modsPath(), content);
    const std::optional<QStringList> read = readTextLines(modsPath());
    QVERIFY(read.has_value());
    QCOMPARE(*read, lines);
}

void TestLineReader::lineStartingWithByteOrderMarkKeepsIt()
{
    // Only the mark at the very start of the file is dropped; one later in the
    // file (two files joined with cat) is text of its line like any other.
    writeFile(modsPath(), "valve\r\n\xEF\xBB\xBFtfc\r\n");
    const std::optional<QStringList> read = readTextLines(modsPath());
    QVERIFY(read.has_value());
    QCOMPARE(*read, (QStringList{u"valve"_s, u"\uFEFFtfc"_s}));
}

void TestLineReader::crLfAcrossReadChunks_data()
{
    QTest::addColumn<bool>("withByteOrderMark");
    QTest::addColumn<qsizetype>("crOffset");

    QTest::newRow("CR last byte of the first 64 KiB") << false << qsizetype(65535);
    QTest::newRow("CR last byte of the second 64 KiB") << false << qsizetype(2 * 65536 - 1);
    QTest::newRow("after a mark, CR last byte of the first 64 KiB read")
        << true << qsizetype(3 + 65535);
}

void TestLineReader::crLfAcrossReadChunks()
{
    QFETCH(bool, withByteOrderMark);
    QFETCH(qsizetype, crOffset);

    QByteArray content = withByteOrderMark ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    QStringList expected;
    const QByteArray line(100, 'm');
    while (content.size() + line.size() + 2 + 1 <= crOffset) {
        content += line + "\r\n";
        expected << QString::fromLatin1(line);
    }
    const QByteArray last(crOffset - content.size(), 'z');
    content += last + "\r\ntfc\r\n";
    expected << QString::fromLatin1(last) << u"tfc"_s;
    QCOMPARE(content.at(crOffset), '\r');

    writeFile(modsPath(), content);
    const std::optional<QStringList> read = readTextLines(modsPath());
    QVERIFY(read.has_value());
    QCOMPARE(read->size(), expected.size());
    QCOMPARE(*read, expected);
}

void TestLineReader::limits_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qsizetype>("maxLines");
    QTest::addColumn<qsizetype>("maxLineBytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("cutShort"); // the file held more than the limits let through

    QTest::newRow("more lines than allowed")
        << QByteArray("a\r\nb\r\nc\r\nd\r\ne") << qsizetype(3) << qsizetype(1024)
        << QStringList{u"a"_s, u"b"_s, u"c"_s} << true;
    QTest::newRow("exactly as many lines as allowed")
        << QByteArray("a\r\nb\r\nc\r\n") << qsizetype(3) << qsizetype(1024)
        << QStringList{u"a"_s, u"b"_s, u"c"_s} << false;
    QTest::newRow("as many lines as allowed, the last without an end")
        << QByteArray("a\nb") << qsizetype(2) << qsizetype(1024) << QStringList{u"a"_s, u"b"_s}
        << false;
    QTest::newRow("one empty line more than allowed")
        << QByteArray("a\r\n\r\n") << qsizetype(1) << qsizetype(1024) << QStringList{u"a"_s}
        << true;
    QTest::newRow("empty lines count")
        << QByteArray("\r\n\r\n\r\nvalve\r\n") << qsizetype(2) << qsizetype(1024)
        << QStringList{QString(), QString()} << true;
    QTest::newRow("long lines cut, the rest of each line dropped")
        << QByteArray("abcdefgh\r\nij\r\nklmn\nopqrs") << qsizetype(10) << qsizetype(4)
        << QStringList{u"abcd"_s, u"ij"_s, u"klmn"_s, u"opqr"_s} << true;
    QTest::newRow("a line exactly as long as allowed")
        << QByteArray("abcd\r\nij") << qsizetype(10) << qsizetype(4)
        << QStringList{u"abcd"_s, u"ij"_s} << false;
    QTest::newRow("cut line still ends at CR LF")
        << QByteArray("abcdef\r\n\r\nx") << qsizetype(10) << qsizetype(2)
        << QStringList{u"ab"_s, QString(), u"x"_s} << true;
}

void TestLineReader::limits()
{
    QFETCH(QByteArray, content);
    QFETCH(qsizetype, maxLines);
    QFETCH(qsizetype, maxLineBytes);
    QFETCH(QStringList, lines);
    QFETCH(bool, cutShort);

    writeFile(modsPath(), content);
    bool cut = !cutShort;
    const std::optional<QStringList> read =
        readTextLines(modsPath(), {maxLines, maxLineBytes}, &cut);
    QVERIFY(read.has_value());
    QCOMPARE(*read, lines);
    QCOMPARE(cut, cutShort);
}

void TestLineReader::longLineIsCutAndReadingGoesOn()
{
    const QByteArray huge(qsizetype(1024) * 1024, 'x');
    writeFile(modsPath(), "valve\r\n" + huge + "\r\ntfc\r\n");

    const LineLimits limits;
    const std::optional<QStringList> read = readTextLines(modsPath(), limits);
    QVERIFY(read.has_value());
    QCOMPARE(read->size(), qsizetype(3));
    QCOMPARE(read->at(0), u"valve"_s);
    QCOMPARE(read->at(1), QString(limits.maxLineBytes, u'x'));
    QCOMPARE(read->at(2), u"tfc"_s);
}

void TestLineReader::manyLinesStopAtTheListLimit()
{
    QByteArray content;
    for (int i = 0; i < 100000; ++i)
        content += "mod" + QByteArray::number(i) + "\r\n";
    writeFile(modsPath(), content);

    const std::optional<QStringList> read = readTextLines(modsPath());
    QVERIFY(read.has_value());
    QCOMPARE(read->size(), LineLimits{}.maxLines);
    QCOMPARE(read->size(), qsizetype(32767));
    QCOMPARE(read->first(), u"mod0"_s);
    QCOMPARE(read->last(), u"mod32766"_s);
}

QTEST_GUILESS_MAIN(TestLineReader)
#include "tst_line_reader.moc"

// Starting a program on Windows: the arguments reach it exactly as Windows'
// own rules split them, never through cmd.exe, and what cannot be started
// says why. The program started is record-arguments.exe, standing in for hl.exe.
#include "scratch_folder.h"
#include "spawner.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <windows.h>

#include <shellapi.h>

using namespace tagswap;
using namespace Qt::StringLiterals;
using tagswap::testing::readFile;
using tagswap::testing::ScratchFolder;

namespace {

constexpr int startTimeoutMs = 20000;

// How the C runtime of the program started splits "program <text>".
QStringList splitLikeWindows(const QString &text)
{
    const QString line = u"program.exe "_s + text;
    int count = 0;
    wchar_t **words = CommandLineToArgvW(reinterpret_cast<const wchar_t *>(line.utf16()), &count);
    QStringList split;
    for (int i = 1; words && i < count; ++i)
        split << QString::fromWCharArray(words[i]);
    LocalFree(words);
    return split;
}

QStringList recordedWords(const QString &record)
{
    QStringList words = QString::fromUtf8(readFile(record)).split(QChar(0));
    words.removeLast(); // after the last NUL
    return words;
}

} // namespace

class TestSpawnWindows : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wordsSurviveTheRoundTrip_data();
    void wordsSurviveTheRoundTrip();
    void typedTextPassesUnchanged_data();
    void typedTextPassesUnchanged();
    void reportsWhatCannotBeStarted_data();
    void reportsWhatCannotBeStarted();
    void textAfterProgramPath_data();
    void textAfterProgramPath();

private:
    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    // A game folder under a user folder with a name beyond ASCII, as players have.
    QString gamePath() const { return path(u"Jürgen/Half-Life"_s); }
    QString recordPath() const { return path(u"record"_s); }
    QStringList launchAndRecord(const CommandLine &arguments);

    std::unique_ptr<ScratchFolder> m_dir;
};

void TestSpawnWindows::init()
{
    m_dir = std::make_unique<ScratchFolder>();
    QVERIFY(QDir().mkpath(gamePath()));
    QVERIFY(QFile::copy(QStringLiteral(TAGSWAP_RECORDER), gamePath() + u"/hl.exe"_s));
    qputenv("TAGSWAP_RECORD_TO", QDir::toNativeSeparators(recordPath()).toUtf8());
}

void TestSpawnWindows::cleanup()
{
    m_dir.reset();
}

// Starts the stand-in game in its folder and returns what it recorded: the
// folder it ran in, then its arguments.
QStringList TestSpawnWindows::launchAndRecord(const CommandLine &arguments)
{
    QString error;
    const ProgramLaunch launch{gamePath() + u"\\hl.exe"_s, arguments, gamePath()};
    if (!spawnDetached(launch, &error))
        return {u"not started: "_s + error};
    // The record always names a folder; under load Wine may show the name a
    // moment before the file can be opened.
    if (!QTest::qWaitFor([&] { return !readFile(recordPath()).isEmpty(); }, startTimeoutMs))
        return {u"nothing recorded"_s};
    return recordedWords(recordPath());
}

void TestSpawnWindows::wordsSurviveTheRoundTrip_data()
{
    QTest::addColumn<QStringList>("words");

    QTest::newRow("plain") << QStringList{u"-game"_s, u"tfc"_s};
    QTest::newRow("blanks") << QStringList{u"two words"_s, u"tab\there"_s};
    QTest::newRow("quotes") << QStringList{u"\"quoted\""_s, u"a\"b"_s};
    QTest::newRow("backslashes") << QStringList{u"C:\\Half-Life\\"_s, u"a\\\\b"_s};
    QTest::newRow("backslashes before a quote") << QStringList{u"a\\\"b"_s, u"\\\\\""_s};
    QTest::newRow("empty words") << QStringList{QString(), u"-game"_s, QString()};
    QTest::newRow("beyond ASCII") << QStringList{u"+name Jürgen ñandú"_s};
    // Each would do something if cmd.exe ever saw the line.
    QTest::newRow("cmd.exe's signs")
        << QStringList{u"%PATH%"_s, u"a&b"_s, u"|"_s, u"^"_s, u"<x>"_s};
}

void TestSpawnWindows::wordsSurviveTheRoundTrip()
{
    QFETCH(QStringList, words);
    QCOMPARE(launchAndRecord(CommandLine::fromWords(words)),
             QStringList{QDir::toNativeSeparators(gamePath())} + words);
}

void TestSpawnWindows::typedTextPassesUnchanged_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("options") << u"-game tfc +map 2fort"_s;
    QTest::newRow("quoted name") << uR"(-game tfc "+name \"Jürgen x\"" "")"_s;
    QTest::newRow("blanks kept") << u"  a   b  "_s;
    QTest::newRow("unbalanced quote") << u"\"a b"_s;
}

void TestSpawnWindows::typedTextPassesUnchanged()
{
    QFETCH(QString, text);
    // The game splits the player's text itself, exactly as it would have split
    // it had the player started the game directly.
    QCOMPARE(launchAndRecord(CommandLine{text}),
             QStringList{QDir::toNativeSeparators(gamePath())} + splitLikeWindows(text));
}

void TestSpawnWindows::reportsWhatCannotBeStarted_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("workingDirectory");

    const QString game = u"<game>"_s;
    QTest::newRow("missing program") << u"<game>/missing.exe"_s << game;
    QTest::newRow("empty program") << QString() << game;
    QTest::newRow("program is a folder") << game << game;
    QTest::newRow("not a program") << u"<game>/text.exe"_s << game;
    // The current folder is the spray folder: nothing there is run by name.
    QTest::newRow("bare name only in the current folder") << u"hl.exe"_s << game;
    QTest::newRow("missing working folder") << u"<game>/hl.exe"_s << u"<game>/missing"_s;
}

void TestSpawnWindows::reportsWhatCannotBeStarted()
{
    QFETCH(QString, program);
    QFETCH(QString, workingDirectory);
    program.replace(u"<game>"_s, gamePath());
    workingDirectory.replace(u"<game>"_s, gamePath());
    tagswap::testing::writeFile(gamePath() + u"/text.exe"_s, "not a program");
    QVERIFY(QDir::setCurrent(gamePath()));

    QString error;
    QVERIFY(!spawnDetached({program, CommandLine{u"-game tfc"_s}, workingDirectory}, &error));
    QVERIFY(!error.trimmed().isEmpty());
    QTest::qWait(500);
    QVERIFY(!QFileInfo::exists(recordPath()));
}

void TestSpawnWindows::textAfterProgramPath_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("text");

    QTest::newRow("quoted path") << uR"("C:\Program Files\Tagswap\Tagswap.exe" -game tfc)"_s
                                 << u"-game tfc"_s;
    QTest::newRow("bare path") << u"Tagswap.exe -game tfc"_s << u"-game tfc"_s;
    QTest::newRow("tab after the path") << u"Tagswap.exe\t-game"_s << u"-game"_s;
    QTest::newRow("no arguments") << uR"("C:\a b\Tagswap.exe")"_s << QString();
    QTest::newRow("blanks inside and after kept")
        << u"Tagswap.exe   \"x  y\"  z "_s << u"\"x  y\"  z "_s;
    QTest::newRow("quote left open") << uR"("C:\a b\Tagswap.exe -game)"_s << QString();
}

void TestSpawnWindows::textAfterProgramPath()
{
    QFETCH(QString, line);
    QFETCH(QString, text);
    QCOMPARE(tagswap::textAfterProgramPath(line), text);
}

QTEST_GUILESS_MAIN(TestSpawnWindows)
#include "tst_spawn_windows.moc"

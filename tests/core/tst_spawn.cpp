#include "scratch_folder.h"
#include "spawner.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <memory>
#include <sys/wait.h>

using namespace tagswap;
using namespace Qt::StringLiterals;
using tagswap::testing::readFile;
using tagswap::testing::ScratchFolder;

namespace {

constexpr int startTimeoutMs = 10000;

void writeFile(const QString &path, const QByteArray &bytes, QFile::Permissions permissions)
{
    tagswap::testing::writeFile(path, bytes);
    if (QTest::currentTestFailed()) // then there may be no file to set them on
        return;
    QVERIFY(QFile::setPermissions(path, permissions));
}

constexpr QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                          | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                          | QFile::ExeOther;
constexpr QFile::Permissions plain =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;

QByteArray quotedForShell(const QString &path)
{
    QByteArray bytes = QFile::encodeName(path);
    bytes.replace("'", "'\\''");
    return '\'' + bytes + '\'';
}

QByteArray nulSeparated(const QList<QByteArray> &words)
{
    QByteArray bytes;
    for (const QByteArray &word : words)
        bytes += word + '\0';
    return bytes;
}

} // namespace

class TestSpawn : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void argumentsArriveByteForByte();
    void findsTheProgram_data();
    void findsTheProgram();
    void reportsWhatCannotBeStarted_data();
    void reportsWhatCannotBeStarted();
    void returnsWhileTheProgramRuns();
    void commandLineOfThisProcessKeepsRawBytes();

private:
    QString path(const QString &relative) const { return m_dir->filePath(relative); }
    QString recorderPath() const { return path(u"bin/tagswap-test-viewer"_s); }
    QString outputPath() const { return path(u"out"_s); }
    QString workPath() const { return path(u"work dir"_s); }
    void writeRecorder();
    void verifyNothingInjected();

    std::unique_ptr<ScratchFolder> m_dir;
    QByteArray m_path;
};

void TestSpawn::init()
{
    m_dir = std::make_unique<ScratchFolder>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(u"bin"_s));
    QVERIFY(QDir(m_dir->path()).mkdir(u"work dir"_s));
    m_path = qgetenv("PATH");
    writeRecorder();
}

void TestSpawn::cleanup()
{
    m_dir.reset();
    qputenv("PATH", m_path);
}

// Records the directory it runs in and every argument, each ended by a NUL,
// and moves the record into place only when it is complete.
void TestSpawn::writeRecorder()
{
    const QByteArray out = quotedForShell(outputPath());
    writeFile(recorderPath(),
              "#!/bin/sh\n"
              "printf '%s\\0' \"$(pwd -P)\" \"$@\" > "
                  + out
                  + ".part\n"
                    "mv "
                  + out + ".part " + out + "\n",
              executable);
}

void TestSpawn::verifyNothingInjected()
{
    for (const QString &folder :
         {m_dir->path(), workPath(), path(u"bin"_s), m_dir->startDirectory()})
        QVERIFY2(!QFileInfo::exists(folder + u"/pwned"_s), qPrintable(folder));
}

void TestSpawn::argumentsArriveByteForByte()
{
    const QList<QByteArray> arguments = {
        "two words",
        "\"double\" and 'single' quotes",
        "$(touch pwned)",
        "`touch pwned`",
        "; touch pwned",
        "| touch pwned &",
        "*",
        "$HOME ${PATH}",
        "line\nbreak",
        "",
        "\\",
        QByteArray("\xff\xfe"),
        "-game",
        "",
    };
    ProgramLaunch launch{recorderPath(), {}, workPath()};
    launch.arguments.arguments = arguments;

    QString error;
    QVERIFY2(spawnDetached(launch, &error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(outputPath()), startTimeoutMs);

    const QByteArray workingDirectory =
        QFile::encodeName(QFileInfo(workPath()).canonicalFilePath());
    QCOMPARE(readFile(outputPath()), nulSeparated(QList<QByteArray>{workingDirectory} + arguments));
    verifyNothingInjected();
}

void TestSpawn::findsTheProgram_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("inWorkDirectory");

    QTest::newRow("absolute path") << u"<root>/bin/tagswap-test-viewer"_s << true;
    // Resolved against our own directory, not the one the program runs in.
    QTest::newRow("relative path") << u"./bin/tagswap-test-viewer"_s << true;
    QTest::newRow("path with dot-dot") << u"work dir/../bin/tagswap-test-viewer"_s << true;
    QTest::newRow("bare name on the search path") << u"tagswap-test-viewer"_s << true;
    QTest::newRow("no working directory given: ours") << u"./bin/tagswap-test-viewer"_s << false;
}

void TestSpawn::findsTheProgram()
{
    QFETCH(QString, program);
    QFETCH(bool, inWorkDirectory);
    program.replace(u"<root>"_s, m_dir->path());

    QVERIFY(QDir::setCurrent(m_dir->path()));
    qputenv("PATH", QFile::encodeName(path(u"bin"_s)) + ':' + m_path);

    ProgramLaunch launch{program, {}, inWorkDirectory ? workPath() : QString()};
    launch.arguments.arguments = {"-game", "tfc"};
    QString error;
    QVERIFY2(spawnDetached(launch, &error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(outputPath()), startTimeoutMs);

    const QString directory = inWorkDirectory ? workPath() : m_dir->path();
    QCOMPARE(readFile(outputPath()),
             nulSeparated(
                 {QFile::encodeName(QFileInfo(directory).canonicalFilePath()), "-game", "tfc"}));
}

void TestSpawn::reportsWhatCannotBeStarted_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("workingDirectory");

    const QString recorder = u"<root>/bin/tagswap-test-viewer"_s;
    const QString work = u"<root>/work dir"_s;
    QTest::newRow("missing program") << u"<root>/bin/hl.exe"_s << work;
    QTest::newRow("program below a file") << recorder + u"/hl.exe"_s << work;
    QTest::newRow("bare name not on the search path") << u"tagswap-test-no-such-viewer"_s << work;
    QTest::newRow("empty program") << QString() << work;
    QTest::newRow("program is a folder") << work << work;
    QTest::newRow("not executable") << u"<root>/bin/plain"_s << work;
    // Nothing falls back to a shell for a file that is not a program.
    QTest::newRow("script without #! line") << u"<root>/bin/bare-script"_s << work;
    QTest::newRow("missing working directory") << recorder << u"<root>/no such dir"_s;
    QTest::newRow("working directory is a file") << recorder << recorder;
}

void TestSpawn::reportsWhatCannotBeStarted()
{
    QFETCH(QString, program);
    QFETCH(QString, workingDirectory);
    program.replace(u"<root>"_s, m_dir->path());
    workingDirectory.replace(u"<root>"_s, m_dir->path());

    // Root may read and write anything, but not run a file without an execute bit.
    writeFile(path(u"bin/plain"_s), "#!/bin/sh\ntouch pwned\n", plain);
    writeFile(path(u"bin/bare-script"_s), "touch pwned\n", executable);

    ProgramLaunch launch{program, {}, workingDirectory};
    launch.arguments.arguments = {"-game", "valve"};
    QString error;
    QVERIFY(!spawnDetached(launch, &error));
    QVERIFY(!error.trimmed().isEmpty());
    verifyNothingInjected();
}

void TestSpawn::returnsWhileTheProgramRuns()
{
    // The program waits for the test's go-ahead, so if the call waited for it
    // the test would hang instead of seeing the call return. The loop is
    // bounded so that a failed test leaves nothing running for long.
    const QByteArray go = quotedForShell(path(u"go"_s));
    const QByteArray out = quotedForShell(outputPath());
    writeFile(path(u"bin/game"_s),
              "#!/bin/sh\n"
              "i=0\n"
              "while [ ! -e "
                  + go
                  + " ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n"
                    "printf started > "
                  + out + "\n",
              executable);

    QString error;
    QVERIFY2(spawnDetached(ProgramLaunch{path(u"bin/game"_s), {}, workPath()}, &error),
             qPrintable(error));
    QVERIFY2(!QFileInfo::exists(outputPath()), "the call waited for the program to end");

    // Detached: the program is not our child, and no child of ours is left over.
    errno = 0;
    QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
    QCOMPARE(errno, ECHILD);

    writeFile(path(u"go"_s), QByteArray(), plain);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(outputPath()), startTimeoutMs);
    QCOMPARE(readFile(outputPath()), QByteArray("started"));
}

void TestSpawn::commandLineOfThisProcessKeepsRawBytes()
{
    char program[] = "/usr/games/tagswap";
    char game[] = "-game";
    char empty[] = "";
    char invalid[] = "\xff\xfe";
    char blanks[] = " two  words ";
    char *argv[] = {program, game, empty, invalid, blanks, nullptr};

    const CommandLine line = CommandLine::ofThisProcess(5, argv);
    QCOMPARE(line.arguments, (QList<QByteArray>{"-game", "", "\xff\xfe", " two  words "}));
    QVERIFY(!line.isEmpty());
    QVERIFY(CommandLine::ofThisProcess(1, argv).isEmpty());
}

QTEST_GUILESS_MAIN(TestSpawn)
#include "tst_spawn.moc"

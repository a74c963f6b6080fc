#include "file_guards.h"
#include "file_replace.h"
#include "scratch_folder.h"
#include "test_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tagswap;
using namespace Qt::StringLiterals;
using tagswap::testing::FileDetail;
using tagswap::testing::readFile;
using tagswap::testing::ScratchFolder;
using tagswap::testing::snapshot;
using tagswap::testing::writeFile;

namespace {

// Run by the test on itself in a child process, so that the file size limit
// hits the copy and not the test.
constexpr char copyWithSizeLimit[] = "--copy-with-size-limit";
constexpr char writeWithSizeLimit[] = "--write-with-size-limit";

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator.generate() & 0xff);
    return bytes;
}

int runWithSizeLimit(bool copy, const char *source, const char *destination)
{
#ifdef Q_OS_UNIX
    constexpr rlim_t sizeLimit = rlim_t(64) * 1024;
    const rlimit limit{sizeLimit, sizeLimit};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 3;
    // Without this the kernel would kill us instead of failing the write.
    std::signal(SIGXFSZ, SIG_IGN);
    QString error;
    const QString to = QFile::decodeName(destination);
    if (copy ? replaceWithCopy(QFile::decodeName(source), to, &error)
             : writeFileWhole(to, randomBytes(qsizetype(1024) * 1024, 10), &error))
        return 0;
    // The system's own reason, not an unknown error after the first short write.
    return error == QString::fromLocal8Bit(std::strerror(EFBIG)) ? 1 : 2;
#else
    Q_UNUSED(copy);
    Q_UNUSED(source);
    Q_UNUSED(destination);
    return 3;
#endif
}

#ifdef Q_OS_UNIX
// A pipe with a writer waiting on the other end, so that a copy which wrongly
// reads it gets a few bytes and an end instead of waiting forever: the case
// then fails on the result rather than hanging. Gone with the object, which
// lets the writer go whether or not anything read.
class FedPipe {
public:
    explicit FedPipe(const QString &path) : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0644) == 0;
        if (m_made)
            m_writer = std::thread([this] { feed(); });
    }
    FedPipe(const FedPipe &) = delete;
    FedPipe &operator=(const FedPipe &) = delete;
    ~FedPipe()
    {
        if (!m_made)
            return;
        // Held open until the writer is done, so its open() cannot miss it.
        const int reader = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK);
        m_writer.join();
        if (reader >= 0)
            ::close(reader);
    }
    bool isValid() const { return m_made; }

private:
    void feed() const
    {
        const int fd = ::open(m_path.constData(), O_WRONLY);
        if (fd < 0)
            return;
        [[maybe_unused]] const ssize_t written = ::write(fd, "from the pipe", 13);
        ::close(fd);
    }

    QByteArray m_path;
    bool m_made = false;
    std::thread m_writer;
};
#endif

} // namespace

class TestFileReplace : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copiesEveryByte_data();
    void copiesEveryByte();
    void failureLeavesEverythingAsItWas_data();
    void failureLeavesEverythingAsItWas();
    void copyOntoItself_data();
    void copyOntoItself();
    void writeFailingPartWayKeepsOldDestination_data();
    void writeFailingPartWayKeepsOldDestination();
    void staleBackupsAreCleared_data();
    void staleBackupsAreCleared();
#ifndef Q_OS_WIN
    // Left out on Windows: it needs a link (see copyOntoItself_data()).
    void failedPutBackIsSaid();
#endif
    void isExistingFile_data();
    void isExistingFile();

private:
    QString path(const QString &relative) const
    {
        return m_dir->filePath(relative);
    }

    std::unique_ptr<ScratchFolder> m_dir;
};

void TestFileReplace::init()
{
    m_dir = std::make_unique<ScratchFolder>();
    QVERIFY(m_dir->isValid());
}

void TestFileReplace::cleanup()
{
    m_dir.reset();
}

void TestFileReplace::copiesEveryByte_data()
{
    QTest::addColumn<qsizetype>("size");

    // Around the 64 KiB blocks in which files are usually read and written.
    for (const qsizetype size : {0, 1, 65535, 65536, 65537, 3 * 1024 * 1024})
        QTest::addRow("%lld bytes", static_cast<long long>(size)) << size;
}

void TestFileReplace::copiesEveryByte()
{
    QFETCH(qsizetype, size);

    const QByteArray spray = randomBytes(size, quint32(size) + 1);
    writeFile(path(u"spray.wad"_s), spray);
    QVERIFY(QDir(m_dir->path()).mkdir(u"valve"_s));
    const QString destination = path(u"valve/pldecal.wad"_s);

    QString error;
    QVERIFY2(replaceWithCopy(path(u"spray.wad"_s), destination, &error), qPrintable(error));
    QCOMPARE(readFile(destination), spray);

    // A longer file already in place must not leave its tail behind.
    writeFile(destination, QByteArray(size + 70000, 'Z'));
    QVERIFY2(replaceWithCopy(path(u"spray.wad"_s), destination, &error), qPrintable(error));
    QCOMPARE(readFile(destination), spray);

    QCOMPARE(readFile(path(u"spray.wad"_s)), spray);
    QCOMPARE(
        QDir(path(u"valve"_s)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{u"pldecal.wad"_s});
}

void TestFileReplace::failureLeavesEverythingAsItWas_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");

    // Set up in every case: spray.wad, valve/pldecal.wad (the old spray),
    // readme.txt (a file), folder.wad/ (a folder holding a file), where there
    // are pipes pipe.wad (a pipe) and on Windows held.wad, a file another
    // program holds open; elsewhere valve.lnk, a link to valve/. Several
    // destinations are separated by "|".
    QTest::newRow("destination folder missing") << u"spray.wad"_s << u"cstrike/pldecal.wad"_s;
    QTest::newRow("destination folder is a file") << u"spray.wad"_s << u"readme.txt/pldecal.wad"_s;
    QTest::newRow("destination is a folder") << u"spray.wad"_s << u"folder.wad"_s;
    QTest::newRow("source missing") << u"gone.wad"_s << u"valve/pldecal.wad"_s;
    QTest::newRow("source is a folder") << u"folder.wad"_s << u"valve/pldecal.wad"_s;
#ifdef Q_OS_UNIX
    // Reading one would wait for a writer that never comes.
    QTest::newRow("source is a pipe") << u"pipe.wad"_s << u"valve/pldecal.wad"_s;
#endif
    QTest::newRow("source below a file") << u"readme.txt/spray.wad"_s << u"valve/pldecal.wad"_s;
    QTest::newRow("empty source") << QString() << u"valve/pldecal.wad"_s;
    QTest::newRow("empty destination") << u"spray.wad"_s << QString();
#ifdef Q_OS_WIN
    QTest::newRow("destination held open") << u"spray.wad"_s << u"held.wad"_s;
#else
    // Replacing the link moves the second file's folder away: the link is put back.
    QTest::newRow("a later destination below an earlier link")
        << u"spray.wad"_s << u"valve.lnk|valve.lnk/pldecal.wad"_s;
#endif
}

void TestFileReplace::failureLeavesEverythingAsItWas()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);

    writeFile(path(u"spray.wad"_s), randomBytes(100000, 7));
    QVERIFY(QDir(m_dir->path()).mkdir(u"valve"_s));
    writeFile(path(u"valve/pldecal.wad"_s), randomBytes(10000, 8));
    writeFile(path(u"readme.txt"_s), "read me");
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder.wad"_s));
    writeFile(path(u"folder.wad/inside"_s), "inside");
#ifdef Q_OS_UNIX
    const FedPipe pipe(path(u"pipe.wad"_s));
    QVERIFY(pipe.isValid());
#endif
#ifdef Q_OS_WIN
    writeFile(path(u"held.wad"_s), randomBytes(10000, 12));
    const testing::HeldOpen held(path(u"held.wad"_s));
    QVERIFY(held.isValid());
#else
    QVERIFY(QFile::link(u"valve"_s, path(u"valve.lnk"_s)));
#endif
    const QStringList before = snapshot(m_dir->path(), FileDetail::Sha1);

    // Relative to the folder, as the spray list names its files.
    QVERIFY(QDir::setCurrent(m_dir->path()));
    if (source.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, "QFSFileEngine::open: No file name specified");
    QString error;
    QVERIFY(!replaceAllWithCopy(source, destination.split(u'|'), nullptr, &error));
    QVERIFY(!error.trimmed().isEmpty());
    QCOMPARE(snapshot(m_dir->path(), FileDetail::Sha1), before);
}

void TestFileReplace::copyOntoItself_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("destination");

    QTest::newRow("same spelling") << u"valve/pldecal.wad"_s << u"valve/pldecal.wad"_s;
    QTest::newRow("relative and absolute")
        << u"valve/pldecal.wad"_s << u"<root>/valve/pldecal.wad"_s;
    QTest::newRow("through dot-dot") << u"valve/pldecal.wad"_s << u"valve/../valve/./pldecal.wad"_s;
    QTest::newRow("doubled separator") << u"<root>/valve//pldecal.wad"_s << u"valve/pldecal.wad"_s;
#ifndef Q_OS_WIN
    // Links are left out on Windows: QFile::link() makes a .lnk shortcut there,
    // and a real symbolic link needs a privilege the tests cannot count on.
    QTest::newRow("through a link to the file") << u"valve/pldecal.wad"_s << u"valve/link.wad"_s;
#endif
}

void TestFileReplace::copyOntoItself()
{
    QFETCH(QString, source);
    QFETCH(QString, destination);
    source.replace(u"<root>"_s, m_dir->path());
    destination.replace(u"<root>"_s, m_dir->path());

    // A spray picked from the mod's own folder can be its pldecal.wad.
    const QByteArray spray = randomBytes(200000, 9);
    QVERIFY(QDir(m_dir->path()).mkdir(u"valve"_s));
    writeFile(path(u"valve/pldecal.wad"_s), spray);
#ifndef Q_OS_WIN
    QVERIFY(QFile::link(u"pldecal.wad"_s, path(u"valve/link.wad"_s)));
#endif
    const QStringList before = snapshot(m_dir->path(), FileDetail::Sha1);

    QVERIFY(QDir::setCurrent(m_dir->path()));
    const bool throughLink = QFileInfo(destination).isSymLink();
    QString error;
    const bool copied = replaceWithCopy(source, destination, &error);
    QVERIFY(copied || !error.isEmpty());
    QCOMPARE(readFile(path(u"valve/pldecal.wad"_s)), spray);
    if (throughLink) {
        // The link itself is replaced, by a file of the same bytes.
        QVERIFY2(copied, qPrintable(error));
        QVERIFY(!QFileInfo(destination).isSymLink());
        QCOMPARE(readFile(destination), spray);
        return;
    }
    QCOMPARE(snapshot(m_dir->path(), FileDetail::Sha1), before);
}

void TestFileReplace::writeFailingPartWayKeepsOldDestination_data()
{
    QTest::addColumn<QString>("writer");

    QTest::newRow("copying a file") << QString::fromLatin1(copyWithSizeLimit);
    QTest::newRow("writing bytes whole") << QString::fromLatin1(writeWithSizeLimit);
}

void TestFileReplace::writeFailingPartWayKeepsOldDestination()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a file size limit (RLIMIT_FSIZE)");
#else
    QFETCH(QString, writer);
    const QByteArray spray = randomBytes(qsizetype(1024) * 1024, 10);
    const QByteArray old = randomBytes(qsizetype(10) * 1024, 11);
    writeFile(path(u"spray.wad"_s), spray);
    QVERIFY(QDir(m_dir->path()).mkdir(u"valve"_s));
    writeFile(path(u"valve/pldecal.wad"_s), old);
    const QStringList before = snapshot(m_dir->path(), FileDetail::Sha1);

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {writer, path(u"spray.wad"_s), path(u"valve/pldecal.wad"_s)});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    // 1: the write failed with the system's reason; 0 would mean the limit never struck.
    QCOMPARE(child.exitCode(), 1);

    QCOMPARE(readFile(path(u"valve/pldecal.wad"_s)), old);
    QCOMPARE(snapshot(m_dir->path(), FileDetail::Sha1), before);
#endif
}

void TestFileReplace::staleBackupsAreCleared_data()
{
    QTest::addColumn<QStringList>("leftovers"); // "name/": a folder with a file in it
    QTest::addColumn<QStringList>("remaining");

    QStringList sixteen;
    for (int n = 0; n < 16; ++n)
        sixteen << u".pldecal.wad.old%1"_s.arg(n);
    QTest::newRow("one") << QStringList{u".pldecal.wad.old0"_s} << QStringList();
    QTest::newRow("every name there is") << sixteen << QStringList();
    QTest::newRow("a folder with a file in it")
        << QStringList{u".pldecal.wad.old0/"_s} << QStringList{u".pldecal.wad.old0"_s};
}

void TestFileReplace::staleBackupsAreCleared()
{
    QFETCH(QStringList, leftovers);
    QFETCH(QStringList, remaining);

    // Left by a step that was cut short: they hold older sprays, kept elsewhere too.
    const QByteArray spray = randomBytes(5000, 16);
    writeFile(path(u"spray.wad"_s), spray);
    QVERIFY(QDir(m_dir->path()).mkdir(u"valve"_s));
    writeFile(path(u"valve/pldecal.wad"_s), "old");
    for (const QString &name : std::as_const(leftovers)) {
        const QString leftover = path(u"valve/"_s + name);
        QVERIFY(!name.endsWith(u'/') || QDir().mkpath(leftover));
        writeFile(name.endsWith(u'/') ? leftover + u"inside"_s : leftover, "older");
    }

    QString failed, error;
    QVERIFY2(replaceAllWithCopy(path(u"spray.wad"_s),
                                {path(u"valve/pldecal.wad"_s), path(u"valve/tempdecal.wad"_s)},
                                &failed, &error),
             qPrintable(error));
    QCOMPARE(readFile(path(u"valve/pldecal.wad"_s)), spray);
    QStringList entries = remaining << u"pldecal.wad"_s << u"tempdecal.wad"_s;
    entries.sort();
    QCOMPARE(QDir(path(u"valve"_s))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             entries);
}

#ifndef Q_OS_WIN
void TestFileReplace::failedPutBackIsSaid()
{
    // The first destination's folder is reached through the link that the second
    // replaces, so once the third cannot be placed the first cannot be put back.
    const QByteArray spray = randomBytes(5000, 13), old = randomBytes(4000, 14);
    writeFile(path(u"spray.wad"_s), spray);
    QVERIFY(QDir(m_dir->path()).mkdir(u"valve"_s));
    writeFile(path(u"valve/pldecal.wad"_s), old);
    QVERIFY(QFile::link(u"valve"_s, path(u"mod"_s)));
    const QString first = path(u"mod/pldecal.wad"_s);

    QString failed, error;
    QStringList leftReplaced;
    QVERIFY(!replaceAllWithCopy(path(u"spray.wad"_s),
                                {first, path(u"mod"_s), path(u"mod/tempdecal.wad"_s)}, &failed,
                                &error, &leftReplaced));
    QCOMPARE(leftReplaced, QStringList{first});
    QVERIFY2(
        error.contains(first + u" could not be put back ("_s)
            && error.endsWith(u"its old file is kept as "_s + path(u"mod/.pldecal.wad.old0."_s)),
        qPrintable(error));
    // The link is back, so every name in the message leads where it says.
    QCOMPARE(QFileInfo(path(u"mod"_s)).symLinkTarget(), path(u"valve"_s));
    QCOMPARE(readFile(first), spray);
    QCOMPARE(readFile(path(u"mod/.pldecal.wad.old0"_s)), old);
}
#endif

void TestFileReplace::isExistingFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");

    QTest::newRow("file") << u"hl.exe"_s << true;
    QTest::newRow("zero-byte file") << u"empty.exe"_s << true;
    QTest::newRow("folder") << u"folder.exe"_s << false;
#ifndef Q_OS_WIN
    // Left out on Windows for the reason given in copyOntoItself_data().
    QTest::newRow("link to a file") << u"link.exe"_s << true;
    QTest::newRow("link to a folder") << u"folderlink.exe"_s << false;
    QTest::newRow("dangling link") << u"dangling.exe"_s << false;
#endif
#ifdef Q_OS_UNIX
    QTest::newRow("pipe") << u"pipe.exe"_s << false;
#endif
    QTest::newRow("missing") << u"missing.exe"_s << false;
    QTest::newRow("below a file") << u"hl.exe/hl.exe"_s << false;
    QTest::newRow("empty path") << QString() << false;
}

void TestFileReplace::isExistingFile()
{
    QFETCH(QString, name);
    QFETCH(bool, exists);

    writeFile(path(u"hl.exe"_s), "MZ");
    writeFile(path(u"empty.exe"_s), QByteArray());
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder.exe"_s));
#ifndef Q_OS_WIN
    QVERIFY(QFile::link(u"hl.exe"_s, path(u"link.exe"_s)));
    QVERIFY(QFile::link(u"folder.exe"_s, path(u"folderlink.exe"_s)));
    QVERIFY(QFile::link(u"nowhere.exe"_s, path(u"dangling.exe"_s)));
#endif
#ifdef Q_OS_UNIX
    QVERIFY(::mkfifo(QFile::encodeName(path(u"pipe.exe"_s)).constData(), 0644) == 0);
#endif

    QCOMPARE(tagswap::isExistingFile(name.isEmpty() ? QString() : path(name)), exists);
}

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], copyWithSizeLimit) == 0)
        return runWithSizeLimit(true, argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], writeWithSizeLimit) == 0)
        return runWithSizeLimit(false, argv[2], argv[3]);

    QCoreApplication app(argc, argv);
    TestFileReplace test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_file_replace.moc"

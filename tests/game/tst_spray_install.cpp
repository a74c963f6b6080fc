// Installing a spray for both releases of the game: the kept copies of replaced
// sprays, their names, the guard on tempdecal.wad, and the two files as one step.
#include "file_guards.h"
#include "game_paths.h"
#include "replaced_sprays.h"
#include "scratch_folder.h"
#include "spray_install.h"
#include "test_files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>

#include <filesystem>

using namespace tagswap;
using namespace Qt::StringLiterals;
using tagswap::testing::isReadOnlyOnDisk;
using tagswap::testing::readFile;
using tagswap::testing::ScratchFolder;
using tagswap::testing::snapshot;
using tagswap::testing::tryWriteFile;

namespace {
const QDateTime noon(QDate(2026, 12, 7), QTime(12, 0, 5));

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}
} // namespace

class TestSprayInstall : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keepOrNot_data();
    void keepOrNot();
    void keptNames_data();
    void keptNames();
    void modNames_data();
    void modNames();
    void installsBothAndGuards();
    void keptFolderUnusableReplacesNothing();
    void failedCopyLeavesBothAsTheyWere();
    void linkedGameFiles_data();
    void linkedGameFiles();
    void readOnlyGameFiles_data();
    void readOnlyGameFiles();
    void keptCopyOutlastsTheStep_data();
    void keptCopyOutlastsTheStep();
#ifdef Q_OS_LINUX
    // Left out elsewhere: it needs sysfs (see the case).
    void keepingAShortReadFails();
#endif

private:
    QString sprays() const
    {
        return m_root->filePath(u"sprays"_s);
    }
    QString kept() const
    {
        return m_root->filePath(u"kept"_s);
    }
    // A name outside ASCII on the way, as in a player's home folder.
    QString game() const
    {
        return m_root->filePath(u"Jürgen/Half-Life"_s);
    }
    QString mod() const
    {
        return game() + u"/valve"_s;
    }
    SprayInstall request(const QString &spray) const
    {
        // The game folder as the player's system writes it.
        return {sprays() + u'/' + spray, native(game()), u"valve"_s, sprays(), kept(), noon};
    }
    std::unique_ptr<ScratchFolder> m_root;
};

void TestSprayInstall::init()
{
    m_root = std::make_unique<ScratchFolder>();
    QVERIFY(QDir().mkpath(sprays()) && QDir().mkpath(mod()));
}

void TestSprayInstall::cleanup()
{
    // Windows removes no read-only file, not even with its folder.
    QFile::setPermissions(mod() + u"/tempdecal.wad"_s, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(game() + u"/cstrike/tempdecal.wad"_s,
                          QFile::ReadOwner | QFile::WriteOwner);
}

void TestSprayInstall::keepOrNot_data()
{
    QTest::addColumn<QByteArray>("inGame");  // null: no file there
    QTest::addColumn<QString>("otherPlace"); // where the same bytes lie already, if anywhere
    QTest::addColumn<int>("status");

    using Status = KeptSpray::Status;
    const QByteArray spray(6296, 's');
    QTest::newRow("nothing there") << QByteArray() << QString() << int(Status::NothingToKeep);
    QTest::newRow("empty file") << QByteArray("") << QString() << int(Status::NothingToKeep);
    QTest::newRow("a spray kept nowhere") << spray << QString() << int(Status::Kept);
    QTest::newRow("same bytes in the spray folder")
        << spray << u"sprays/mine.wad"_s << int(Status::AlreadyKept);
    QTest::newRow("same bytes, a name outside ASCII")
        << spray << u"sprays/ñandú.wad"_s << int(Status::AlreadyKept);
    QTest::newRow("same bytes kept before")
        << spray << u"kept/old.wad"_s << int(Status::AlreadyKept);
    QTest::newRow("same size, other bytes") << spray << u"sprays/other.wad!"_s << int(Status::Kept);
    QTest::newRow("same bytes, not a .wad") << spray << u"sprays/mine.png"_s << int(Status::Kept);
    QTest::newRow("same bytes, hidden") << spray << u"sprays/.mine.wad"_s << int(Status::Kept);
    QTest::newRow("over 1 MiB") << QByteArray((1 << 20) + 1, 'x') << QString()
                                << int(Status::NothingToKeep);
    QTest::newRow("exactly 1 MiB") << QByteArray(1 << 20, 'x') << QString() << int(Status::Kept);
    QTest::newRow("kept folder cannot be made")
        << spray << u"kept"_s << int(Status::Failed); // a file where the folder belongs
}

void TestSprayInstall::keepOrNot()
{
    QFETCH(QByteArray, inGame);
    QFETCH(QString, otherPlace);
    QFETCH(int, status);
    const QString gameFile = mod() + u"/tempdecal.wad"_s;
    if (!inGame.isNull())
        QVERIFY(tryWriteFile(gameFile, inGame));
    if (!otherPlace.isEmpty()) {
        QByteArray bytes = inGame;
        if (otherPlace.endsWith(u'!')) {
            otherPlace.chop(1);
            bytes.back() = 'z';
        }
        QVERIFY(QDir().mkpath(QFileInfo(m_root->filePath(otherPlace)).path()));
        QVERIFY(tryWriteFile(m_root->filePath(otherPlace), bytes));
    }
    const QStringList before = snapshot(m_root->path());

    const KeptSpray result =
        keepReplacedSpray(gameFile, u"valve"_s, SprayFile::TempDecal, {sprays()}, kept(), noon);
    QCOMPARE(int(result.status), status);
    if (result.status == KeptSpray::Status::Kept) {
        QCOMPARE(result.path, kept() + u"/valve-tempdecal-20261207-120005.wad"_s);
        QCOMPARE(readFile(result.path), inGame);
    } else {
        QCOMPARE(snapshot(m_root->path()), before);
    }
    QCOMPARE(result.error.isEmpty(), result.status != KeptSpray::Status::Failed);
}

void TestSprayInstall::keptNames_data()
{
    QTest::addColumn<QString>("mod");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("name");

    QTest::newRow("free") << u"tfc"_s << QStringList() << u"tfc-pldecal-20261207-120005.wad"_s;
    QTest::newRow("taken once") << u"tfc"_s << QStringList{u"tfc-pldecal-20261207-120005.wad"_s}
                                << u"tfc-pldecal-20261207-120005-2.wad"_s;
    QTest::newRow("taken twice") << u"tfc"_s
                                 << QStringList{u"tfc-pldecal-20261207-120005.wad"_s,
                                                u"tfc-pldecal-20261207-120005-2.wad"_s}
                                 << u"tfc-pldecal-20261207-120005-3.wad"_s;
    QTest::newRow("a mod text with separators")
        << u"../x\\y:z"_s << QStringList() << u".._x_y_z-pldecal-20261207-120005.wad"_s;
    QTest::newRow("a mod text outside ASCII")
        << u"ñandú"_s << QStringList() << u"ñandú-pldecal-20261207-120005.wad"_s;
    QTest::newRow("an empty mod text")
        << QString() << QStringList() << u"_-pldecal-20261207-120005.wad"_s;
    QTest::newRow("a very long mod text")
        << u"m"_s.repeated(1000) << QStringList()
        << u"m"_s.repeated(64) + u"-pldecal-20261207-120005.wad"_s;
}

void TestSprayInstall::keptNames()
{
    QFETCH(QString, mod);
    QFETCH(QStringList, taken);
    QFETCH(QString, name);
    QVERIFY(QDir().mkpath(kept()));
    for (const QString &file : taken)
        QVERIFY(tryWriteFile(kept() + u'/' + file, "x"));
    QCOMPARE(keptSprayName(kept(), mod, SprayFile::PlDecal, noon), kept() + u'/' + name);
}

void TestSprayInstall::modNames_data()
{
    QTest::addColumn<QString>("mod");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("this folder") << u"."_s << false;
    QTest::newRow("the folder above") << u".."_s << false;
    QTest::newRow("a path") << u"a/b"_s << false;
    QTest::newRow("a trailing separator") << u"valve/"_s << false;
    QTest::newRow("a Windows path") << u"a\\b"_s << false;
    QTest::newRow("a NUL") << u"x\0y"_s << false;
#ifdef Q_OS_WIN
    QTest::newRow("a drive") << u"C:"_s << false;
#else
    // Only Windows gives a colon a meaning in paths.
    QTest::newRow("a colon") << u"C:"_s << true;
#endif
    QTest::newRow("dots leading a name") << u"..hidden"_s << true;
    QTest::newRow("a space") << u"my mod"_s << true;
    QTest::newRow("outside ASCII") << u"ñandú"_s << true;
    QTest::newRow("valve") << u"valve"_s << true;
}

void TestSprayInstall::modNames()
{
    QFETCH(QString, mod);
    QFETCH(bool, accepted);
    const QByteArray spray(6296, 'n');
    QVERIFY(tryWriteFile(sprays() + u"/new.wad"_s, spray));
    // The folder the text points to is there, so that only the refusal keeps the files out.
    const QString target = game() + u'/' + mod;
    if (!mod.contains(QChar(0)))
        QDir().mkpath(target);
    const QStringList before = snapshot(m_root->path(), testing::FileDetail::Sha1);
    SprayInstall install = request(u"new.wad"_s);
    install.mod = mod;

    const SprayInstallResult result = installSpray(install);
    if (accepted) // Windows removes no read-only file.
        QFile::setPermissions(target + u"/tempdecal.wad"_s, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(result.installed, accepted);
    // The check mark's comparison reads nothing outside the game folder either.
    QCOMPARE(installedSprayPath(native(game()), mod).isEmpty(), !accepted);
    if (accepted) {
        QCOMPARE(readFile(target + u"/pldecal.wad"_s), spray);
        QCOMPARE(readFile(target + u"/tempdecal.wad"_s), spray);
        return;
    }
    QCOMPARE(result.error,
             u"Could not copy %1 to %2.\r\nReason: %3 is not a mod folder name."_s.arg(
                 native(sprays() + u"/new.wad"_s), native(target + u"/pldecal.wad"_s), mod));
    QCOMPARE(snapshot(m_root->path(), testing::FileDetail::Sha1), before);
}

void TestSprayInstall::installsBothAndGuards()
{
    const QByteArray first(6296, '1'), second(17176, '2'), games(6296, 'g');
    QVERIFY(tryWriteFile(sprays() + u"/first.wad"_s, first));
    QVERIFY(tryWriteFile(sprays() + u"/second.wad"_s, second));
    QVERIFY(tryWriteFile(mod() + u"/tempdecal.wad"_s, games));
    QVERIFY(tryWriteFile(mod() + u"/pldecal.wad"_s, games));

    SprayInstallResult result = installSpray(request(u"first.wad"_s));
    QVERIFY2(result.installed, qPrintable(result.error));
    QVERIFY2(result.warning.isEmpty(), qPrintable(result.warning));
    QCOMPARE(readFile(mod() + u"/pldecal.wad"_s), first);
    QCOMPARE(readFile(mod() + u"/tempdecal.wad"_s), first);
    QVERIFY(isReadOnlyOnDisk(mod() + u"/tempdecal.wad"_s));
    QVERIFY(!isReadOnlyOnDisk(mod() + u"/pldecal.wad"_s));
    QVERIFY(isWriteGuarded(mod() + u"/tempdecal.wad"_s));
    QVERIFY(!isWriteGuarded(mod() + u"/pldecal.wad"_s));
    // The game's own spray was in both files; it is kept once.
    QCOMPARE(result.kept, QStringList{kept() + u"/valve-pldecal-20261207-120005.wad"_s});
    QCOMPARE(readFile(result.kept.first()), games);

    // Over the guard; first.wad is in the spray folder, so nothing more is kept.
    result = installSpray(request(u"second.wad"_s));
    QVERIFY2(result.installed, qPrintable(result.error));
    QCOMPARE(readFile(mod() + u"/tempdecal.wad"_s), second);
    QVERIFY(isReadOnlyOnDisk(mod() + u"/tempdecal.wad"_s));
    QVERIFY(result.kept.isEmpty());
    QCOMPARE(QDir(kept()).entryList(QDir::Files).size(), 1);
    QCOMPARE(QDir(mod()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({u"pldecal.wad"_s, u"tempdecal.wad"_s}));
}

void TestSprayInstall::keptFolderUnusableReplacesNothing()
{
    QVERIFY(tryWriteFile(sprays() + u"/new.wad"_s, QByteArray(6296, 'n')));
    QVERIFY(tryWriteFile(mod() + u"/tempdecal.wad"_s, "only copy"));
    QVERIFY(tryWriteFile(kept(), "a file where the folder belongs"));
    const QStringList before = snapshot(mod(), testing::FileDetail::Sha1);

    const SprayInstallResult result = installSpray(request(u"new.wad"_s));
    QVERIFY(!result.installed);
    QVERIFY2(result.error.startsWith(u"Could not keep a copy of "_s
                                     + native(mod() + u"/tempdecal.wad"_s)),
             qPrintable(result.error));
    QVERIFY(result.error.contains(u"so nothing was replaced"_s));
    QCOMPARE(snapshot(mod(), testing::FileDetail::Sha1), before);
}

void TestSprayInstall::failedCopyLeavesBothAsTheyWere()
{
    // tempdecal.wad cannot be replaced: a folder stands there. pldecal.wad comes
    // first and could be; it must not be. The copies kept of it and of an earlier
    // step's leftover go too.
    QVERIFY(tryWriteFile(sprays() + u"/new.wad"_s, QByteArray(6296, 'n')));
    QVERIFY(tryWriteFile(mod() + u"/pldecal.wad"_s, "old"));
    QVERIFY(tryWriteFile(mod() + u"/.pldecal.wad.old0"_s, "older"));
    QVERIFY(QDir(mod()).mkdir(u"tempdecal.wad"_s));
    QVERIFY(QDir().mkpath(kept()));
    const QStringList before = snapshot(m_root->path(), testing::FileDetail::Sha1);

    const SprayInstallResult result = installSpray(request(u"new.wad"_s));
    QVERIFY(!result.installed);
    QVERIFY2(result.error.startsWith(u"Could not copy "_s + native(sprays() + u"/new.wad"_s)
                                     + u" to "_s + native(mod() + u"/tempdecal.wad."_s)),
             qPrintable(result.error));
    QVERIFY(result.kept.isEmpty());
    QCOMPARE(snapshot(m_root->path(), testing::FileDetail::Sha1), before);
}

void TestSprayInstall::linkedGameFiles_data()
{
    QTest::addColumn<QString>("gameFile"); // in valve/, the other one is not there
    QTest::addColumn<bool>("hardLink");    // else a symbolic link
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("keepsCopy"); // of the other mod's spray

    const QString mine = u"sprays/mine.wad"_s;
    const QString othersMod = u"Jürgen/Half-Life/cstrike/tempdecal.wad"_s;
#ifndef Q_OS_WIN
    // Symbolic links are left out on Windows: making one needs a privilege there,
    // and QFile::link() makes a shortcut instead.
    QTest::newRow("tempdecal links into the spray folder")
        << u"tempdecal.wad"_s << false << mine << false;
    QTest::newRow("pldecal links into the spray folder")
        << u"pldecal.wad"_s << false << mine << false;
    QTest::newRow("tempdecal links to another mod's")
        << u"tempdecal.wad"_s << false << othersMod << false;
    QTest::newRow("tempdecal links to nothing")
        << u"tempdecal.wad"_s << false << u"nowhere.wad"_s << false;
    // Windows renames nothing over a read-only file, and the attribute it lifts
    // first is the file's, under all its names.
    QTest::newRow("tempdecal is another mod's, read-only, under a second name")
        << u"tempdecal.wad"_s << true << othersMod << true;
#endif
    QTest::newRow("tempdecal is a spray under a second name")
        << u"tempdecal.wad"_s << true << mine << false;
}

void TestSprayInstall::linkedGameFiles()
{
    QFETCH(QString, gameFile);
    QFETCH(bool, hardLink);
    QFETCH(QString, target);
    QFETCH(bool, keepsCopy);
    const QByteArray spray(6296, 'n'), mine(6296, 'm'), othersMod(17176, 'c');
    const QString othersFile = game() + u"/cstrike/tempdecal.wad"_s;
    QVERIFY(tryWriteFile(sprays() + u"/new.wad"_s, spray));
    QVERIFY(tryWriteFile(sprays() + u"/mine.wad"_s, mine));
    QVERIFY(QDir().mkpath(game() + u"/cstrike"_s) && tryWriteFile(othersFile, othersMod));
    QString error;
    QVERIFY2(setWriteGuard(othersFile, true, &error), qPrintable(error));
    const QString link = mod() + u'/' + gameFile;
    std::error_code code;
    if (hardLink)
        std::filesystem::create_hard_link(m_root->filePath(target).toStdU16String(),
                                          link.toStdU16String(), code);
    else
        QVERIFY(QFile::link(m_root->filePath(target), link));
    QVERIFY2(!code, code.message().c_str());
    const QStringList spraysBefore = snapshot(sprays(), testing::FileDetail::Sha1);

    const SprayInstallResult result = installSpray(request(u"new.wad"_s));
    QVERIFY2(result.installed, qPrintable(result.error));
    QVERIFY2(result.warning.isEmpty(), qPrintable(result.warning));
    for (const QString &name : {u"pldecal.wad"_s, u"tempdecal.wad"_s}) {
        QVERIFY(!QFileInfo(mod() + u'/' + name).isSymLink());
        QCOMPARE(readFile(mod() + u'/' + name), spray);
    }
    QVERIFY(isReadOnlyOnDisk(mod() + u"/tempdecal.wad"_s));
    QVERIFY(!isReadOnlyOnDisk(mod() + u"/pldecal.wad"_s));
    // What the links led to keeps its bytes and its mode.
    QCOMPARE(snapshot(sprays(), testing::FileDetail::Sha1), spraysBefore);
    QVERIFY(!isReadOnlyOnDisk(sprays() + u"/mine.wad"_s));
    QCOMPARE(readFile(othersFile), othersMod);
    QVERIFY(isReadOnlyOnDisk(othersFile));
    QVERIFY(!QFileInfo::exists(m_root->filePath(u"nowhere.wad"_s)));
    // A link's target keeps its bytes, so nothing is kept of it.
    QCOMPARE(result.kept.size(), keepsCopy ? 1 : 0);
    if (keepsCopy)
        QCOMPARE(readFile(result.kept.first()), othersMod);
}

void TestSprayInstall::readOnlyGameFiles_data()
{
    QTest::addColumn<QStringList>("readOnly"); // files of valve/ the player made read-only
    QTest::addColumn<bool>("secondName");      // pldecal.wad has another name in the spray folder

    QTest::newRow("pldecal.wad") << QStringList{u"pldecal.wad"_s} << false;
    QTest::newRow("tempdecal.wad") << QStringList{u"tempdecal.wad"_s} << false;
    QTest::newRow("both") << QStringList{u"pldecal.wad"_s, u"tempdecal.wad"_s} << false;
#ifndef Q_OS_WIN
    // Windows lifts the attribute off the file, under all its names.
    QTest::newRow("pldecal.wad under a second name") << QStringList{u"pldecal.wad"_s} << true;
#endif
}

// Replaced all the same, and read-only again afterwards.
void TestSprayInstall::readOnlyGameFiles()
{
    QFETCH(QStringList, readOnly);
    QFETCH(bool, secondName);
    const QByteArray spray(6296, 'n'), old(6296, 'o');
    QVERIFY(tryWriteFile(sprays() + u"/new.wad"_s, spray));
    QVERIFY(tryWriteFile(mod() + u"/pldecal.wad"_s, old));
    QVERIFY(tryWriteFile(mod() + u"/tempdecal.wad"_s, old));
    std::error_code code;
    if (secondName)
        std::filesystem::create_hard_link(mod().toStdU16String() + u"/pldecal.wad",
                                          sprays().toStdU16String() + u"/old.wad", code);
    QVERIFY2(!code, code.message().c_str());
    QString error;
    for (const QString &name : readOnly)
        QVERIFY2(setWriteGuard(mod() + u'/' + name, true, &error), qPrintable(error));
    // Windows removes no read-only file, not even with its folder.
    const auto writable = qScopeGuard([&] {
        QFile::setPermissions(mod() + u"/pldecal.wad"_s, QFile::ReadOwner | QFile::WriteOwner);
        QFile::setPermissions(sprays() + u"/old.wad"_s, QFile::ReadOwner | QFile::WriteOwner);
    });

    const SprayInstallResult result = installSpray(request(u"new.wad"_s));
    QVERIFY2(result.installed, qPrintable(result.error));
    QVERIFY2(result.warning.isEmpty(), qPrintable(result.warning));
    QCOMPARE(readFile(mod() + u"/pldecal.wad"_s), spray);
    QCOMPARE(readFile(mod() + u"/tempdecal.wad"_s), spray);
    QCOMPARE(isReadOnlyOnDisk(mod() + u"/pldecal.wad"_s), readOnly.contains(u"pldecal.wad"_s));
    QVERIFY(isReadOnlyOnDisk(mod() + u"/tempdecal.wad"_s));
    QCOMPARE(QDir(mod()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({u"pldecal.wad"_s, u"tempdecal.wad"_s}));
    if (secondName) {
        QCOMPARE(readFile(sprays() + u"/old.wad"_s), old);
        QVERIFY(isReadOnlyOnDisk(sprays() + u"/old.wad"_s));
    }
}

void TestSprayInstall::keptCopyOutlastsTheStep_data()
{
    // Paths below the scratch folder, G standing for the game folder. "name=x" is a
    // file of 6296 bytes x, "name->path" a symbolic link, "name=>path" a hard link.
    // Before each row: G/valve/pldecal.wad=h, G/valve/tempdecal.wad=h, sprays/mine.wad=s.
    QTest::addColumn<QStringList>("more");
    QTest::addColumn<QString>("sprayFolder");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("after"); // every file, the new spray being s

    const QString keptH = u"kept/valve-pldecal-20261207-120005.wad=h"_s;
    const QStringList gameHasS{u"G/valve/pldecal.wad=s"_s, u"G/valve/tempdecal.wad=s"_s};
    QTest::newRow("a copy in the spray folder")
        << QStringList{u"sprays/heart.wad=h"_s} << u"sprays"_s << u"sprays/mine.wad"_s
        << gameHasS + QStringList{u"sprays/heart.wad=h"_s, u"sprays/mine.wad=s"_s};
    QTest::newRow("the spray folder is the mod folder")
        << QStringList{u"G/valve/mine.wad=s"_s} << u"G/valve"_s << u"G/valve/mine.wad"_s
        << gameHasS + QStringList{u"G/valve/mine.wad=s"_s, keptH, u"sprays/mine.wad=s"_s};
    QTest::newRow("the mod folder, named another way")
        << QStringList{u"G/valve/mine.wad=s"_s} << u"G/../Half-Life/valve"_s
        << u"G/valve/mine.wad"_s
        << gameHasS + QStringList{u"G/valve/mine.wad=s"_s, keptH, u"sprays/mine.wad=s"_s};
    QTest::newRow("a hard link to tempdecal.wad")
        << QStringList{u"sprays/heart.wad=>G/valve/tempdecal.wad"_s} << u"sprays"_s
        << u"sprays/mine.wad"_s
        << gameHasS + QStringList{u"sprays/heart.wad=h"_s, u"sprays/mine.wad=s"_s};
#ifndef Q_OS_WIN
    // Symbolic links are left out on Windows, as in linkedGameFiles_data().
    QTest::newRow("a link to tempdecal.wad")
        << QStringList{u"sprays/heart.wad->G/valve/tempdecal.wad"_s} << u"sprays"_s
        << u"sprays/mine.wad"_s
        << gameHasS + QStringList{keptH, u"sprays/heart.wad->"_s, u"sprays/mine.wad=s"_s};
    QTest::newRow("a link to a link to pldecal.wad")
        << QStringList{u"sprays/a.wad->G/valve/pldecal.wad"_s, u"sprays/b.wad->sprays/a.wad"_s}
        << u"sprays"_s << u"sprays/mine.wad"_s
        << gameHasS
               + QStringList{keptH, u"sprays/a.wad->"_s, u"sprays/b.wad->"_s,
                             u"sprays/mine.wad=s"_s};
#endif
    // A put-back that failed named it to the player as the old file's home.
    QTest::newRow("a backup kept nowhere")
        << QStringList{u"G/valve/.pldecal.wad.old0=b"_s} << u"sprays"_s << u"sprays/mine.wad"_s
        << gameHasS
               + QStringList{keptH, u"kept/valve-pldecal-20261207-120005-2.wad=b"_s,
                             u"sprays/mine.wad=s"_s};
    QTest::newRow("a backup with a copy in the spray folder")
        << QStringList{u"G/valve/.pldecal.wad.old0=b"_s, u"sprays/b.wad=b"_s} << u"sprays"_s
        << u"sprays/mine.wad"_s
        << gameHasS + QStringList{keptH, u"sprays/b.wad=b"_s, u"sprays/mine.wad=s"_s};
}

void TestSprayInstall::keptCopyOutlastsTheStep()
{
    QFETCH(QStringList, more);
    QFETCH(QString, sprayFolder);
    QFETCH(QString, source);
    QFETCH(QStringList, after);
    const auto at = [this](QString path) {
        return m_root->filePath(path.replace(u"G/"_s, u"Jürgen/Half-Life/"_s));
    };
    const QStringList setup = QStringList{u"G/valve/pldecal.wad=h"_s, u"G/valve/tempdecal.wad=h"_s,
                                          u"sprays/mine.wad=s"_s}
                              + more;
    for (const QString &entry : setup) {
        const qsizetype cut = entry.indexOf(u'=') >= 0 ? entry.indexOf(u'=') : entry.indexOf(u"->");
        const QString name = at(entry.left(cut)), rest = entry.mid(cut + 1);
        std::error_code code;
        if (rest.startsWith(u'>') && entry.at(cut) == u'=')
            std::filesystem::create_hard_link(at(rest.mid(1)).toStdU16String(),
                                              name.toStdU16String(), code);
        else if (rest.startsWith(u'>'))
            QVERIFY(QFile::link(at(rest.mid(1)), name));
        else
            QVERIFY(tryWriteFile(name, QByteArray(6296, rest.at(0).toLatin1())));
        QVERIFY2(!code, code.message().c_str());
    }
    SprayInstall install = request({});
    install.source = at(source);
    install.sprayFolder = at(sprayFolder);

    const SprayInstallResult result = installSpray(install);
    QVERIFY2(result.installed, qPrintable(result.error));
    QStringList files;
    const QDir root(m_root->path());
    QDirIterator all(root.path(), QDir::Files | QDir::Hidden | QDir::System,
                     QDirIterator::Subdirectories);
    while (all.hasNext()) {
        const QString path = all.next();
        const QString name = root.relativeFilePath(path).replace(u"Jürgen/Half-Life/"_s, u"G/"_s);
        files << (all.fileInfo().isSymLink() ? name + u"->"_s
                                             : name + u'=' + QChar(readFile(path).at(0)));
    }
    files.sort();
    after.sort();
    QCOMPARE(files, after);
    QCOMPARE(result.kept.size(), after.filter(u"kept/"_s).size());
}

#ifdef Q_OS_LINUX
void TestSprayInstall::keepingAShortReadFails()
{
    // sysfs sizes its files a page each and holds a line in them, so reading one
    // ends short of its size, as a file cut while it is read does.
    const QString cutShort = u"/sys/devices/system/cpu/online"_s;
    QVERIFY(QFileInfo(cutShort).size() > readFile(cutShort).size());

    const KeptSpray result =
        keepReplacedSpray(cutShort, u"valve"_s, SprayFile::TempDecal, {sprays()}, kept(), noon);
    QCOMPARE(int(result.status), int(KeptSpray::Status::Failed));
    QVERIFY2(result.error.startsWith(u"Only "_s), qPrintable(result.error));
    QVERIFY(!QFileInfo::exists(kept()));
}
#endif

QTEST_GUILESS_MAIN(TestSprayInstall)
#include "tst_spray_install.moc"

// Installing a spray for both releases of the game: the kept copies of replaced
// sprays, their names, the guard on tempdecal.wad, and the two files as one step.
#include "replaced_sprays.h"
#include "scratch_folder.h"
#include "spray_install.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace tagswap;
using namespace Qt::StringLiterals;
using tagswap::testing::readFile;
using tagswap::testing::ScratchFolder;
using tagswap::testing::snapshot;
using tagswap::testing::tryWriteFile;

namespace {
const QDateTime noon(QDate(2026, 12, 7), QTime(12, 0, 5));
} // namespace

class TestSprayInstall : public QObject {
    Q_OBJECT

private slots:
    void init();
    void keepOrNot_data();
    void keepOrNot();
    void keptNames_data();
    void keptNames();
    void installsBothAndGuards();
    void keptFolderUnusableReplacesNothing();
    void failedCopyLeavesBothAsTheyWere();

private:
    QString sprays() const { return m_root->filePath(u"sprays"_s); }
    QString kept() const { return m_root->filePath(u"kept"_s); }
    QString mod() const { return m_root->filePath(u"game/valve"_s); }
    SprayInstall request(const QString &spray) const
    {
        return {sprays() + u'/' + spray,
                m_root->filePath(u"game"_s),
                u"valve"_s,
                sprays(),
                kept(),
                noon};
    }
    std::unique_ptr<ScratchFolder> m_root;
};

void TestSprayInstall::init()
{
    m_root = std::make_unique<ScratchFolder>();
    QVERIFY(QDir().mkpath(sprays()) && QDir().mkpath(mod()));
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
    QVERIFY(isWriteGuarded(mod() + u"/tempdecal.wad"_s));
    QVERIFY(!isWriteGuarded(mod() + u"/pldecal.wad"_s));
    // The game's own spray was in both files; it is kept once.
    QCOMPARE(result.kept, QStringList{kept() + u"/valve-pldecal-20261207-120005.wad"_s});
    QCOMPARE(readFile(result.kept.first()), games);

    // Over the guard; first.wad is in the spray folder, so nothing more is kept.
    result = installSpray(request(u"second.wad"_s));
    QVERIFY2(result.installed, qPrintable(result.error));
    QCOMPARE(readFile(mod() + u"/tempdecal.wad"_s), second);
    QVERIFY(isWriteGuarded(mod() + u"/tempdecal.wad"_s));
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
    QVERIFY2(result.error.startsWith(u"Could not keep a copy of "_s + mod() + u"/tempdecal.wad"_s),
             qPrintable(result.error));
    QVERIFY(result.error.contains(u"so nothing was replaced"_s));
    QCOMPARE(snapshot(mod(), testing::FileDetail::Sha1), before);
}

void TestSprayInstall::failedCopyLeavesBothAsTheyWere()
{
    // tempdecal.wad cannot be replaced: a folder stands there. pldecal.wad comes
    // first and could be; it must not be.
    QVERIFY(tryWriteFile(sprays() + u"/new.wad"_s, QByteArray(6296, 'n')));
    QVERIFY(tryWriteFile(mod() + u"/pldecal.wad"_s, "old"));
    QVERIFY(QDir(mod()).mkdir(u"tempdecal.wad"_s));
    const QStringList before = snapshot(mod(), testing::FileDetail::Sha1);

    const SprayInstallResult result = installSpray(request(u"new.wad"_s));
    QVERIFY(!result.installed);
    QVERIFY2(result.error.startsWith(u"Could not copy "_s + sprays() + u"/new.wad to "_s + mod()
                                     + u"/tempdecal.wad."_s),
             qPrintable(result.error));
    QCOMPARE(snapshot(mod(), testing::FileDetail::Sha1), before);
}

QTEST_GUILESS_MAIN(TestSprayInstall)
#include "tst_spray_install.moc"

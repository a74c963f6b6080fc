#include "scratch_settings.h"
#include "settings_store.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

using namespace tagswap;
using tagswap::testing::readFile;
using tagswap::testing::ScratchSettings;
using tagswap::testing::snapshot;
using tagswap::testing::writeFile;

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void freshAccountReadsEmpty();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void storedAsIniUnderConfigHome();
    void everyReadSeesTheFileAsItIsNow();
    void damagedStoreReadsEmpty_data();
    void damagedStoreReadsEmpty();
    void saveIntoUnwritablePlaceFails_data();
    void saveIntoUnwritablePlaceFails();
    void saveOverDamagedFile_data();
    void saveOverDamagedFile();

private:
    QString configDir() const { return m_settings.folder(); }
    QString iniPath() const { return configDir() + QStringLiteral("/Tagswap.ini"); }

    ScratchSettings m_settings;
};

void TestSettingsStore::initTestCase()
{
    m_settings.setUp();
}

void TestSettingsStore::init()
{
    m_settings.reset();
}

void TestSettingsStore::freshAccountReadsEmpty()
{
    QCOMPARE(SettingsStore::read(settings::HLDir), QString());
    QCOMPARE(SettingsStore::read(settings::BeenRun), QString());
    // Reading must not leave an empty store behind.
    QVERIFY(!QFileInfo::exists(configDir()));
}

void TestSettingsStore::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("plain path") << QStringLiteral("/home/player/.steam/Half-Life");
    QTest::newRow("windows path") << QStringLiteral("C:\\SIERRA\\Half-Life");
    QTest::newRow("trailing backslash") << QStringLiteral("C:\\SIERRA\\Half-Life\\");
    QTest::newRow("doubled backslash") << QStringLiteral("C:\\\\SIERRA");
    QTest::newRow("trailing slash") << QStringLiteral("/games/hl/");
    QTest::newRow("UNC path") << QStringLiteral("\\\\server\\share\\hl");
    QTest::newRow("blanks at both ends") << QStringLiteral("  /games/hl  ");
    QTest::newRow("tab") << QStringLiteral("\t/games\t");
    QTest::newRow("comma and blank") << QStringLiteral("a, b");
    QTest::newRow("comma alone") << QStringLiteral("a,b");
    QTest::newRow("double quotes") << QStringLiteral("\"C:\\Program Files\\Half-Life\"");
    QTest::newRow("single quote") << QStringLiteral("Player's games");
    QTest::newRow("equals sign") << QStringLiteral("a=b");
    QTest::newRow("semicolon first") << QStringLiteral(";not a comment");
    QTest::newRow("hash first") << QStringLiteral("#not a comment");
    QTest::newRow("at sign first") << QStringLiteral("@Variant(x)");
    QTest::newRow("at sign invalid marker") << QStringLiteral("@Invalid()");
    QTest::newRow("brackets") << QStringLiteral("[Settings]");
    QTest::newRow("non-ASCII") << QStringLiteral("Ünïcødé 日本");
    QTest::newRow("line break") << QStringLiteral("one\ntwo\r\nthree");
    QTest::newRow("empty") << QString();
    QTest::newRow("True") << QStringLiteral("True");
    QTest::newRow("true") << QStringLiteral("true");
    QTest::newRow("number") << QStringLiteral("0042");
}

void TestSettingsStore::valuesRoundTrip()
{
    QFETCH(QString, value);

    QVERIFY(SettingsStore::save(settings::BeenRun, QStringLiteral("True")));
    QVERIFY(SettingsStore::save(settings::HLDir, QStringLiteral("an earlier value")));

    QString error;
    QVERIFY2(SettingsStore::save(settings::HLDir, value, &error), qPrintable(error));
    QCOMPARE(SettingsStore::read(settings::HLDir), value);
    // The keys are separate values.
    QCOMPARE(SettingsStore::read(settings::BeenRun), QStringLiteral("True"));
}

void TestSettingsStore::storedAsIniUnderConfigHome()
{
    QVERIFY(SettingsStore::save(settings::HLDir, QStringLiteral("/games/Half-Life")));
    QVERIFY(SettingsStore::save(settings::BeenRun, QStringLiteral("True")));

    QCOMPARE(SettingsStore::location(), iniPath());
    QVERIFY(QFileInfo(iniPath()).isFile());

    // Anything that reads INI files finds the values under [Settings].
    QSettings ini(iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.childGroups(), QStringList{QStringLiteral("Settings")});
    ini.beginGroup(QStringLiteral("Settings"));
    QCOMPARE(ini.value(QStringLiteral("HLDir")).toString(), QStringLiteral("/games/Half-Life"));
    QCOMPARE(ini.value(QStringLiteral("BeenRun")).toString(), QStringLiteral("True"));
}

void TestSettingsStore::everyReadSeesTheFileAsItIsNow()
{
    QVERIFY(SettingsStore::save(settings::HLDir, QStringLiteral("/first")));
    QCOMPARE(SettingsStore::read(settings::HLDir), QStringLiteral("/first"));

    // Another program (or the player) changes the file between two reads. The
    // sizes differ on purpose: QSettings takes an unchanged size and time stamp
    // (to the millisecond) for an unchanged file.
    writeFile(iniPath(), "[Settings]\nHLDir=/edited/by/hand\nBeenRun=True\n");
    QCOMPARE(SettingsStore::read(settings::HLDir), QStringLiteral("/edited/by/hand"));
    QCOMPARE(SettingsStore::read(settings::BeenRun), QStringLiteral("True"));

    // An unquoted comma makes QSettings see a list; it is still the text the player wrote.
    writeFile(iniPath(), "[Settings]\nHLDir=/games/Half-Life, GOTY\n");
    QCOMPARE(SettingsStore::read(settings::HLDir), QStringLiteral("/games/Half-Life, GOTY"));

    QVERIFY(QFile::remove(iniPath()));
    QCOMPARE(SettingsStore::read(settings::HLDir), QString());
    QCOMPARE(SettingsStore::read(settings::BeenRun), QString());
}

void TestSettingsStore::damagedStoreReadsEmpty_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("asFolder");

    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919) & 0xff);

    QTest::newRow("text without sections") << QByteArray("this is not\nan ini file\n") << false;
    QTest::newRow("unclosed section") << QByteArray("[Settings\nHLDir") << false;
    QTest::newRow("invalid UTF-8") << QByteArray(4096, '\xff') << false;
    QTest::newRow("binary") << binary << false;
    QTest::newRow("settings file is a folder") << QByteArray() << true;
}

void TestSettingsStore::damagedStoreReadsEmpty()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, asFolder);

    if (asFolder) {
        QVERIFY(QDir().mkpath(iniPath()));
    } else {
        QVERIFY(QDir().mkpath(configDir()));
        writeFile(iniPath(), content);
    }

    QCOMPARE(SettingsStore::read(settings::HLDir), QString());
    QCOMPARE(SettingsStore::read(settings::BeenRun), QString());
}

void TestSettingsStore::saveIntoUnwritablePlaceFails_data()
{
    QTest::addColumn<bool>("folderIsAFile");

    // A file where the folder belongs stops even root from creating the store.
    QTest::newRow("settings folder is a file") << true;
    QTest::newRow("settings file is a folder") << false;
}

void TestSettingsStore::saveIntoUnwritablePlaceFails()
{
    QFETCH(bool, folderIsAFile);

    if (folderIsAFile) {
        writeFile(configDir(), "not a folder");
    } else {
        QVERIFY(QDir().mkpath(iniPath()));
        writeFile(iniPath() + QStringLiteral("/keep.txt"), "inside");
    }
    const QStringList before = snapshot(m_settings.home());

    QString error;
    QVERIFY(!SettingsStore::save(settings::HLDir, QStringLiteral("/games/hl"), &error));
    QVERIFY(!error.trimmed().isEmpty());
    QVERIFY(!SettingsStore::save(settings::BeenRun, QStringLiteral("True")));

    QCOMPARE(snapshot(m_settings.home()), before);
    if (folderIsAFile)
        QCOMPARE(readFile(configDir()), QByteArray("not a folder"));
    else
        QCOMPARE(readFile(iniPath() + QStringLiteral("/keep.txt")), QByteArray("inside"));
    QCOMPARE(SettingsStore::read(settings::HLDir), QString());
}

void TestSettingsStore::saveOverDamagedFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("beenRunAfter");

    QTest::newRow("all garbage") << QByteArray(4096, '\xff') << QString();
    QTest::newRow("good values and garbage")
        << QByteArray("[Settings]\nBeenRun=True\nstray line\n\x01\x02\n") << QStringLiteral("True");
}

void TestSettingsStore::saveOverDamagedFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, beenRunAfter);

    // A damaged store is replaced by a sound one and what could be read of it
    // is kept. The settings dialog trusts the result of save(); a false
    // failure keeps the player in the dialog although the value was stored.
    QVERIFY(QDir().mkpath(configDir()));
    writeFile(iniPath(), content);

    QString error;
    const bool saved = SettingsStore::save(settings::HLDir, QStringLiteral("/games/hl"), &error);
    QCOMPARE(SettingsStore::read(settings::HLDir), QStringLiteral("/games/hl"));
    QCOMPARE(SettingsStore::read(settings::BeenRun), beenRunAfter);
    QVERIFY2(saved, qPrintable(error));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settings_store.moc"

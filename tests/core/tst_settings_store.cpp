#include "scratch_settings.h"
#include "settings_store.h"
#include "test_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

using namespace tagswap;
using tagswap::testing::readFile;
using tagswap::testing::ScratchSettings;
using tagswap::testing::snapshot;
using tagswap::testing::writeFile;

namespace {

// Run by the test on itself in a child process, so that the file size limit
// hits the store and not the test.
constexpr char saveWithoutRoom[] = "--save-without-room";

// Saves value under HLDir with no room to write even one byte, then prints
// what reading HLDir gives. Exit status 1: the save failed and said why.
int runSaveWithoutRoom(int argc, char **argv)
{
#ifdef Q_OS_UNIX
    QCoreApplication app(argc, argv);
    const rlimit noRoom{0, 0};
    if (::setrlimit(RLIMIT_FSIZE, &noRoom) != 0)
        return 3;
    // Without this the kernel would kill us instead of failing the write.
    std::signal(SIGXFSZ, SIG_IGN);
    QString error;
    const bool saved = SettingsStore::save(settings::HLDir, QString::fromUtf8(argv[2]), &error);
    std::fputs(SettingsStore::read(settings::HLDir).toUtf8().constData(), stdout);
    std::fputs(error.toUtf8().constData(), stderr);
    if (saved)
        return 0;
    return error.trimmed().isEmpty() ? 2 : 1;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return 3;
#endif
}

#ifdef Q_OS_WIN
using tagswap::testing::settingsKey;

// Text as a REG_SZ value holds it: UTF-16 with its terminating NUL, as the
// original program wrote it.
QByteArray regSz(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), (text.size() + 1) * 2);
}

struct RawValue {
    DWORD type = REG_NONE;
    QByteArray data;
    bool operator==(const RawValue &) const = default;
};

// A value of the settings key as the registry holds it, read past the store.
std::optional<RawValue> rawValue(QStringView name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring value = name.toString().toStdWString();
    RawValue raw;
    DWORD size = 1 << 20;
    raw.data.resize(size);
    const LSTATUS status = RegQueryValueExW(key, value.c_str(), nullptr, &raw.type,
                                            reinterpret_cast<BYTE *>(raw.data.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    raw.data.resize(size);
    return raw;
}

// Stores a value past the store, as the original program or a registry editor would.
bool writeRaw(QStringView name, DWORD type, const QByteArray &data)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, settingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr)
        != ERROR_SUCCESS)
        return false;
    const std::wstring value = name.toString().toStdWString();
    const LSTATUS status =
        RegSetValueExW(key, value.c_str(), 0, type,
                       reinterpret_cast<const BYTE *>(data.constData()), DWORD(data.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool setSettingsKeyAccess(const wchar_t *sddl)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsKey, 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return false;
    const bool set = tagswap::testing::setKeyAccess(key, sddl);
    RegCloseKey(key);
    return set;
}
#endif

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void freshAccountReadsEmpty();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
#ifdef Q_OS_WIN
    void storedAsTextUnderTheOriginalKey();
#else
    void storedAsIniUnderConfigHome();
#endif
    void everyReadSeesTheFileAsItIsNow();
    void damagedStoreReadsEmpty_data();
    void damagedStoreReadsEmpty();
    void saveIntoUnwritablePlaceFails_data();
    void saveIntoUnwritablePlaceFails();
    void saveOverDamagedFile_data();
    void saveOverDamagedFile();
#ifdef Q_OS_UNIX
    // Windows has no file size limit to set; refused saves are in saveIntoUnwritablePlaceFails.
    void saveWithoutRoomKeepsWhatWasThere_data();
    void saveWithoutRoomKeepsWhatWasThere();
#endif

private:
    QString configDir() const
    {
        return m_settings.folder();
    }
    QString iniPath() const
    {
        return configDir() + QStringLiteral("/Tagswap.ini");
    }

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
    QVERIFY(!m_settings.storeExists());
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
    QTest::newRow("longest path Windows takes") << QString(32767, u'x');
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
#ifdef Q_OS_WIN
    // Stored as is, and read as is when the original program wrote it, with
    // its terminating NUL or, as some other programs do, without.
    QCOMPARE(rawValue(settings::HLDir), (RawValue{REG_SZ, regSz(value)}));
    for (const QByteArray &stored : {regSz(value), regSz(value).chopped(2)}) {
        m_settings.clearStore();
        QVERIFY(writeRaw(settings::HLDir, REG_SZ, stored));
        QCOMPARE(SettingsStore::read(settings::HLDir), value);
    }
#endif
}

#ifdef Q_OS_WIN
void TestSettingsStore::storedAsTextUnderTheOriginalKey()
{
    QVERIFY(SettingsStore::save(settings::HLDir, QStringLiteral("C:\\SIERRA\\Half-Life")));
    QVERIFY(SettingsStore::save(settings::BeenRun, QStringLiteral("True")));

    QCOMPARE(SettingsStore::location(),
             QStringLiteral(
                 "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Tagswap\\Settings"));
    QCOMPARE(rawValue(settings::HLDir),
             (RawValue{REG_SZ, regSz(QStringLiteral("C:\\SIERRA\\Half-Life"))}));
    QCOMPARE(rawValue(settings::BeenRun), (RawValue{REG_SZ, regSz(QStringLiteral("True"))}));
}
#else
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
#endif

void TestSettingsStore::everyReadSeesTheFileAsItIsNow()
{
    QVERIFY(SettingsStore::save(settings::HLDir, QStringLiteral("/first")));
    QCOMPARE(SettingsStore::read(settings::HLDir), QStringLiteral("/first"));

#ifdef Q_OS_WIN
    // Another program, or the player in a registry editor, changes the value between two reads.
    QVERIFY(writeRaw(settings::HLDir, REG_SZ, regSz(QStringLiteral("C:\\edited"))));
    QCOMPARE(SettingsStore::read(settings::HLDir), QStringLiteral("C:\\edited"));
    m_settings.clearStore();
#else
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
#endif
    QCOMPARE(SettingsStore::read(settings::HLDir), QString());
    QCOMPARE(SettingsStore::read(settings::BeenRun), QString());
}

void TestSettingsStore::damagedStoreReadsEmpty_data()
{
    QTest::addColumn<QByteArray>("content");
#ifdef Q_OS_WIN
    // The registry type of both values; the original program wrote REG_SZ alone.
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("unreadable"); // the settings key denies reading

    const QByteArray path = regSz(QStringLiteral("C:\\SIERRA\\Half-Life"));
    QTest::newRow("number (REG_DWORD)") << QByteArray("\x01\0\0\0", 4) << int(REG_DWORD) << false;
    QTest::newRow("number (REG_QWORD)") << QByteArray(8, '\x01') << int(REG_QWORD) << false;
    QTest::newRow("text as REG_BINARY") << path << int(REG_BINARY) << false;
    QTest::newRow("text as REG_NONE") << path << int(REG_NONE) << false;
    QTest::newRow("list (REG_MULTI_SZ)")
        << path + QByteArray(2, '\0') << int(REG_MULTI_SZ) << false;
    QTest::newRow("expandable (REG_EXPAND_SZ)")
        << regSz(QStringLiteral("%SystemDrive%\\Half-Life")) << int(REG_EXPAND_SZ) << false;
    QTest::newRow("text over 32,767 characters")
        << regSz(QString(32768, u'x')) << int(REG_SZ) << false;
    QTest::newRow("key denies reading") << path << int(REG_SZ) << true;
#else
    QTest::addColumn<bool>("asFolder");

    QByteArray binary(4096, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 7919) & 0xff);

    QTest::newRow("text without sections") << QByteArray("this is not\nan ini file\n") << false;
    QTest::newRow("unclosed section") << QByteArray("[Settings\nHLDir") << false;
    QTest::newRow("invalid UTF-8") << QByteArray(4096, '\xff') << false;
    QTest::newRow("binary") << binary << false;
    QTest::newRow("settings file is a folder") << QByteArray() << true;
#endif
}

void TestSettingsStore::damagedStoreReadsEmpty()
{
    QFETCH(QByteArray, content);
#ifdef Q_OS_WIN
    QFETCH(int, type);
    QFETCH(bool, unreadable);

    QVERIFY(writeRaw(settings::HLDir, DWORD(type), content));
    QVERIFY(writeRaw(settings::BeenRun, DWORD(type), content));
    // Without its rights back the key could not be removed for the next case.
    const auto restore = qScopeGuard([] { setSettingsKeyAccess(L"D:(A;;KA;;;WD)"); });
    if (unreadable)
        QVERIFY(setSettingsKeyAccess(L"D:(D;;0x1;;;WD)(A;;KA;;;WD)"));
#else
    QFETCH(bool, asFolder);

    if (asFolder) {
        QVERIFY(QDir().mkpath(iniPath()));
    } else {
        QVERIFY(QDir().mkpath(configDir()));
        writeFile(iniPath(), content);
    }
#endif

    QCOMPARE(SettingsStore::read(settings::HLDir), QString());
    QCOMPARE(SettingsStore::read(settings::BeenRun), QString());
}

void TestSettingsStore::saveIntoUnwritablePlaceFails_data()
{
#ifdef Q_OS_WIN
    QTest::addColumn<QString>("earlier"); // HLDir before; null for nothing stored
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("blocked"); // the settings key refuses writes

    const QString path = QStringLiteral("C:\\games\\Half-Life");
    QTest::newRow("key refuses writes") << QString() << path << true;
    QTest::newRow("key refuses writes, earlier value stays")
        << QStringLiteral("C:\\old") << path << true;
    // read() would give "" for it, so storing it would lose the earlier value.
    QTest::newRow("value over 32,767 characters")
        << QStringLiteral("C:\\old") << QString(32768, u'x') << false;
#else
    QTest::addColumn<bool>("folderIsAFile");

    // A file where the folder belongs stops even root from creating the store.
    QTest::newRow("settings folder is a file") << true;
    QTest::newRow("settings file is a folder") << false;
#endif
}

void TestSettingsStore::saveIntoUnwritablePlaceFails()
{
#ifdef Q_OS_WIN
    QFETCH(QString, earlier);
    QFETCH(QString, value);
    QFETCH(bool, blocked);
    if (!earlier.isNull()) {
        QVERIFY(SettingsStore::save(settings::HLDir, earlier));
        QVERIFY(SettingsStore::save(settings::BeenRun, QStringLiteral("True")));
    }
    if (blocked)
        QVERIFY(m_settings.blockSaves());
    const std::optional<RawValue> before = rawValue(settings::HLDir);

    QString error;
    QVERIFY(!SettingsStore::save(settings::HLDir, value, &error));
    QVERIFY(!error.trimmed().isEmpty());
    QCOMPARE(SettingsStore::save(settings::BeenRun, QStringLiteral("False")), !blocked);
    m_settings.unblockSaves();

    QCOMPARE(rawValue(settings::HLDir), before);
    QCOMPARE(SettingsStore::read(settings::HLDir), earlier);
#else
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
#endif
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
#ifdef Q_OS_WIN
    // The content as binary values (REG_BINARY), but BeenRun as text when it reads so after.
    QVERIFY(writeRaw(settings::HLDir, REG_BINARY, content));
    QVERIFY(beenRunAfter.isEmpty() ? writeRaw(settings::BeenRun, REG_BINARY, content)
                                   : writeRaw(settings::BeenRun, REG_SZ, regSz(beenRunAfter)));
#else
    QVERIFY(QDir().mkpath(configDir()));
    writeFile(iniPath(), content);
#endif

    QString error;
    const bool saved = SettingsStore::save(settings::HLDir, QStringLiteral("/games/hl"), &error);
    QCOMPARE(SettingsStore::read(settings::HLDir), QStringLiteral("/games/hl"));
    QCOMPARE(SettingsStore::read(settings::BeenRun), beenRunAfter);
    QVERIFY2(saved, qPrintable(error));
}

#ifdef Q_OS_UNIX
void TestSettingsStore::saveWithoutRoomKeepsWhatWasThere_data()
{
    QTest::addColumn<QByteArray>("stored"); // the settings file; null for none
    QTest::addColumn<QString>("earlier");   // what HLDir reads before and after

    QTest::newRow("earlier folder") << QByteArray("[Settings]\nHLDir=/games/old\nBeenRun=True\n")
                                    << QStringLiteral("/games/old");
    QTest::newRow("earlier empty") << QByteArray("[Settings]\nHLDir=\n") << QString();
    QTest::newRow("only the other key") << QByteArray("[Settings]\nBeenRun=True\n") << QString();
    QTest::newRow("no settings file, folder there") << QByteArray() << QString();
}

void TestSettingsStore::saveWithoutRoomKeepsWhatWasThere()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, earlier);

    // A full disk or a quota, as a read-only file would, makes the save fail; the
    // program must then go on with what is stored, not with what failed to be.
    QVERIFY(QDir().mkpath(configDir()));
    if (!stored.isNull())
        writeFile(iniPath(), stored);
    const QStringList before = snapshot(m_settings.home(), tagswap::testing::FileDetail::Sha1);

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(saveWithoutRoom), QStringLiteral("/games/new")});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    // 1: the save failed with a reason; 0 would mean the limit never struck.
    QCOMPARE(child.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), earlier);
    // The reason a full disk or a quota would give, not a guess.
    QCOMPARE(QString::fromUtf8(child.readAllStandardError()), QStringLiteral("File too large"));

    QCOMPARE(snapshot(m_settings.home(), tagswap::testing::FileDetail::Sha1), before);
    QCOMPARE(SettingsStore::read(settings::HLDir), earlier);
}
#endif

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], saveWithoutRoom) == 0)
        return runSaveWithoutRoom(argc, argv);

    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settings_store.moc"

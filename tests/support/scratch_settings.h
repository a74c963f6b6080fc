#pragma once

#include "settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <utility>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <sddl.h>
#endif

namespace tagswap::testing {

#ifdef Q_OS_WIN
// Under HKEY_CURRENT_USER: the program's key, as the original program made it,
// and the one of its settings section, which holds the values.
inline constexpr wchar_t programKey[] = L"Software\\VB and VBA Program Settings\\Tagswap";
inline constexpr wchar_t settingsKey[] =
    L"Software\\VB and VBA Program Settings\\Tagswap\\Settings";
#endif

// Settings and kept sprays of the test program's own, so that its cases
// neither see nor change those of the account that runs them.
//
// On Linux they live under a scratch XDG_CONFIG_HOME and XDG_DATA_HOME. On
// Windows neither the registry nor LocalAppData can be pointed elsewhere, so
// the tests run only in a throwaway profile: the Wine prefix that
// tools/wine-run.sh makes for each run, or a CI machine's own account, which
// says so with TAGSWAP_TEST_PROFILE=throwaway.
class ScratchSettings {
public:
    // For initTestCase(): QSettings fixes its folders at first use, so this has
    // to come before anything reads or writes a setting, and only once.
    void setUp()
    {
        QVERIFY(m_home.isValid());
#ifdef Q_OS_WIN
        QVERIFY2(qEnvironmentVariable("TAGSWAP_TEST_PROFILE") == u"throwaway",
                 "these tests replace the account's Tagswap settings and kept sprays: run "
                 "them under tools/wine-run.sh or with TAGSWAP_TEST_PROFILE=throwaway");
#else
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
        // Sprays replaced in the game are kept under the data home.
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        QVERIFY2(SettingsStore::location().startsWith(m_home.path()),
                 qPrintable(SettingsStore::location()));
#endif
    }

    // For init(): every case starts as an account that never ran the program.
    // A case may have left a file where the folder belongs.
    void reset()
    {
#ifdef Q_OS_WIN
        unblockSaves();
        clearStore();
        QVERIFY(!storeExists());
        QVERIFY(QDir(dataHome() + QStringLiteral("/Tagswap")).removeRecursively());
#else
        QVERIFY(QDir(dataHome()).removeRecursively());
        const QFileInfo entry(folder());
        if (entry.isDir())
            QVERIFY(QDir(folder()).removeRecursively());
        else if (entry.exists())
            QVERIFY(QFile::remove(folder()));
#endif
    }

    // Whether anything of the store is there, as after a save.
    bool storeExists() const
    {
#ifdef Q_OS_WIN
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, programKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
#else
        return QFileInfo::exists(folder());
#endif
    }

    // Removes every stored value, as though the program had never saved one.
    void clearStore()
    {
#ifdef Q_OS_WIN
        RegDeleteTreeW(HKEY_CURRENT_USER, programKey);
#else
        QDir(folder()).removeRecursively();
#endif
    }

    // Makes every save fail from now on, even for an administrator or root.
    [[nodiscard]] bool blockSaves();
    void unblockSaves();

    QString home() const
    {
        return m_home.path();
    }
    // Where kept sprays go: the data home, under which Tagswap makes its folder.
    QString dataHome() const
    {
#ifdef Q_OS_WIN
        return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
        return m_home.filePath(QStringLiteral("data"));
#endif
    }
    // Where the store keeps its file on Linux; a file put here makes every save fail.
    QString folder() const
    {
        return m_home.filePath(QStringLiteral("Tagswap"));
    }

private:
    QTemporaryDir m_home;
#ifdef Q_OS_WIN
    // The settings key's access list from before blockSaves(), to put back.
    QByteArray m_openAccess;
#endif
};

#ifndef Q_OS_WIN
// A file where the settings folder belongs.
inline bool ScratchSettings::blockSaves()
{
    QFile file(folder());
    return file.open(QIODevice::WriteOnly) && file.write("in the way") == 10;
}

inline void ScratchSettings::unblockSaves()
{
    QFile::remove(folder());
}
#else
// A key's access list (DACL), in the self-relative form the registry gives it.
inline QByteArray keyAccess(HKEY key)
{
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    QByteArray access(qsizetype(size), '\0');
    if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, access.data(), &size) != ERROR_SUCCESS)
        return {};
    return access;
}

inline bool setKeyAccess(HKEY key, const wchar_t *sddl)
{
    PSECURITY_DESCRIPTOR access = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &access,
                                                              nullptr))
        return false;
    const LSTATUS status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, access);
    LocalFree(access);
    return status == ERROR_SUCCESS;
}

// Everyone, administrators included, is denied setting values and making
// subkeys on the settings key, made here if need be; every other right stays.
// The entry must be on that key itself: a new entry on the program's key does
// not reach a subkey that is already there, and Wine checks no right on the
// parent when a key is created.
inline bool ScratchSettings::blockSaves()
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, settingsKey, 0, nullptr, 0, READ_CONTROL | WRITE_DAC,
                        nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return false;
    static_assert((KEY_SET_VALUE | KEY_CREATE_SUB_KEY) == 0x6);
    m_openAccess = keyAccess(key);
    const bool blocked =
        !m_openAccess.isEmpty() && setKeyAccess(key, L"D:(D;;0x6;;;WD)(A;;KA;;;WD)");
    RegCloseKey(key);
    return blocked;
}

inline void ScratchSettings::unblockSaves()
{
    const QByteArray access = std::exchange(m_openAccess, {});
    HKEY key = nullptr;
    // A key removed since has nothing to put back.
    if (access.isEmpty()
        || RegOpenKeyExW(HKEY_CURRENT_USER, settingsKey, 0, WRITE_DAC, &key) != ERROR_SUCCESS)
        return;
    const LSTATUS status =
        RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, PSECURITY_DESCRIPTOR(access.data()));
    RegCloseKey(key);
    QCOMPARE(status, ERROR_SUCCESS);
}
#endif

} // namespace tagswap::testing

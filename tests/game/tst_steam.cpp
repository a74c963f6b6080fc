// Finding and starting the game: Valve's KeyValues text, the Steam search over
// fake Steam installs in a scratch home, and the choice of how to start the game.
#include "game_launch.h"
#include "key_values.h"
#include "scratch_folder.h"
#include "steam_search.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QTest>

#ifdef Q_OS_WIN
#include <QSettings>
#include <QTemporaryDir>
#endif

using namespace tagswap;
using namespace Qt::StringLiterals;
using tagswap::testing::ScratchFolder;
using tagswap::testing::tryWriteFile;

namespace {

// A flat view of a parsed text: "key=value" and "key{" ... "}" in order.
QString flatten(const KeyValues &block)
{
    QStringList parts;
    for (const KeyValues &entry : block.children) {
        if (entry.isBlock)
            parts << entry.key + u'{' + flatten(entry) + u'}';
        else
            parts << entry.key + u'=' + entry.value;
    }
    return parts.join(u' ');
}

// As Steam writes a path into its files: native separators, each backslash escaped.
QByteArray vdfPath(const QString &path)
{
    return QDir::toNativeSeparators(path).replace(u'\\', u"\\\\"_s).toUtf8();
}

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity fileNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity fileNameCase = Qt::CaseSensitive;
#endif

QByteArray currentLibraries(const QStringList &paths)
{
    QByteArray text = "\"libraryfolders\"\n{\n";
    for (qsizetype i = 0; i < paths.size(); ++i) {
        text += "\t\"" + QByteArray::number(i) + "\"\n\t{\n\t\t\"path\"\t\t\"" + vdfPath(paths[i])
                + "\"\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n"
                + (i == 1 ? "\t\t\t\"70\"\t\t\"123\"\n" : "") + "\t\t}\n\t}\n";
    }
    return text + "}\n";
}

#ifdef Q_OS_WIN
// One of Steam's registry values for the length of a case: none at first,
// whatever the account had before once the object goes.
class RegistryValue {
public:
    RegistryValue(const QString &key, const QString &name)
        : m_key(key, QSettings::NativeFormat), m_name(name), m_before(m_key.value(name))
    {
        m_key.remove(m_name);
    }
    RegistryValue(const RegistryValue &) = delete;
    RegistryValue &operator=(const RegistryValue &) = delete;
    ~RegistryValue()
    {
        if (m_before.isValid())
            m_key.setValue(m_name, m_before);
        else
            m_key.remove(m_name);
    }
    [[nodiscard]] bool set(const QString &value)
    {
        m_key.setValue(m_name, value);
        m_key.sync();
        return m_key.status() == QSettings::NoError && m_key.value(m_name) == value;
    }

private:
    QSettings m_key;
    QString m_name;
    QVariant m_before;
};
#endif

} // namespace

class TestSteam : public QObject {
    Q_OBJECT

private slots:
    void parseKeyValues_data();
    void parseKeyValues();
    void findsTheGame_data();
    void findsTheGame();
    void launch_data();
    void launch();

private:
    // A Steam root or library under the scratch home, with what the test asks for.
    QString makeLibrary(const QString &path, const QByteArray &manifest = {},
                        const QString &gameFolder = {}, const QString &program = u"hl_linux"_s,
                        const QString &app = u"70"_s);
    // Sven Co-op's app and folder in a library, with this program.
    QString makeSvenCoop(const QString &path, const QString &program)
    {
        return makeLibrary(path, R"("AppState" { "appid" "225840" "installdir" "Sven Co-op" })",
                           u"Sven Co-op"_s, program, u"225840"_s);
    }
#ifdef Q_OS_WIN
    void setUpWindowsSteam(const QString &setUp, const QByteArray &manifest,
                           RegistryValue &steamPath, RegistryValue &installPath);
    std::unique_ptr<QTemporaryDir> m_otherDisk;
#endif
    std::unique_ptr<ScratchFolder> m_home;
};

void TestSteam::parseKeyValues_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("parsed"); // empty: must be refused

    QTest::newRow("current library list")
        << QByteArray("\"libraryfolders\" { \"0\" { \"path\" \"/a\" \"apps\" { \"70\" \"1\" } } }")
        << u"libraryfolders{0{path=/a apps{70=1}}}"_s;
    QTest::newRow("pre-2021 list, escaped backslashes")
        << QByteArray("\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\"1\"\n"
                      "\t\"1\"\t\"D:\\\\Games\\\\Steam\"\n}\n")
        << u"LibraryFolders{TimeNextStatsReport=1 1=D:\\Games\\Steam}"_s;
    QTest::newRow("escapes") << QByteArray(R"("k" "a\"b\tc\nd\\e\qf")") << u"k=a\"b\tc\nd\\e\\qf"_s;
    QTest::newRow("comments, bare tokens, conditions")
        << QByteArray("// Steam\nAppState // the app\n{ appid 70 [$LINUX] \"name\" \"Half-Life\" }")
        << u"AppState{appid=70 name=Half-Life}"_s;
    QTest::newRow("CR LF and UTF-8") << QByteArray("\"k\"\r\n{\r\n\"p\" \"/m\xc3\xa9"
                                                   "dia\"\r\n}\r\n")
                                     << u"k{p=/média}"_s;
    QTest::newRow("empty text") << QByteArray() << QString();
    QTest::newRow("braces in quotes") << QByteArray(R"("a" "{}")") << u"a={}"_s;

    QTest::newRow("unclosed quote") << QByteArray("\"libraryfolders\" { \"0\" \"/a") << QString();
    QTest::newRow("unclosed block") << QByteArray("\"a\" { \"b\" \"c\"") << QString();
    QTest::newRow("key without value") << QByteArray("\"a\" { \"b\" }") << QString();
    QTest::newRow("stray closing brace") << QByteArray("\"a\" \"b\" }") << QString();
    QTest::newRow("block without key") << QByteArray("{ \"a\" \"b\" }") << QString();
    QTest::newRow("31 levels deep")
        << QByteArray("k { ").repeated(31) + QByteArray("} ").repeated(31)
        << u"k{"_s.repeated(31) + u"}"_s.repeated(31);
    QTest::newRow("32 levels deep")
        << QByteArray("k { ").repeated(32) + QByteArray("} ").repeated(32) << QString();
    QTest::newRow("over 1 MiB") << QByteArray("\"k\" \"") + QByteArray(1 << 20, 'x') + "\""
                                << QString();
}

void TestSteam::parseKeyValues()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, parsed);
    QString error;
    const std::optional<KeyValues> root = tagswap::parseKeyValues(text, &error);
    if (QByteArray(QTest::currentDataTag()) == "empty text") {
        QVERIFY(root && root->children.empty());
        return;
    }
    if (parsed.isEmpty()) {
        QVERIFY2(!root, qPrintable(root ? flatten(*root) : QString()));
        QVERIFY(!error.isEmpty());
        return;
    }
    QVERIFY2(root, qPrintable(error));
    QCOMPARE(flatten(*root), parsed);
}

QString TestSteam::makeLibrary(const QString &path, const QByteArray &manifest,
                               const QString &gameFolder, const QString &program,
                               const QString &app)
{
    // A path on another disk is taken as it is.
    QString library = QDir(m_home->path()).filePath(path);
    QDir().mkpath(library + u"/steamapps"_s);
    if (!manifest.isEmpty()) {
        if (!tryWriteFile(library + u"/steamapps/appmanifest_"_s + app + u".acf"_s, manifest))
            return {};
        const QString game = library + u"/steamapps/common/"_s + gameFolder;
        QDir().mkpath(game);
        if (!program.isEmpty() && !tryWriteFile(game + u'/' + program, "ELF"))
            return {};
    }
    return library;
}

void TestSteam::findsTheGame_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("found"); // relative to the home, or "%/..." to the other disk;
                                        // empty: nothing

    // Each set-up is built in findsTheGame() by name, so that each row reads as a story.
#ifdef Q_OS_WIN
    // The Steam install comes from the registry, here with a scratch home as its
    // disk C: and Wine's Z: (the Linux root) as another disk.
    QTest::newRow("SteamPath as Steam writes it")
        << u"steam path"_s << u"Steam/steamapps/common/Half-Life"_s;
    QTest::newRow("InstallPath of the machine only")
        << u"install path"_s << u"Program Files (x86)/Steam/steamapps/common/Half-Life"_s;
    QTest::newRow("SteamPath gone, InstallPath there")
        << u"steam path gone"_s << u"Program Files (x86)/Steam/steamapps/common/Half-Life"_s;
    QTest::newRow("library on another disk")
        << u"other disk"_s << u"%/SteamLibrary/steamapps/common/Half-Life"_s;
    QTest::newRow("pre-2021 list, drive letter in lower case")
        << u"old list lower case"_s << u"%/SteamLibrary/steamapps/common/HL"_s;
    QTest::newRow("installdir climbs out by backslashes") << u"climbs out"_s << QString();
    QTest::newRow("Linux build only") << u"linux build"_s << QString();
    QTest::newRow("no Steam in the registry") << u"nothing"_s << QString();
    QTest::newRow("Counter-Strike only")
        << u"counter-strike"_s << u"Steam/steamapps/common/Half-Life"_s;
    QTest::newRow("Sven Co-op only") << u"sven co-op"_s << u"Steam/steamapps/common/Sven Co-op"_s;
    QTest::newRow("Sven Co-op in the root, Half-Life in another library")
        << u"both games"_s << u"Library/steamapps/common/Half-Life"_s;
    return;
#endif
    QTest::newRow("game in the root")
        << u"root"_s << u".local/share/Steam/steamapps/common/Half-Life"_s;
    QTest::newRow("game in the second library")
        << u"second library"_s << u"disk2/steamapps/common/Half-Life"_s;
    QTest::newRow("pre-2021 list") << u"old list"_s << u"disk2/steamapps/common/HL"_s;
    QTest::newRow("manifest without installdir")
        << u"no installdir"_s << u".steam/debian-installation/steamapps/common/Half-Life"_s;
    QTest::newRow("library that is gone, then the game")
        << u"gone library"_s << u"disk3/steamapps/common/Half-Life"_s;
    QTest::newRow("Flatpak Steam")
        << u"flatpak"_s
        << u".var/app/com.valvesoftware.Steam/.local/share/Steam/steamapps/common/Half-Life"_s;
    QTest::newRow("installdir climbs out") << u"climbs out"_s << QString();
    QTest::newRow("manifest but no game program") << u"no program"_s << QString();
    QTest::newRow("Windows build only")
        << u"windows build"_s << u".local/share/Steam/steamapps/common/Half-Life"_s;
    QTest::newRow("no Steam at all") << u"nothing"_s << QString();
    QTest::newRow("hostile library list") << u"hostile list"_s << QString();
    QTest::newRow("Counter-Strike only")
        << u"counter-strike"_s << u".local/share/Steam/steamapps/common/Half-Life"_s;
    QTest::newRow("Sven Co-op only")
        << u"sven co-op"_s << u".local/share/Steam/steamapps/common/Sven Co-op"_s;
    QTest::newRow("Sven Co-op in the root, Half-Life in another library")
        << u"both games"_s << u"disk2/steamapps/common/Half-Life"_s;
    QTest::newRow("Sven Co-op's manifest, Half-Life's program")
        << u"sven co-op, hl_linux"_s << QString();
}

void TestSteam::findsTheGame()
{
    QFETCH(QString, setUp);
    QFETCH(QString, found);
    m_home = std::make_unique<ScratchFolder>();
    const QString root = u".local/share/Steam"_s;
    const QByteArray manifest =
        "\"AppState\"\n{\n\t\"appid\"\t\t\"70\"\n\t\"installdir\"\t\t\"Half-Life\"\n}\n";
    const QString rootPath = m_home->filePath(root);
#ifdef Q_OS_WIN
    RegistryValue steamPath(u"HKEY_CURRENT_USER\\Software\\Valve\\Steam"_s, u"SteamPath"_s);
    RegistryValue installPath(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Valve\\Steam"_s,
                              u"InstallPath"_s);
    setUpWindowsSteam(setUp, manifest, steamPath, installPath);
    if (QTest::currentTestFailed())
        return;
    if (found.startsWith(u'%'))
        found = m_otherDisk->path() + found.mid(1);
#else
    if (setUp == u"root") {
        makeLibrary(root, manifest, u"Half-Life"_s);
    } else if (setUp == u"second library" || setUp == u"gone library") {
        makeLibrary(root);
        const QString other = setUp == u"gone library" ? u"disk3"_s : u"disk2"_s;
        makeLibrary(other, manifest, u"Half-Life"_s);
        QStringList paths{rootPath, m_home->filePath(u"disk2"_s), m_home->filePath(other)};
        if (setUp == u"gone library")
            paths[1] = m_home->filePath(u"unplugged"_s);
        QVERIFY(
            tryWriteFile(rootPath + u"/steamapps/libraryfolders.vdf"_s, currentLibraries(paths)));
    } else if (setUp == u"old list") {
        makeLibrary(root);
        makeLibrary(u"disk2"_s, "AppState { installdir HL }", u"HL"_s);
        QVERIFY(tryWriteFile(rootPath + u"/steamapps/libraryfolders.vdf"_s,
                             "\"LibraryFolders\" { \"TimeNextStatsReport\" \"1\" \"1\" \""
                                 + m_home->filePath(u"disk2"_s).toUtf8() + "\" }"));
    } else if (setUp == u"no installdir") {
        makeLibrary(u".steam/debian-installation"_s, "\"AppState\" { \"appid\" \"70\" }",
                    u"Half-Life"_s);
    } else if (setUp == u"flatpak") {
        makeLibrary(u".var/app/com.valvesoftware.Steam/.local/share/Steam"_s, manifest,
                    u"Half-Life"_s);
    } else if (setUp == u"climbs out") {
        makeLibrary(root, "\"AppState\" { \"installdir\" \"../../..\" }", u"Half-Life"_s);
        // Where the climb would land.
        QVERIFY(tryWriteFile(m_home->filePath(u".local/share/hl_linux"_s), "ELF"));
    } else if (setUp == u"no program") {
        makeLibrary(root, manifest, u"Half-Life"_s, QString());
    } else if (setUp == u"windows build") {
        makeLibrary(root, manifest, u"Half-Life"_s, u"hl.exe"_s);
    } else if (setUp == u"counter-strike") {
        makeLibrary(root, R"("AppState" { "appid" "10" "installdir" "Half-Life" })", u"Half-Life"_s,
                    u"hl_linux"_s, u"10"_s);
    } else if (setUp == u"sven co-op" || setUp == u"sven co-op, hl_linux") {
        makeSvenCoop(root, setUp == u"sven co-op" ? u"svencoop_linux"_s : u"hl_linux"_s);
    } else if (setUp == u"both games") {
        makeSvenCoop(root, u"svencoop_linux"_s);
        makeLibrary(u"disk2"_s, manifest, u"Half-Life"_s);
        QVERIFY(tryWriteFile(rootPath + u"/steamapps/libraryfolders.vdf"_s,
                             currentLibraries({rootPath, m_home->filePath(u"disk2"_s)})));
    } else if (setUp == u"hostile list") {
        makeLibrary(root);
        QVERIFY(tryWriteFile(rootPath + u"/steamapps/libraryfolders.vdf"_s,
                             QByteArray("\"libraryfolders\" { \"0\" { \"path\" \"/")
                                 + QByteArray(500000, '{')));
    }
    // Every candidate root is tried; the links under ~/.steam count once.
    QDir().mkpath(m_home->filePath(u".steam"_s));
    QFile::link(rootPath, m_home->filePath(u".steam/steam"_s));
#endif

    const QString game = findSteamGames(steamRootCandidates(m_home->path())).preferred();
    const QString expected = found.isEmpty()
                                 ? QString()
                                 : QDir::toNativeSeparators(QDir(m_home->path()).filePath(found));
    // Windows ignores the case of file names, and Steam writes its path in lower case.
    QVERIFY2(game.compare(expected, fileNameCase) == 0,
             qPrintable(u"found "_s + game + u", expected "_s + expected));
}

#ifdef Q_OS_WIN
void TestSteam::setUpWindowsSteam(const QString &setUp, const QByteArray &manifest,
                                  RegistryValue &steamPath, RegistryValue &installPath)
{
    const QString steam = m_home->filePath(u"Steam"_s);
    const QString programFiles = u"Program Files (x86)/Steam"_s;
    if (setUp == u"steam path" || setUp == u"linux build") {
        makeLibrary(u"Steam"_s, manifest, u"Half-Life"_s,
                    setUp == u"steam path" ? u"hl.exe"_s : u"hl_linux"_s);
        // Steam writes it in lower case, with forward slashes.
        QVERIFY(steamPath.set(steam.toLower()));
    } else if (setUp == u"climbs out") {
        makeLibrary(u"Steam"_s, R"("AppState" { "installdir" "..\\..\\.." })", u"Half-Life"_s);
        // Where the climb would land.
        QVERIFY(tryWriteFile(m_home->filePath(u"hl.exe"_s), "MZ"));
        QVERIFY(steamPath.set(steam));
    } else if (setUp == u"counter-strike") {
        makeLibrary(u"Steam"_s, R"("AppState" { "installdir" "Half-Life" })", u"Half-Life"_s,
                    u"hl.exe"_s, u"10"_s);
        QVERIFY(steamPath.set(steam));
    } else if (setUp == u"sven co-op") {
        makeSvenCoop(u"Steam"_s, u"svencoop.exe"_s);
        QVERIFY(steamPath.set(steam));
    } else if (setUp == u"both games") {
        makeSvenCoop(u"Steam"_s, u"svencoop.exe"_s);
        const QString library = makeLibrary(u"Library"_s, manifest, u"Half-Life"_s, u"hl.exe"_s);
        QVERIFY(tryWriteFile(steam + u"/steamapps/libraryfolders.vdf"_s,
                             currentLibraries({steam, library})));
        QVERIFY(steamPath.set(steam));
    } else if (setUp == u"install path" || setUp == u"steam path gone") {
        makeLibrary(programFiles, manifest, u"Half-Life"_s, u"hl.exe"_s);
        if (setUp == u"steam path gone")
            QVERIFY(steamPath.set(m_home->filePath(u"uninstalled/Steam"_s)));
        QVERIFY(installPath.set(QDir::toNativeSeparators(m_home->filePath(programFiles))));
    } else if (setUp == u"other disk" || setUp == u"old list lower case") {
        if (!QFileInfo(u"Z:/tmp"_s).isDir())
            QSKIP("needs a second disk, such as Wine's Z:");
        m_otherDisk = std::make_unique<QTemporaryDir>(u"Z:/tmp/tst_steam-XXXXXX"_s);
        QVERIFY(m_otherDisk->isValid());
        const QString library = m_otherDisk->filePath(u"SteamLibrary"_s);
        makeLibrary(u"Steam"_s);
        QVERIFY(steamPath.set(steam));
        if (setUp == u"other disk") {
            makeLibrary(library, manifest, u"Half-Life"_s, u"hl.exe"_s);
            QVERIFY(tryWriteFile(steam + u"/steamapps/libraryfolders.vdf"_s,
                                 currentLibraries({steam, library})));
        } else {
            makeLibrary(library, "AppState { installdir HL }", u"HL"_s, u"hl.exe"_s);
            QVERIFY(
                tryWriteFile(steam + u"/steamapps/libraryfolders.vdf"_s,
                             "\"LibraryFolders\" { \"1\" \"z" + vdfPath(library).mid(1) + "\" }"));
        }
    }
}
#endif

void TestSteam::launch_data()
{
    QTest::addColumn<QString>("gameFolder"); // under the scratch home
    QTest::addColumn<QString>("exe");        // the Windows program in it
    QTest::addColumn<bool>("runnableExe");
    QTest::addColumn<bool>("steam");
    QTest::addColumn<bool>("flatpak");
    QTest::addColumn<QStringList>("words");  // the player's, before two awkward ones
    QTest::addColumn<QString>("program");    // "@" is the game folder
    QTest::addColumn<QStringList>("before"); // words before the player's arguments

    const QString flatpakSteam = u".var/app/com.valvesoftware.Steam/.local/share/Steam"_s;
    const QString flatpakGame = flatpakSteam + u"/steamapps/common/Half-Life"_s;
    const QString svenCoop = u"Sven Co-op"_s;
    const QStringList tfc{u"-game"_s, u"tfc"_s};
    const auto applaunch = [](const QString &app) { return QStringList{u"-applaunch"_s, app}; };
    const QStringList viaFlatpak{u"run"_s, u"com.valvesoftware.Steam"_s};
    const QString steam = u"/usr/games/steam"_s;

#ifdef Q_OS_WIN
    // Windows always runs the folder's own program, whatever Steam client there is.
    QTest::newRow("Windows, Steam running") << u"game"_s << u"hl.exe"_s << true << true << false
                                            << tfc << u"@/hl.exe"_s << QStringList();
    QTest::newRow("Windows, no Steam") << u"game"_s << u"hl.exe"_s << false << false << false << tfc
                                       << u"@/hl.exe"_s << QStringList();
    QTest::newRow("Windows, Sven Co-op") << svenCoop << u"svencoop.exe"_s << true << true << false
                                         << QStringList() << u"@/svencoop.exe"_s << QStringList();
    return;
#endif
    QTest::newRow("hl.exe runs here") << u"game"_s << u"hl.exe"_s << true << true << true << tfc
                                      << u"@/hl.exe"_s << QStringList();
    QTest::newRow("native game, Steam client")
        << u"game"_s << u"hl.exe"_s << false << true << true << tfc << steam << applaunch(u"20"_s);
    QTest::newRow("Windows build under Proton")
        << u"game"_s << u"hl.exe"_s << false << true << false << tfc << steam << applaunch(u"20"_s);
    QTest::newRow("game in the Flatpak Steam")
        << flatpakGame << u"hl.exe"_s << false << true << true << tfc << u"/usr/bin/flatpak"_s
        << viaFlatpak + applaunch(u"20"_s);
    QTest::newRow("Flatpak game, no flatpak program")
        << flatpakGame << u"hl.exe"_s << false << true << false << tfc << steam
        << applaunch(u"20"_s);
    QTest::newRow("no Steam client") << u"game"_s << u"hl.exe"_s << false << false << false << tfc
                                     << u"@/hl.sh"_s << QStringList();

    // Through Steam, the app that owns the mod -game names.
    const std::pair<const char *, const char *> apps[] = {
        {"valve", "70"},   {"cstrike", "10"},  {"dod", "30"},   {"dmc", "40"},
        {"gearbox", "50"}, {"ricochet", "60"}, {"czero", "80"}, {"bshift", "130"},
        {"CStrike", "10"}, {"svencoop", "70"}, {"mymod", "70"}};
    for (const auto &[mod, app] : apps) {
        QTest::addRow("-game %s through Steam", mod)
            << u"game"_s << u"hl.exe"_s << false << true << false
            << QStringList{u"-game"_s, QString::fromLatin1(mod)} << steam
            << applaunch(QString::fromLatin1(app));
    }
    QTest::newRow("no -game") << u"game"_s << u"hl.exe"_s << false << true << false
                              << QStringList{u"+map"_s, u"crossfire"_s} << steam
                              << applaunch(u"70"_s);
    QTest::newRow("-game with no mod after it")
        << u"game"_s << u"hl.exe"_s << false << true << false << QStringList{u"-game"_s} << steam
        << applaunch(u"70"_s);
    QTest::newRow("the first -game counts")
        << u"game"_s << u"hl.exe"_s << false << true << false
        << QStringList{u"-game"_s, u"dod"_s, u"-game"_s, u"tfc"_s} << steam << applaunch(u"30"_s);

    // Sven Co-op is its own app whatever -game says.
    QTest::newRow("Sven Co-op, svencoop.exe runs here")
        << svenCoop << u"svencoop.exe"_s << true << true << false << QStringList()
        << u"@/svencoop.exe"_s << QStringList();
    QTest::newRow("Sven Co-op, Steam client") << svenCoop << u"svencoop.exe"_s << false << true
                                              << false << tfc << steam << applaunch(u"225840"_s);
    QTest::newRow("Sven Co-op in the Flatpak Steam")
        << flatpakSteam + u"/steamapps/common/Sven Co-op"_s << u"svencoop.exe"_s << false << true
        << true << QStringList() << u"/usr/bin/flatpak"_s << viaFlatpak + applaunch(u"225840"_s);
    QTest::newRow("Sven Co-op, no Steam client")
        << svenCoop << u"svencoop.exe"_s << false << false << false << QStringList()
        << u"@/svencoop.sh"_s << QStringList();
}

void TestSteam::launch()
{
    QFETCH(QString, gameFolder);
    QFETCH(QString, exe);
    QFETCH(bool, runnableExe);
    QFETCH(bool, steam);
    QFETCH(bool, flatpak);
    QFETCH(QStringList, words);
    QFETCH(QString, program);
    QFETCH(QStringList, before);
    ScratchFolder home;
    const QString game = home.filePath(gameFolder);
    QVERIFY(QDir().mkpath(game));
    QVERIFY(tryWriteFile(game + u'/' + exe, "MZ"));
    if (runnableExe)
        QVERIFY(QFile::setPermissions(game + u'/' + exe, QFile::ReadOwner | QFile::ExeOwner));
    const LaunchEnvironment environment{home.path(), steam ? u"/usr/games/steam"_s : QString(),
                                        flatpak ? u"/usr/bin/flatpak"_s : QString()};
#ifdef Q_OS_WIN
    // What the player typed after Tagswap's own name, untouched.
    const CommandLine arguments{words.join(u' ') + uR"( "+name \"x\"" "")"_s};
#else
    CommandLine arguments;
    for (const QString &word : std::as_const(words))
        arguments.arguments << word.toUtf8();
    arguments.arguments << QByteArray("+name \xff\"x\"") << QByteArray();
#endif

    const ProgramLaunch launch = gameLaunch(game, arguments, environment);
    QCOMPARE(launch.program, QString(program).replace(u"@/"_s, game + QDir::separator()));
    QVERIFY(launch.arguments == CommandLine::fromWords(before).followedBy(arguments));
    // The game's own programs start in its folder, as they always did.
    QCOMPARE(launch.workingDirectory, program.startsWith(u'@') ? game : QString());
}

QTEST_GUILESS_MAIN(TestSteam)
#include "tst_steam.moc"

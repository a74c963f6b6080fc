#include "steam_search.h"

#include "file_access.h"
#include "game_paths.h"
#include "key_values.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSettings>

#include <algorithm>
#include <optional>
#include <span>

namespace tagswap {

namespace {

// Null when the file is not a regular file, cannot be read or is too large.
QByteArray readSteamFile(const QString &path)
{
    const WholeFile file = readWholeFile(path, kMaxSteamFileBytes);
    return file.status == WholeFile::Status::Read ? file.bytes : QByteArray();
}

// The top-level block, whatever its name's case ("libraryfolders", "LibraryFolders").
const KeyValues *topBlock(const KeyValues &root, QStringView key)
{
    const KeyValues *block = root.child(key);
    return block && block->isBlock ? block : nullptr;
}

bool isNumber(const QString &text)
{
    return !text.isEmpty()
           && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

// A library's path from one entry: "N" { "path" "..." } now, "N" "..." before 2021.
QString libraryPath(const KeyValues &entry)
{
    if (!isNumber(entry.key))
        return {};
    return entry.isBlock ? entry.childValue(u"path") : entry.value;
}

QString steamFile(const QString &folder, QStringView name)
{
    return QDir(folder).filePath(QStringLiteral("steamapps/") + name.toString());
}

// Paths of the same folder differ in links and separators; the same library
// must not be read twice.
QString identity(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/')
           && !name.contains(u'\\') && !name.contains(u':');
}

bool insertNew(QSet<QString> &set, const QString &value)
{
    const qsizetype before = set.size();
    set.insert(value);
    return set.size() > before;
}

} // namespace

QStringList steamRootCandidates(const QString &home)
{
#ifdef Q_OS_WIN
    Q_UNUSED(home);
    QStringList roots;
    const QSettings user(QStringLiteral("HKEY_CURRENT_USER\\Software\\Valve\\Steam"),
                         QSettings::NativeFormat);
    const QSettings machine(
        QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Valve\\Steam"),
        QSettings::NativeFormat);
    for (const QString &root : {user.value(QStringLiteral("SteamPath")).toString(),
                                machine.value(QStringLiteral("InstallPath")).toString()}) {
        if (!root.isEmpty())
            roots.append(QDir::fromNativeSeparators(root));
    }
    return roots;
#else
    const QDir h(home);
    return {
        h.filePath(QStringLiteral(".local/share/Steam")),
        h.filePath(QStringLiteral(".steam/steam")),
        h.filePath(QStringLiteral(".steam/root")),
        h.filePath(QStringLiteral(".steam/debian-installation")),
        h.filePath(QStringLiteral(".var/app/com.valvesoftware.Steam/.local/share/Steam")),
        h.filePath(QStringLiteral(".var/app/com.valvesoftware.Steam/data/Steam")),
        h.filePath(QStringLiteral("snap/steam/common/.local/share/Steam")),
    };
#endif
}

QStringList librariesListedIn(QByteArrayView libraryFoldersText)
{
    const std::optional<KeyValues> list = parseKeyValues(libraryFoldersText);
    const KeyValues *folders = list ? topBlock(*list, u"libraryfolders") : nullptr;
    QStringList libraries;
    if (!folders)
        return libraries;
    for (const KeyValues &entry : folders->children) {
        if (const QString path = libraryPath(entry); !path.isEmpty())
            libraries.append(path);
    }
    return libraries;
}

QStringView steamAppOfMod(QStringView mod)
{
    for (const SteamApp &app : kHalfLifeFolderApps) {
        if (mod.compare(app.mod, Qt::CaseInsensitive) == 0)
            return app.id;
    }
    return kHalfLifeAppId;
}

QString gameFolderNamedIn(QByteArrayView manifestText, QStringView unnamed)
{
    const std::optional<KeyValues> manifest = parseKeyValues(manifestText);
    const KeyValues *state = manifest ? topBlock(*manifest, u"AppState") : nullptr;
    if (!state)
        return {};
    const QString folder = state->childValue(u"installdir");
    // Steam always writes it; without it the game is where Steam puts it by default.
    if (folder.isEmpty())
        return unnamed.toString();
    return isPlainName(folder) ? folder : QString();
}

QStringList steamLibraries(const QString &root)
{
    QByteArray text = readSteamFile(steamFile(root, u"libraryfolders.vdf"));
    if (text.isNull())
        text = readSteamFile(QDir(root).filePath(QStringLiteral("config/libraryfolders.vdf")));
    QStringList libraries{root};
    for (const QString &path : librariesListedIn(text))
        libraries.append(QDir::fromNativeSeparators(path));
    return libraries;
}

QString gameInLibrary(const QString &library, EngineGame game)
{
    const bool svenCoop = game == EngineGame::SvenCoop;
    const std::span<const SteamApp> apps =
        svenCoop ? std::span<const SteamApp>(&kSvenCoopApp, 1) : kHalfLifeFolderApps;
    for (const SteamApp &app : apps) {
        const QString manifest =
            steamFile(library, QStringLiteral("appmanifest_%1.acf").arg(app.id));
        const QString folder =
            gameFolderNamedIn(readSteamFile(manifest), svenCoop ? u"Sven Co-op" : u"Half-Life");
        if (folder.isEmpty())
            continue;
        QString path =
            QDir::toNativeSeparators(steamFile(library, QStringLiteral("common/") + folder));
        if (gameInFolder(path) == game)
            return path;
    }
    return {};
}

SteamGames findSteamGames(const QStringList &roots)
{
    SteamGames found;
    // ~/.steam/steam and ~/.steam/root usually link to one of the others.
    QSet<QString> seenRoots;
    QSet<QString> seenLibraries;
    for (const QString &root : roots) {
        if (!QFileInfo(root).isDir() || !insertNew(seenRoots, identity(root)))
            continue;
        for (const QString &library : steamLibraries(root)) {
            if (!insertNew(seenLibraries, identity(library)))
                continue;
            if (found.halfLife.isEmpty())
                found.halfLife = gameInLibrary(library, EngineGame::HalfLife);
            if (found.svenCoop.isEmpty())
                found.svenCoop = gameInLibrary(library, EngineGame::SvenCoop);
            if (!found.halfLife.isEmpty() && !found.svenCoop.isEmpty())
                return found;
        }
    }
    return found;
}

SteamGames findSteamGames()
{
    return findSteamGames(steamRootCandidates(QDir::homePath()));
}

} // namespace tagswap

#pragma once

#include "game_paths.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace tagswap {

// Finds the engine's games the way launchers do: from the Steam roots, through
// each root's library list, to the library whose manifest names the game's
// folder. Reads a handful of small files and never walks a tree.

// A Steam app of the engine and the mod folder it runs.
struct SteamApp {
    QStringView id;
    QStringView mod;
};

inline constexpr QStringView kHalfLifeAppId = u"70";
// Every app that installs into the Half-Life folder: a player may own any of
// them without Half-Life itself.
inline constexpr SteamApp kHalfLifeFolderApps[] = {
    {kHalfLifeAppId, u"valve"},
    {u"10", u"cstrike"},
    {u"20", u"tfc"},
    {u"30", u"dod"},
    {u"40", u"dmc"},
    {u"50", u"gearbox"},
    {u"60", u"ricochet"},
    {u"80", u"czero"},
    {u"130", u"bshift"},
};
inline constexpr SteamApp kSvenCoopApp{u"225840", u"svencoop"};
inline constexpr qint64 kMaxSteamFileBytes = 1 << 20;

// The app that owns a mod of the Half-Life folder, ignoring letter case;
// Half-Life's own for any other mod.
QStringView steamAppOfMod(QStringView mod);

// The library folders a libraryfolders.vdf lists (current or pre-2021 format),
// as written in it, escapes undone; none for text that is not such a list.
QStringList librariesListedIn(QByteArrayView libraryFoldersText);

// The folder name under steamapps/common/ that an app manifest gives, when it
// is a plain name; unnamed for a manifest without one; empty otherwise.
QString gameFolderNamedIn(QByteArrayView manifestText, QStringView unnamed = u"Half-Life");

// The places a Steam client keeps its root on this system, most common first,
// whether or not they exist. On Linux they lie under home; on Windows they come
// from the registry.
QStringList steamRootCandidates(const QString &home);

// Every library of a Steam root: the root itself, then those listed in its
// libraryfolders.vdf (current or pre-2021 format). Unreadable files list none.
QStringList steamLibraries(const QString &root);

// The game's folder in one library when one of its apps' manifests
// (appmanifest_<id>.acf) is there and names a folder that holds the game's
// program; empty otherwise. A manifest's folder name that is not a plain name is ignored.
QString gameInLibrary(const QString &library, EngineGame game);

// The first folder of each game, over all roots and their libraries.
struct SteamGames {
    QString halfLife;
    QString svenCoop;

    // Half-Life's when Steam has it, else Sven Co-op's; empty when neither.
    QString preferred() const { return halfLife.isEmpty() ? svenCoop : halfLife; }
};
SteamGames findSteamGames(const QStringList &roots);

// The same, over this system's Steam roots.
SteamGames findSteamGames();

} // namespace tagswap

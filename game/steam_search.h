#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace tagswap {

// Finds Half-Life (Steam app 70) the way launchers do: from the Steam roots,
// through each root's library list, to the library whose manifest names the
// game's folder. Reads a handful of small files and never walks a tree.

inline constexpr QStringView kHalfLifeAppId = u"70";
inline constexpr qint64 kMaxSteamFileBytes = 1 << 20;

// The library folders a libraryfolders.vdf lists (current or pre-2021 format),
// as written in it, escapes undone; none for text that is not such a list.
QStringList librariesListedIn(QByteArrayView libraryFoldersText);

// The folder name under steamapps/common/ that an app manifest gives, when it
// is a plain name; "Half-Life" for a manifest without one; empty otherwise.
QString gameFolderNamedIn(QByteArrayView manifestText);

// The places a Steam client keeps its root on this system, most common first,
// whether or not they exist. On Linux they lie under home; on Windows they come
// from the registry.
QStringList steamRootCandidates(const QString &home);

// Every library of a Steam root: the root itself, then those listed in its
// libraryfolders.vdf (current or pre-2021 format). Unreadable files list none.
QStringList steamLibraries(const QString &root);

// The game's folder in one library when its manifest (appmanifest_70.acf) is
// there; empty otherwise. A manifest's folder name that is not a plain name is ignored.
QString halfLifeInLibrary(const QString &library);

// The first folder, over all roots and their libraries, that holds the game's
// program; empty when there is none.
QString findSteamHalfLife(const QStringList &roots);

// The same, over this system's Steam roots.
QString findSteamHalfLife();

} // namespace tagswap

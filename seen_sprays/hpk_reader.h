#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reading the game's cache of the custom files players sent (custom.hpk): an
// HPK file whose entries hold, among others, the sprays seen on servers.
// Everything in the file is taken as hostile: every count, offset and length is
// checked against the file before it is used. Tagswap only ever reads a cache:
// the game deletes the whole file when it finds one bad entry in it.
namespace seen {

// The largest cache read at all; the game itself lets one grow to 4 MiB (Xash: 64 MiB).
inline constexpr qint64 kMaxCacheSize = qint64(64) << 20;
// The engine's own limits on the directory and on one entry (Xash's, the larger).
inline constexpr qint64 kMaxEntries = 32768;
inline constexpr qint64 kMaxEntrySize = qint64(256) << 10;
// The resource type of a custom decal, which is what a player's spray is sent as.
inline constexpr int kDecalType = 3;

// One spray as the game received it.
struct SeenSpray {
    QByteArray md5;   // of bytes: 16 bytes
    QByteArray bytes; // the whole spray file
    int width = 0;
    int height = 0;
    bool colour = true; // false: a one-colour logo

    // 32 lower-case hex digits.
    QString md5Hex() const { return QString::fromLatin1(md5.toHex()); }
};

struct CacheReading {
    // Distinct sprays (by the MD5 of their bytes), in the order of the directory.
    QList<SeenSpray> sprays;
    // Entries read from the directory that are no spray; a spray's repeat is not one.
    int otherEntries = 0;
    // The first thing found wrong with the file, in one sentence; empty when it is
    // sound. Whatever was sound is read all the same.
    QString fault;
};

// The cache held in file; an empty file is an empty cache.
CacheReading readCache(const QByteArray &file);

// The cache at path, opened read-only and closed again at once, so that a
// running game is never in the way nor hindered.
CacheReading readCacheFile(const QString &path);

} // namespace seen

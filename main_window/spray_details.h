#pragma once

#include "decal_file.h"

#include <QCache>
#include <QDateTime>
#include <QString>

#include <optional>

namespace tagswap {

// What the list knows about one spray file once it has been read.
struct SprayDetails {
    bool readable = false;
    qint64 fileSize = 0;
    // Why the game would refuse the file, in one sentence; empty when it takes it.
    QString refusal;
    // The picture, whenever the file decodes (also when only its size is refused).
    std::optional<decal::Decal> decal;
};

// Reads and checks one spray file. Reads at most a little more than any spray
// can be, so a huge or endless file costs nothing.
SprayDetails readSprayDetails(const QString &path);

// The whole file, or nothing when it cannot be read or is far larger than a
// spray; for callers that need the mip levels as well.
std::optional<QByteArray> readSprayBytes(const QString &path);

// "64 × 64, colour, 6,296 bytes"
QString spraySummary(const SprayDetails &details);

// "a PNG picture" when the file at path starts as a picture does; empty otherwise,
// and for anything that is not a regular file.
QString pictureKindOf(const QString &path);

// The tooltip of a list row: the spray as the game shows it with its summary,
// or, for a file the game would refuse, the reason instead. Rich text.
QString sprayToolTip(const QString &name, const SprayDetails &details);

// Details of the few sprays looked at lately, kept until the file changes (its
// size or modification time). Nothing is read until a spray is asked for.
class SprayDetailsCache {
public:
    explicit SprayDetailsCache(int capacity = 64) : m_entries(capacity) {}

    // The tooltip of the file at path, read now if it is new or has changed.
    QString toolTip(const QString &path, const QString &name);
    void clear() { m_entries.clear(); }

private:
    struct Entry {
        qint64 size;
        QDateTime modified;
        QString toolTip;
    };
    QCache<QString, Entry> m_entries;
};

} // namespace tagswap

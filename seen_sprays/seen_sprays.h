#pragma once

#include "hpk_reader.h"

#include <QHash>
#include <QString>
#include <QStringList>

// The sprays a mod's caches hold, and keeping them in the player's spray folder.
namespace seen {

// <game directory>/<mod>; empty when either is not known, or when the mod text
// is no folder name.
QString modFolder(const QString &gameDirectory, const QString &mod);

// What the caches of one mod hold: custom.hpk and, where the game keeps one,
// custom2.hpk.
struct ModCaches {
    QStringList files;       // the cache files there are
    QList<SeenSpray> sprays; // distinct over all of them
    int otherEntries = 0;
    QStringList faults; // "<file> <is, has...>", one for each damaged file
};
ModCaches readModCaches(const QString &modFolder);

// seen-<the first 8 hex digits of its MD5>.wad, and from the second on
// seen-<8 hex digits>-<number>.wad.
QString seenSprayName(const SeenSpray &spray, int number = 1);

struct SaveOutcome {
    QString name;         // the file in the folder that holds the spray now
    bool written = false; // false: the same bytes were there already, as name
    QString error;        // why nothing could be written; name is then empty
};

// A spray folder that sprays are being added to: it knows which bytes are
// there already and which names are free. A file that is, or links to, one of
// notCounted (the game's own spray files, which the next Change replaces) holds
// no spray for good.
class SprayFolder {
public:
    explicit SprayFolder(const QString &path, const QStringList &notCounted = {});

    // The spray file (*.wad) with the same MD5 as the spray; empty when there is none.
    QString holding(const SeenSpray &spray);
    // Copies the spray in whole under the first free seen- name, unless the same
    // bytes are there already.
    SaveOutcome save(const SeenSpray &spray);

private:
    QString freeName(const SeenSpray &spray) const;

    QString m_path;
    QHash<qint64, QStringList> m_namesBySize;
    QHash<QString, QByteArray> m_md5ByName; // of the files read so far
};

} // namespace seen

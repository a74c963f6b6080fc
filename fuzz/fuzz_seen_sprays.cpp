// The game's cache of sprays fills with whatever the servers a player visits
// send, and anything may sit in its place on disk: any bytes as custom.hpk.
// The reader lists each spray once, each one a spray the game shows, described
// as its bytes say, and reads no entry that is not wholly in the file.
#include "decal_file.h"
#include "fuzz_check.h"
#include "hpk_reader.h"

#include <QCryptographicHash>
#include <QSet>

namespace {

constexpr qsizetype kDirectoryEntrySize = 144;

void checkSpray(const seen::SeenSpray &spray)
{
    check(spray.md5 == QCryptographicHash::hash(spray.bytes, QCryptographicHash::Md5));
    check(decal::gameRefusal(spray.bytes).isEmpty());
    const std::optional<decal::Decal> d = decal::decode(spray.bytes);
    check(d && d->width == spray.width && d->height == spray.height
          && d->isColourSpray() == spray.colour);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const seen::CacheReading reading = seen::readCache(bytes);

    QSet<QByteArray> listed;
    for (const seen::SeenSpray &spray : reading.sprays) {
        checkSpray(spray);
        check(!listed.contains(spray.md5) && spray.bytes.size() <= bytes.size());
        listed.insert(spray.md5);
    }
    // Each entry read has its whole directory entry in the file and is counted once.
    const qsizetype read = reading.sprays.size() + reading.otherEntries;
    check(reading.otherEntries >= 0 && read <= seen::kMaxEntries
          && read * kDirectoryEntrySize <= bytes.size());
    // A file of no bytes is an empty cache; any other without the header is none.
    if (bytes.isEmpty())
        check(read == 0 && reading.fault.isEmpty());
    else if (!bytes.startsWith("HPAK"))
        check(read == 0 && !reading.fault.isEmpty());
    return 0;
}

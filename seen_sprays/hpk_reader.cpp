#include "hpk_reader.h"

#include "decal_file.h"
#include "file_access.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QSet>
#include <QtEndian>

#include <algorithm>

namespace seen {
namespace {

constexpr qint64 kHeaderSize = 12; // "HPAK", version, directory offset
constexpr qint32 kVersion = 1;
constexpr qint64 kEntrySize = 144; // a 136-byte resource record, the data's offset and length
constexpr qint64 kTypeAt = 64;
constexpr qint64 kOffsetAt = 136;
constexpr qint64 kLengthAt = 140;

QString tr(const char *text)
{
    return QCoreApplication::translate("seen", text);
}

// Widened to 64 bits, so that no sum of hostile values can wrap around.
qint64 get32(const QByteArray &file, qint64 at)
{
    return qFromLittleEndian<qint32>(file.constData() + at);
}

class CacheParser {
public:
    explicit CacheParser(const QByteArray &file) : m_file(file) {}

    CacheReading parse()
    {
        if (const qint64 directory = directoryOffset(); directory >= 0)
            readDirectory(directory);
        return m_reading;
    }

private:
    void noteFault(const QString &fault)
    {
        if (m_reading.fault.isEmpty())
            m_reading.fault = fault;
    }

    // Where the directory starts, or -1 with the fault noted.
    qint64 directoryOffset()
    {
        const qint64 size = m_file.size();
        if (size > kMaxCacheSize) {
            noteFault(tr("is larger than any cache the game keeps: %L1 bytes.").arg(size));
            return -1;
        }
        if (size < kHeaderSize || !m_file.startsWith("HPAK")) {
            noteFault(tr("is not a cache of the game (no HPAK header)."));
            return -1;
        }
        if (const qint64 version = get32(m_file, 4); version != kVersion) {
            noteFault(tr("is a cache of version %1; the game writes version 1.").arg(version));
            return -1;
        }
        const qint64 directory = get32(m_file, 8);
        if (directory < kHeaderSize || directory + 4 > size) {
            noteFault(tr("has its directory outside the file."));
            return -1;
        }
        return directory;
    }

    void readDirectory(qint64 directory)
    {
        const qint64 count = get32(m_file, directory);
        if (count < 1 || count > kMaxEntries) {
            noteFault(tr("lists %L1 entries in its directory; a cache holds 1 to %L2.")
                          .arg(count)
                          .arg(kMaxEntries));
            return;
        }
        const qint64 first = directory + 4;
        const qint64 whole = std::min(count, (m_file.size() - first) / kEntrySize);
        if (whole < count)
            noteFault(tr("has its directory cut short: %L1 of its %L2 entries are in the file.")
                          .arg(whole)
                          .arg(count));
        for (qint64 i = 0; i < whole; ++i)
            readEntry(i + 1, first + i * kEntrySize);
    }

    void readEntry(qint64 number, qint64 at)
    {
        const qint64 offset = get32(m_file, at + kOffsetAt);
        const qint64 length = get32(m_file, at + kLengthAt);
        if (length > kMaxEntrySize) {
            noteFault(tr("has entry %L1 of %L2 bytes; the game keeps none over 256 KiB.")
                          .arg(number)
                          .arg(length));
            ++m_reading.otherEntries;
            return;
        }
        if (length < 1 || offset < 0 || offset + length > m_file.size()) {
            noteFault(tr("has entry %L1 outside the file.").arg(number));
            ++m_reading.otherEntries;
            return;
        }
        const QByteArray data = m_file.mid(offset, length);
        if (get32(m_file, at + kTypeAt) == kDecalType && takeSpray(data))
            return;
        ++m_reading.otherEntries;
    }

    // Whether data is a spray the game would show; each one is listed once.
    bool takeSpray(const QByteArray &data)
    {
        const std::optional<decal::Decal> spray = decal::decode(data);
        if (!spray || !decal::gameRefusal(data).isEmpty())
            return false;
        const QByteArray md5 = QCryptographicHash::hash(data, QCryptographicHash::Md5);
        if (m_seen.contains(md5))
            return true;
        m_seen.insert(md5);
        m_reading.sprays.append({md5, data, spray->width, spray->height, spray->isColourSpray()});
        return true;
    }

    const QByteArray &m_file;
    CacheReading m_reading;
    QSet<QByteArray> m_seen;
};

CacheReading failed(const QString &fault)
{
    CacheReading reading;
    reading.fault = fault;
    return reading;
}

} // namespace

CacheReading readCache(const QByteArray &file)
{
    // A file of no bytes holds nothing yet; nothing in it is damaged.
    if (file.isEmpty())
        return {};
    return CacheParser(file).parse();
}

CacheReading readCacheFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return failed(tr("does not exist."));
    if (!info.isFile())
        return failed(tr("is not a file."));
    if (info.size() > kMaxCacheSize)
        return failed(tr("is larger than any cache the game keeps: %L1 bytes.").arg(info.size()));
    // Read-only: on Windows QFile then shares the file for reading and writing, so a
    // running game may still write it, and the file is closed before the game could
    // want to replace it (it writes custom.hp2 and renames that over this one).
    const tagswap::WholeFile file = tagswap::readWholeFile(path, kMaxCacheSize);
    using Status = tagswap::WholeFile::Status;
    if (file.status == Status::CannotOpen || file.status == Status::ReadFailed)
        return failed(tr("cannot be read: %1").arg(file.error));
    if (file.status == Status::NotAFile)
        return failed(tr("is not a file."));
    if (file.status == Status::TooLarge)
        return failed(tr("is larger than any cache the game keeps."));
    return readCache(file.bytes);
}

} // namespace seen

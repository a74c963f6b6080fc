#pragma once

#include "decal_file.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QtEndian>

#include <optional>
#include <utility>

// Caches of the game built byte by byte, sound or with one thing wrong.
namespace tagswap::testing {

// A spray of the given size whose pixels depend on seed; one-colour when ink is
// not the pure blue that marks a colour spray.
inline QByteArray testSpray(int seed, int width = 64, int height = 64,
                            QRgb ink = decal::kTransparentKey)
{
    decal::Decal d;
    d.width = width;
    d.height = height;
    for (int i = 0; i < 255; ++i)
        d.palette[i] = qRgb(i, 255 - i, (i * 7 + seed) % 256);
    d.palette[255] = ink;
    d.pixels.resize(qsizetype(width) * height);
    for (qsizetype i = 0; i < d.pixels.size(); ++i)
        d.pixels[i] = char((i * 3 + seed) % 256);
    return decal::encode(d);
}

inline QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

// Three sprays of sizes of their own, so a listing shows which is which.
inline const QByteArray kSprayA = testSpray(1, 64, 64);
inline const QByteArray kSprayB = testSpray(2, 32, 48, qRgb(200, 0, 0));
inline const QByteArray kSprayC = testSpray(3, 96, 64);

// The name Add gives a spray first.
inline QString seenName(const QByteArray &spray, const QString &number = {})
{
    return QStringLiteral("seen-") + md5Hex(spray).left(8) + number + QStringLiteral(".wad");
}

struct HpkEntry {
    // NOLINTNEXTLINE(google-explicit-constructor): a list of entries reads as a list of data
    HpkEntry(QByteArray data, qint32 type = 3, std::optional<qint64> offset = std::nullopt,
             std::optional<qint64> length = std::nullopt)
        : data(std::move(data)), type(type), offset(offset), length(length)
    {
    }

    QByteArray data;
    qint32 type; // 3: a decal
    // What the directory says; unset: where the data really is.
    std::optional<qint64> offset;
    std::optional<qint64> length;
};

struct Hpk {
    // NOLINTNEXTLINE(google-explicit-constructor)
    Hpk(QList<HpkEntry> entries, QByteArray magic = "HPAK", qint32 version = 1,
        std::optional<qint64> count = std::nullopt,
        std::optional<qint64> directoryOffset = std::nullopt)
        : entries(std::move(entries))
        , magic(std::move(magic))
        , version(version)
        , count(count)
        , directoryOffset(directoryOffset)
    {
    }

    QList<HpkEntry> entries;
    QByteArray magic;
    qint32 version;
    std::optional<qint64> count;           // unset: the number of entries
    std::optional<qint64> directoryOffset; // unset: right after the data

    // The header, each entry's data, then the directory, as the game lays them out.
    QByteArray build() const
    {
        QByteArray file = magic.leftJustified(4, '\0', true);
        file += le(version) + QByteArray(4, '\0');
        QList<qint64> offsets;
        for (const HpkEntry &entry : entries) {
            offsets << file.size();
            file += entry.data;
        }
        qToLittleEndian(qint32(directoryOffset.value_or(file.size())), file.data() + 8);
        file += le(count.value_or(entries.size()));
        for (qsizetype i = 0; i < entries.size(); ++i)
            file += record(entries[i], offsets[i]);
        return file;
    }

    // The size build() gives: for directory values that point at its very end.
    qint64 size() const { return build().size(); }

private:
    static QByteArray le(qint64 value)
    {
        QByteArray bytes(4, '\0');
        qToLittleEndian(qint32(value), bytes.data());
        return bytes;
    }

    // 136 bytes of resource record, then the data's offset and length.
    static QByteArray record(const HpkEntry &entry, qint64 at)
    {
        QByteArray r = QByteArray("tempdecal.wad").leftJustified(64, '\0');
        r += le(entry.type) + le(0) + le(entry.data.size());
        r += char(4); // custom
        r += QCryptographicHash::hash(entry.data, QCryptographicHash::Md5);
        r += char(1); // the player's number
        r = r.leftJustified(136, '\0');
        return r + le(entry.offset.value_or(at)) + le(entry.length.value_or(entry.data.size()));
    }
};

} // namespace tagswap::testing

#include "seen_sprays.h"

#include "file_access.h"
#include "file_replace.h"
#include "game_paths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace seen {
namespace {

// A folder would need this many sprays with one MD5 prefix before adding gives up.
constexpr int kMaxNameNumber = 999;

QString tr(const char *text)
{
    return QCoreApplication::translate("seen", text);
}

QStringList cacheNames()
{
    return {QStringLiteral("custom.hpk"), QStringLiteral("custom2.hpk")};
}

// Null when the file cannot be read or is no longer the size it was listed with.
QByteArray md5Of(const QString &path, qint64 expectedSize)
{
    const tagswap::WholeFile file = tagswap::readWholeFile(path, expectedSize);
    if (file.status != tagswap::WholeFile::Status::Read)
        return {};
    return QCryptographicHash::hash(file.bytes, QCryptographicHash::Md5);
}

} // namespace

QString modFolder(const QString &gameDirectory, const QString &mod)
{
    if (gameDirectory.isEmpty() || !tagswap::isModFolderName(mod))
        return {};
    return gameDirectory + QDir::separator() + mod;
}

ModCaches readModCaches(const QString &modFolder)
{
    ModCaches caches;
    if (modFolder.isEmpty())
        return caches;
    QSet<QByteArray> listed;
    for (const QString &name : cacheNames()) {
        const QString path = modFolder + QDir::separator() + name;
        if (!QFileInfo::exists(path))
            continue;
        caches.files << path;
        const CacheReading reading = readCacheFile(path);
        caches.otherEntries += reading.otherEntries;
        if (!reading.fault.isEmpty())
            caches.faults << QStringLiteral("%1 %2").arg(QDir::toNativeSeparators(path),
                                                         reading.fault);
        for (const SeenSpray &spray : reading.sprays) {
            if (!listed.contains(spray.md5)) {
                listed.insert(spray.md5);
                caches.sprays << spray;
            }
        }
    }
    return caches;
}

QString seenSprayName(const SeenSpray &spray, int number)
{
    const QString stem = QStringLiteral("seen-") + spray.md5Hex().left(8);
    return number <= 1 ? stem + QStringLiteral(".wad")
                       : QStringLiteral("%1-%2.wad").arg(stem).arg(number);
}

SprayFolder::SprayFolder(const QString &path, const QStringList &notCounted) : m_path(path)
{
    const QFileInfoList files =
        QDir(path).entryInfoList({QStringLiteral("*.wad")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo &file : files) {
        if (!tagswap::leadsToAnyOf(file.filePath(), notCounted))
            m_namesBySize[file.size()] << file.fileName();
    }
}

QString SprayFolder::holding(const SeenSpray &spray)
{
    const QDir folder(m_path);
    const qint64 size = spray.bytes.size();
    for (const QString &name : m_namesBySize.value(size)) {
        // Each file is read once, however many sprays of its size are looked for.
        auto known = m_md5ByName.find(name);
        if (known == m_md5ByName.end())
            known = m_md5ByName.insert(name, md5Of(folder.filePath(name), size));
        if (*known == spray.md5)
            return name;
    }
    return {};
}

QString SprayFolder::freeName(const SeenSpray &spray) const
{
    const QDir folder(m_path);
    for (int number = 1; number <= kMaxNameNumber; ++number) {
        if (QString name = seenSprayName(spray, number); !tagswap::isTaken(folder.filePath(name)))
            return name;
    }
    return {};
}

SaveOutcome SprayFolder::save(const SeenSpray &spray)
{
    if (const QString there = holding(spray); !there.isEmpty())
        return {there, false, {}};
    const QString name = freeName(spray);
    if (name.isEmpty())
        return {{},
                false,
                tr("Every name from %1 to %2 is taken.")
                    .arg(seenSprayName(spray), seenSprayName(spray, kMaxNameNumber))};
    QString error;
    if (!tagswap::writeFileWhole(QDir(m_path).filePath(name), spray.bytes, &error))
        return {{}, false, error};
    m_namesBySize[spray.bytes.size()] << name;
    m_md5ByName.insert(name, spray.md5);
    return {name, true, {}};
}

} // namespace seen

#include "replaced_sprays.h"

#include "file_access.h"
#include "file_replace.h"
#include "folder_listing.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tagswap {

namespace {

bool folderHasCopy(const QByteArray &bytes, const QString &folder,
                   const QStringList &replacedInStep)
{
    const QDir dir(folder);
    const QStringList same = namesWithBytes(folder, filesWithSuffix(folder, u".wad"), bytes);
    return std::any_of(same.cbegin(), same.cend(), [&](const QString &name) {
        return !leadsToAnyOf(dir.filePath(name), replacedInStep);
    });
}

// Mod texts come from mods.txt and may hold anything; the name must stay one
// short file name on every system.
QString asFileNamePart(const QString &mod)
{
    QString part = mod.left(64);
    for (QChar &c : part) {
        if (c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = u'_';
    }
    return part.isEmpty() ? QStringLiteral("_") : part;
}

QString shortRead(qint64 got, qint64 size)
{
    if (got < size)
        return QCoreApplication::translate("ReplacedSprays",
                                           "Only %1 of its %2 bytes could be read.")
            .arg(got)
            .arg(size);
    return QCoreApplication::translate("ReplacedSprays", "It grew while it was read.");
}

} // namespace

QStringList namesWithBytes(const QString &folder, const QStringList &names, const QByteArray &bytes,
                           qsizetype most)
{
    QStringList same;
    const QDir dir(folder);
    for (const QString &name : names) {
        if (most >= 0 && same.size() >= most)
            break;
        const QString path = dir.filePath(name);
        if (QFileInfo(path).size() != bytes.size())
            continue;
        if (const WholeFile file = readWholeFile(path, bytes.size());
            file.status == WholeFile::Status::Read && file.bytes == bytes)
            same.append(name);
    }
    return same;
}

QString replacedSprayFolder()
{
    // Named outright rather than after the running program, so that
    // tagswap-spray keeps sprays where Tagswap does.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Tagswap/replaced"));
}

bool hasCopyIn(const QByteArray &bytes, const QStringList &folders,
               const QStringList &replacedInStep)
{
    return std::any_of(folders.cbegin(), folders.cend(), [&](const QString &folder) {
        return folderHasCopy(bytes, folder, replacedInStep);
    });
}

QString keptSprayName(const QString &folder, const QString &mod, SprayFile file,
                      const QDateTime &when)
{
    const QString stem = asFileNamePart(mod) + u'-' + sprayFileStem(file) + u'-'
                         + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QDir dir(folder);
    QString name = stem + QStringLiteral(".wad");
    for (int n = 2; QFileInfo::exists(dir.filePath(name)); ++n)
        name = stem + QStringLiteral("-%1.wad").arg(n);
    return dir.filePath(name);
}

KeptSpray keepReplacedSpray(const QString &gameFile, const QString &mod, SprayFile file,
                            const QStringList &otherFolders, const QString &keptFolder,
                            const QDateTime &when, const QStringList &replacedInStep)
{
    using Status = KeptSpray::Status;
    // A link is replaced, never written through: what it points to keeps its bytes.
    if (QFileInfo(gameFile).isSymbolicLink())
        return {Status::NothingToKeep, {}, {}};
    // A pipe or a device there would block the read; a folder has nothing to keep.
    const qint64 size = QFileInfo(gameFile).size();
    if (!isExistingFile(gameFile) || size == 0)
        return {Status::NothingToKeep, {}, {}};
    const WholeFile read = readWholeFile(gameFile, kMaxKeptSprayBytes);
    if (read.status == WholeFile::Status::TooLarge)
        return {Status::NothingToKeep, {}, {}};
    if (read.status != WholeFile::Status::Read)
        return {Status::Failed, {}, read.error};
    // Part of a spray kept would pass for all of it, and the rest be lost.
    if (read.bytes.size() != size)
        return {Status::Failed, {}, shortRead(read.bytes.size(), size)};
    if (hasCopyIn(read.bytes, QStringList(otherFolders) << keptFolder,
                  QStringList(replacedInStep) << gameFile))
        return {Status::AlreadyKept, {}, {}};

    if (!QDir().mkpath(keptFolder))
        return {Status::Failed,
                {},
                QCoreApplication::translate("ReplacedSprays", "The folder cannot be made.")};
    const QString path = keptSprayName(keptFolder, mod, file, when);
    QString error;
    if (!writeFileWhole(path, read.bytes, &error))
        return {Status::Failed, {}, error};
    return {Status::Kept, path, {}};
}

} // namespace tagswap

#include "file_access.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace tagswap {

namespace {

// The "user" flags tell what the running user may do, not what the file's bits
// say: for root they are always set. They are dropped when setting, ignored when asking.
constexpr QFileDevice::Permissions kWriteBits =
    QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
constexpr QFileDevice::Permissions kWritePermissions = kWriteBits | QFileDevice::WriteUser;

// Far more links than any system follows in one path; a loop ends here.
constexpr int kMostLinksFollowed = 40;

// A name as the system resolves it: the folder's links undone, the file's own
// name kept. Windows and its file systems ignore letter case.
QString nameKey(const QString &path)
{
    const QFileInfo info(path);
    QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(info.absolutePath());
    QString key = folder + u'/' + info.fileName();
#ifdef Q_OS_WIN
    return key.toCaseFolded();
#else
    return key;
#endif
}

} // namespace

bool isExistingFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool isTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymbolicLink() || info.exists();
}

bool isWriteGuarded(const QString &path)
{
    // Read from the permission bits: asking the system whether we may write
    // says yes to root whatever the bits are.
    return QFile::exists(path) && !(QFile::permissions(path) & kWriteBits);
}

bool setWriteGuard(const QString &path, bool guarded, QString *error)
{
    QFile file(path);
    const QFileDevice::Permissions now = file.permissions();
    const QFileDevice::Permissions wanted =
        guarded ? now & ~kWritePermissions : now | QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (!file.setPermissions(wanted)) {
        *error = file.errorString();
        return false;
    }
    if (isWriteGuarded(path) != guarded) {
        *error =
            QCoreApplication::translate("FileAccess", "The file system does not keep the change.");
        return false;
    }
    return true;
}

bool leadsToAnyOf(const QString &path, const QStringList &files)
{
    QSet<QString> keys;
    for (const QString &file : files)
        keys.insert(nameKey(file));
    QString at = path;
    for (int links = 0; links <= kMostLinksFollowed; ++links) {
        if (keys.contains(nameKey(at)))
            return true;
        const QFileInfo info(at);
        if (!info.isSymbolicLink())
            return false;
        at = info.symLinkTarget();
    }
    return false;
}

WholeFile readWholeFile(const QString &path, qint64 limit)
{
    using Status = WholeFile::Status;
    // A pipe or a device would block the read or never end.
    if (!isExistingFile(path))
        return {Status::NotAFile, {}, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {Status::CannotOpen, {}, file.errorString()};
    // One byte more than the limit shows a file over it, however it grew.
    QByteArray bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError)
        return {Status::ReadFailed, {}, file.errorString()};
    if (bytes.size() > limit)
        return {Status::TooLarge, {}, {}};
    return {Status::Read, std::move(bytes), {}};
}

} // namespace tagswap

#include "file_access.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace tagswap {

namespace {

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
    const QString key = folder + u'/' + info.fileName();
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

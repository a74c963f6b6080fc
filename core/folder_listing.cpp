#include "folder_listing.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <QDirIterator>
#else
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace tagswap {

namespace {
bool matches(const QString &name, QStringView suffix)
{
    return !name.startsWith(u'.') && name.size() > suffix.size()
           && name.endsWith(suffix, Qt::CaseInsensitive);
}
} // namespace

#ifdef Q_OS_WIN
QStringList filesWithSuffix(const QString &directory, QStringView suffix)
{
    QStringList names;
    QDirIterator it(directory, QDir::Files);
    while (it.hasNext()) {
        it.next();
        if (const QString name = it.fileName(); matches(name, suffix))
            names.append(name);
    }
    return names;
}
#else
// readdir() already knows each entry's type, so a folder of many thousand
// sprays is listed without a stat() per file; only links are looked through.
QStringList filesWithSuffix(const QString &directory, QStringView suffix)
{
    QStringList names;
    const QByteArray path = QFile::encodeName(directory);
    DIR *dir = ::opendir(path.constData());
    if (!dir)
        return names;
    const int dirFd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!matches(name, suffix))
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat target;
            regular = ::fstatat(dirFd, entry->d_name, &target, 0) == 0 && S_ISREG(target.st_mode);
        }
        if (regular)
            names.append(name);
    }
    ::closedir(dir);
    return names;
}
#endif

} // namespace tagswap

#include "installed_spray.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tagswap {

namespace {

// Sprays are tens of kilobytes; a larger file is compared no further.
constexpr qint64 kCompareLimit = 16 << 20;

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kCompareLimit + 1);
}

} // namespace

QSet<QString> sameSprays(const QString &folder, const QStringList &names,
                         const QString &installedPath)
{
    const QFileInfo installed(installedPath);
    if (installedPath.isEmpty() || !installed.isFile() || installed.size() > kCompareLimit)
        return {};
    const qint64 size = installed.size();
    QByteArray wanted;
    QSet<QString> same;
    const QDir dir(folder);
    for (const QString &name : names) {
        const QFileInfo candidate(dir.filePath(name));
        if (!candidate.isFile() || candidate.size() != size)
            continue;
        if (wanted.isNull()) {
            wanted = contents(installedPath);
            if (wanted.size() != size)
                return {};
        }
        if (contents(candidate.filePath()) == wanted)
            same.insert(name);
    }
    return same;
}

} // namespace tagswap

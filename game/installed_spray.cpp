#include "installed_spray.h"

#include "replaced_sprays.h"

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
                         const QString &installedPath, QMutex &gameFilesInUse)
{
    QMutexLocker reading(&gameFilesInUse);
    const QFileInfo installed(installedPath);
    if (installedPath.isEmpty() || !installed.isFile() || installed.size() > kCompareLimit)
        return {};
    const QByteArray wanted = contents(installedPath);
    reading.unlock();
    if (wanted.size() != installed.size())
        return {};
    const QStringList same = namesWithBytes(folder, names, wanted);
    return QSet<QString>(same.cbegin(), same.cend());
}

} // namespace tagswap

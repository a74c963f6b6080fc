#include "running_games.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <limits.h>
#include <unistd.h>

namespace tagswap {

namespace {

// The program file a process runs, as the kernel names it; empty for a process
// of another user, which only says so to root. A game updated while it runs
// still runs from its folder: the kernel marks its old file as deleted.
QString programOf(const QString &pid)
{
    const QByteArray link = QFile::encodeName(QStringLiteral("/proc/%1/exe").arg(pid));
    char target[PATH_MAX];
    const ssize_t size = ::readlink(link.constData(), target, sizeof target);
    if (size <= 0 || size == ssize_t(sizeof target))
        return {};
    QByteArray path(target, qsizetype(size));
    if (path.endsWith(" (deleted)"))
        path.chop(10);
    return QFile::decodeName(path);
}

} // namespace

RunningPrograms runningProgramsNamed(const QStringList &names)
{
    RunningPrograms found;
    const QDir proc(QStringLiteral("/proc"));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (entries.isEmpty()) {
        found.error = QCoreApplication::translate("SprayCheck",
                                                  "The list of processes (/proc) cannot be read.");
        return found;
    }
    for (const QString &entry : entries) {
        bool isProcess = false;
        const qint64 pid = entry.toLongLong(&isProcess);
        const QString path = isProcess ? programOf(entry) : QString();
        const QString name = path.section(u'/', -1);
        if (!path.isEmpty() && names.contains(name))
            found.programs.append({pid, name, path});
    }
    return found;
}

} // namespace tagswap

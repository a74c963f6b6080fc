#include "reader_process.h"

#include "picture_reader.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <sys/resource.h>
#include <unistd.h>

namespace spray {
namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("spray", text);
}

bool deny(QString *error, const QString &message)
{
    *error = message;
    return false;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// What the process has mapped so far: its program, its libraries, Qt started.
qint64 mappedBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readLine().split(' ').value(0).toLongLong() * ::sysconf(_SC_PAGESIZE);
}

void endOverTime(int)
{
    ::_exit(kReaderOverTime);
}

} // namespace

bool limitThisProcess(qint64 memoryBytes, int seconds, QString *error)
{
    // Ended at a limit, the reader leaves no core file in the player's folder.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // The soft limit sends SIGXCPU, which ends it as over time; a second later the
    // hard one ends it whatever it does.
    std::signal(SIGXCPU, endOverTime);
    const rlimit processor{rlim_t(seconds), rlim_t(seconds) + 1};
    if (::setrlimit(RLIMIT_CPU, &processor) != 0)
        return deny(error, tr("processor time: %1").arg(systemError()));
    const qint64 mapped = mappedBytes();
    if (mapped <= 0)
        return deny(error, tr("its memory cannot be measured"));
    const rlimit addressSpace{rlim_t(mapped + memoryBytes), rlim_t(mapped + memoryBytes)};
    if (::setrlimit(RLIMIT_AS, &addressSpace) != 0)
        return deny(error, tr("memory: %1").arg(systemError()));
    return true;
}

bool writeToStdout(const QByteArray &bytes)
{
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size())
           && std::fflush(stdout) == 0;
}

} // namespace spray

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

// Whole seconds of processor time so far, rounded up.
qint64 secondsUsed()
{
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    const qint64 micro = (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1'000'000
                         + usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    return (micro + 999'999) / 1'000'000;
}

void endOverTime(int)
{
    ::_exit(kReaderOverTime);
}

} // namespace

void prepareReaderStart(QProcess &)
{
}

bool limitThisProcess(qint64 memoryBytes, int seconds, QString *error)
{
    // Ended at a limit, the reader leaves no core file in the player's folder.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    // The soft limit sends SIGXCPU, which ends it as over time; a second later the
    // hard one ends it whatever it does. The time it took to start is not the picture's.
    std::signal(SIGXCPU, endOverTime);
    const rlim_t soft = rlim_t(secondsUsed() + seconds);
    const rlimit processor{soft, soft + 1};
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

#include "reader_process.h"

#include "picture_reader.h"

#include <QCoreApplication>

#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

namespace spray {
namespace {

struct Limits {
    qint64 committedBytes = 0;
    qint64 milliseconds = 0;
};
Limits g_limits;

QString tr(const char *text)
{
    return QCoreApplication::translate("spray", text);
}

// What the process has committed: its own memory, as the job counts it.
qint64 committedBytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return qint64(counters.PagefileUsage);
}

qint64 processorMilliseconds()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto ticks = [](FILETIME time) {
        return qint64(time.dwHighDateTime) << 32 | qint64(time.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10'000;
}

// The job's limits are the system's. Wine keeps them without enforcing them, so the
// reader also watches itself, and ends as the job would have ended it.
DWORD WINAPI watchLimits(void *)
{
    for (;;) {
        Sleep(10);
        if (committedBytes() > g_limits.committedBytes)
            TerminateProcess(GetCurrentProcess(), kReaderOverMemory);
        if (processorMilliseconds() > g_limits.milliseconds)
            TerminateProcess(GetCurrentProcess(), kReaderOverTime);
    }
}

bool jobHoldsThisProcess()
{
    // Never closed: the job lasts as long as the reader.
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY
                                              | JOB_OBJECT_LIMIT_PROCESS_TIME
                                              | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    // Counted from the process's start, as the job counts; at most the same as the watch.
    limits.BasicLimitInformation.PerProcessUserTimeLimit.QuadPart =
        LONGLONG(g_limits.milliseconds) * 10'000;
    limits.ProcessMemoryLimit = SIZE_T(g_limits.committedBytes);
    return job
           && SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                      sizeof limits)
           && AssignProcessToJobObject(job, GetCurrentProcess());
}

} // namespace

void prepareReaderStart(QProcess &reader)
{
    // Its standard handles are the parent's pipes; it needs no console besides.
    reader.setCreateProcessArgumentsModifier(
        [](QProcess::CreateProcessArguments *arguments) { arguments->flags |= DETACHED_PROCESS; });
}

bool limitThisProcess(qint64 memoryBytes, int seconds, QString *error)
{
    // A crash ends the reader at once, with no box waiting for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // What it took to start is not the picture's.
    g_limits = {committedBytes() + memoryBytes, processorMilliseconds() + qint64(seconds) * 1000};
    if (!jobHoldsThisProcess()) {
        *error = tr("the job object: error %1").arg(GetLastError());
        return false;
    }
    const HANDLE watcher = CreateThread(nullptr, 0, watchLimits, nullptr, 0, nullptr);
    if (!watcher) {
        *error = tr("the watch on it: error %1").arg(GetLastError());
        return false;
    }
    CloseHandle(watcher);
    return true;
}

bool writeToStdout(const QByteArray &bytes)
{
    _setmode(_fileno(stdout), _O_BINARY);
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size())
           && std::fflush(stdout) == 0;
}

} // namespace spray

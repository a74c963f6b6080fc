#include "running_games.h"

#include <QCoreApplication>

#include <windows.h>

#include <tlhelp32.h>

namespace tagswap {

namespace {

// The full path of a process's program; empty when the process may not be asked
// (another user's, or one with more rights than this one).
QString programOf(DWORD pid)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return {};
    wchar_t path[32768];
    DWORD size = DWORD(std::size(path));
    const bool named = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    return named ? QString::fromWCharArray(path, int(size)) : QString();
}

bool isNamed(const QString &name, const QStringList &names)
{
    return names.contains(name, Qt::CaseInsensitive);
}

} // namespace

RunningPrograms runningProgramsNamed(const QStringList &names)
{
    RunningPrograms found;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (snapshot == INVALID_HANDLE_VALUE || !Process32FirstW(snapshot, &entry)) {
        found.error = QCoreApplication::translate(
                          "SprayCheck", "The list of processes cannot be read (error %1).")
                          .arg(GetLastError());
        if (snapshot != INVALID_HANDLE_VALUE)
            CloseHandle(snapshot);
        return found;
    }
    do {
        const QString name = QString::fromWCharArray(entry.szExeFile);
        if (isNamed(name, names))
            found.programs.append(
                {qint64(entry.th32ProcessID), name, programOf(entry.th32ProcessID)});
    } while (Process32NextW(snapshot, &entry));
    CloseHandle(snapshot);
    return found;
}

} // namespace tagswap

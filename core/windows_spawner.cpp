#include "spawner.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <windows.h>

namespace tagswap {

namespace {

QString reasonFromLastError()
{
    return qt_error_string(int(GetLastError()));
}

// A bare name is looked up on the search path alone: CreateProcess would also
// try the current folder first, which is the player's spray folder.
QString resolveProgram(const QString &program)
{
    if (program.contains(u'/') || program.contains(u'\\'))
        return QDir::toNativeSeparators(QFileInfo(program).absoluteFilePath());
    return QDir::toNativeSeparators(QStandardPaths::findExecutable(program));
}

} // namespace

bool spawnDetached(const ProgramLaunch &launch, QString *error)
{
    const QString program = resolveProgram(launch.program);
    if (program.isEmpty()) {
        if (error)
            *error = qt_error_string(ERROR_FILE_NOT_FOUND);
        return false;
    }
    // The program's own path as the first word, then the arguments exactly as
    // they came: the program splits them itself, as it would have from us.
    QString commandLine = quotedWindowsArgument(program);
    if (!launch.arguments.isEmpty())
        commandLine += u' ' + launch.arguments.text;
    const QString directory = QDir::toNativeSeparators(launch.workingDirectory);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::wstring line = commandLine.toStdWString();
    const std::wstring path = program.toStdWString();
    const std::wstring folder = directory.toStdWString();
    if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        if (error)
            *error = reasonFromLastError();
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace tagswap

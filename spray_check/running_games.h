#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tagswap {

// A process of this system and the program file it runs.
struct RunningProgram {
    qint64 pid = 0;
    QString name; // the program file's name
    QString path; // its full path; empty when the system would not say
};

struct RunningPrograms {
    QList<RunningProgram> programs;
    QString error; // why the system's list of processes could not be read
};

// The processes whose program file is named one of names (in any letter case on
// Windows). Linux: /proc/<pid>/exe of each process the user may look at.
// Windows: the process snapshot, and each match's full image name.
RunningPrograms runningProgramsNamed(const QStringList &names);

// The programs of the engine's games: hl.exe, hl_linux, svencoop.exe, svencoop_linux.
QStringList gameProgramNames();

// Whether the program file lies directly in folder (links and, on Windows,
// letter case aside).
bool runsFrom(const RunningProgram &program, const QString &folder);

} // namespace tagswap

#include "spawner.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace tagswap {

namespace {

QString reasonFromErrno(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// A bare name is looked up on the search path as a shell would; a path is made
// absolute against our own directory before the child changes into another.
QByteArray resolveProgram(const QString &program)
{
    if (program.contains(u'/'))
        return QFile::encodeName(QFileInfo(program).absoluteFilePath());
    return QFile::encodeName(QStandardPaths::findExecutable(program));
}

void writeErrnoAndExit(int fd, int code)
{
    [[maybe_unused]] ssize_t ignored = ::write(fd, &code, sizeof code);
    ::_exit(127);
}

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void execInChild(int reportFd, const char *path, char *const argv[],
                              const char *workingDirectory)
{
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0)
        ::_exit(grandchild < 0 ? 127 : 0); // the grandchild is adopted and never a zombie of ours
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (workingDirectory && ::chdir(workingDirectory) != 0)
        writeErrnoAndExit(reportFd, errno);
    ::execv(path, argv);
    writeErrnoAndExit(reportFd, errno);
    ::_exit(127);
}

} // namespace

bool spawnDetached(const ProgramLaunch &launch, QString *error)
{
    const QByteArray path = resolveProgram(launch.program);
    if (path.isEmpty()) {
        if (error)
            *error = reasonFromErrno(ENOENT);
        return false;
    }
    const QByteArray directory = QFile::encodeName(launch.workingDirectory);

    // Everything the child needs is prepared before fork().
    QList<QByteArray> words = launch.arguments.arguments;
    words.prepend(path);
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        if (error)
            *error = reasonFromErrno(errno);
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        execInChild(report[1], path.constData(), argv.data(),
                    directory.isEmpty() ? nullptr : directory.constData());
    }
    ::close(report[1]);
    if (child < 0) {
        const int code = errno;
        ::close(report[0]);
        if (error)
            *error = reasonFromErrno(code);
        return false;
    }
    ::waitpid(child, nullptr, 0);

    // The pipe closes on a successful exec; otherwise it carries the errno.
    int code = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (got == sizeof code) {
        if (error)
            *error = reasonFromErrno(code);
        return false;
    }
    return true;
}

} // namespace tagswap

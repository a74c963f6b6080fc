#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tagswap {

// The arguments Tagswap was started with, kept exactly as the system handed
// them over so that they can be passed on to the game unchanged. They are
// never interpreted, decoded or re-split.
struct CommandLine {
#ifdef Q_OS_WIN
    // The raw text after the program's own path, as Windows keeps it.
    QString text;
    bool isEmpty() const
    {
        return text.isEmpty();
    }
#else
    // argv[1..], byte for byte.
    QList<QByteArray> arguments;
    bool isEmpty() const
    {
        return arguments.isEmpty();
    }
#endif

    // Arguments of this process (argc/argv are used on POSIX only).
    static CommandLine ofThisProcess(int argc, char **argv);
    // A command line of plain words, for programs we start ourselves.
    static CommandLine fromWords(const QStringList &words);
};

} // namespace tagswap

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
    // A command line of plain words, for programs we start ourselves; on
    // Windows each word is quoted so that the C runtime's rules split the text
    // back into the same words.
    static CommandLine fromWords(const QStringList &words);
    // This line followed by the other's arguments, each kept as it is.
    CommandLine followedBy(const CommandLine &more) const;

    bool operator==(const CommandLine &) const = default;
};

#ifdef Q_OS_WIN
// What follows the program's own path on a Windows command line, skipped the
// way the C runtime skips it: quoted up to the next quote, otherwise up to the
// first blank; then the blanks after it. The rest is kept exactly.
QString textAfterProgramPath(const QString &commandLine);
// The word as one argument of a Windows command line, by the rules that
// CommandLineToArgvW and the C runtime split lines with.
QString quotedWindowsArgument(const QString &word);
#endif

} // namespace tagswap

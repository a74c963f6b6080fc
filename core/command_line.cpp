#include "command_line.h"

#include <QFile>
#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tagswap {

#ifdef Q_OS_WIN
namespace {
// Skips the program's path the way the C runtime does: quoted up to the next
// quote, otherwise up to the first blank; then the blanks after it.
QString textAfterProgramPath(const QString &line)
{
    qsizetype i = 0;
    if (line.startsWith(u'"')) {
        const qsizetype close = line.indexOf(u'"', 1);
        i = close < 0 ? line.size() : close + 1;
    }
    while (i < line.size() && line.at(i) != u' ' && line.at(i) != u'\t')
        ++i;
    while (i < line.size() && (line.at(i) == u' ' || line.at(i) == u'\t'))
        ++i;
    return line.mid(i);
}
} // namespace

CommandLine CommandLine::ofThisProcess(int, char **)
{
    return CommandLine{textAfterProgramPath(QString::fromWCharArray(GetCommandLineW()))};
}

CommandLine CommandLine::fromWords(const QStringList &words)
{
    return CommandLine{words.join(u' ')};
}
#else
CommandLine CommandLine::ofThisProcess(int argc, char **argv)
{
    CommandLine line;
    for (int i = 1; i < argc; ++i)
        line.arguments.append(QByteArray(argv[i]));
    return line;
}

CommandLine CommandLine::fromWords(const QStringList &words)
{
    CommandLine line;
    for (const QString &word : words)
        line.arguments.append(QFile::encodeName(word));
    return line;
}
#endif

} // namespace tagswap

#include "command_line.h"

#include <QFile>
#include <QStringList>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tagswap {

#ifdef Q_OS_WIN
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

CommandLine CommandLine::ofThisProcess(int, char **)
{
    return CommandLine{textAfterProgramPath(QString::fromWCharArray(GetCommandLineW()))};
}

QString quotedWindowsArgument(const QString &word)
{
    const auto special = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'"';
    };
    if (!word.isEmpty() && std::none_of(word.begin(), word.end(), special))
        return word;
    QString quoted(u'"');
    qsizetype backslashes = 0;
    for (const QChar c : word) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: there each one is doubled,
        // and one more escapes the quote itself.
        quoted += QString(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        quoted += c;
        backslashes = 0;
    }
    // The closing quote makes the trailing backslashes stand before a quote too.
    return quoted + QString(2 * backslashes, u'\\') + u'"';
}

CommandLine CommandLine::fromWords(const QStringList &words)
{
    QStringList quoted;
    for (const QString &word : words)
        quoted << quotedWindowsArgument(word);
    return CommandLine{quoted.join(u' ')};
}

CommandLine CommandLine::followedBy(const CommandLine &more) const
{
    if (text.isEmpty() || more.text.isEmpty())
        return CommandLine{text + more.text};
    return CommandLine{text + u' ' + more.text};
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

CommandLine CommandLine::followedBy(const CommandLine &more) const
{
    CommandLine line = *this;
    line.arguments.append(more.arguments);
    return line;
}
#endif

} // namespace tagswap

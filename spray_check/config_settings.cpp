#include "config_settings.h"

#include "line_reader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace tagswap {

namespace {

bool isBlank(QChar c)
{
    return c.unicode() <= u' ';
}

// The tokenizer makes a word of each of these on its own.
bool isSingle(QChar c)
{
    return QStringView(u"{}()':").contains(c);
}

// Console names compare in any case of their ASCII letters, and nothing else.
bool sameName(QStringView word, QStringView cvar)
{
    return word.size() == cvar.size()
           && std::equal(word.begin(), word.end(), cvar.begin(), [](QChar a, QChar b) {
                  return a.unicode() < 128 && a.toLower() == b.toLower();
              });
}

// A line's commands: the game ends one at every ; outside quotes, also inside
// a // comment, which only the tokenizer knows of.
QList<QStringView> commandsOf(QStringView line)
{
    QList<QStringView> commands;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == u'"') {
            quoted = !quoted;
        } else if (line[i] == u';' && !quoted) {
            commands << line.sliced(start, i - start);
            start = i + 1;
        }
    }
    commands << line.sliced(start);
    return commands;
}

// The first `most` words of a command as the game's tokenizer reads them.
QStringList wordsOf(QStringView command, qsizetype most)
{
    QStringList words;
    const qsizetype size = command.size();
    qsizetype i = 0;
    while (words.size() < most) {
        while (i < size && isBlank(command[i]))
            ++i;
        if (i == size || command.sliced(i).startsWith(u"//"))
            break;
        qsizetype end = i + 1;
        if (command[i] == u'"') {
            end = command.indexOf(u'"', i + 1);
            end = end < 0 ? size : end;
            words << command.sliced(i + 1, end - i - 1).toString();
            ++end; // past the closing quote
        } else {
            while (!isSingle(command[i]) && end < size && !isBlank(command[end])
                   && !isSingle(command[end]))
                ++end;
            words << command.sliced(i, end - i).toString();
        }
        i = std::min(end, size);
    }
    return words;
}

void collect(QStringView line, int number, const QStringList &cvars, QList<CvarSetting> &found)
{
    for (QStringView command : commandsOf(line)) {
        const QStringList words = wordsOf(command, 2);
        // A name alone prints the value; it sets nothing.
        if (words.size() < 2)
            continue;
        const bool wanted = std::any_of(cvars.cbegin(), cvars.cend(), [&](const QString &cvar) {
            return sameName(words[0], cvar);
        });
        if (wanted)
            found.append({number, words[0], words[1]});
    }
}

} // namespace

ConfigSettings readCvarSettings(const QString &path, const QStringList &cvars)
{
    ConfigSettings result;
    if (!QFileInfo(path).isFile())
        return result;
    result.found = true;
    const std::optional<QStringList> lines = readTextLines(path, {}, &result.cutShort);
    if (!lines) {
        result.error = QCoreApplication::translate("SprayCheck", "It cannot be opened.");
        return result;
    }
    for (qsizetype i = 0; i < lines->size(); ++i) {
        const QString &line = lines->at(i);
        const qsizetype nul = line.indexOf(QChar(0));
        collect(QStringView(line).first(nul < 0 ? line.size() : nul), int(i + 1), cvars,
                result.settings);
        if (nul >= 0)
            break;
    }
    return result;
}

bool readsAsZero(const QString &value)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*[+-]?(0x[0-9a-f]+|inf|nan|(?:\d+\.?\d*|\.\d+)))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = number.match(value);
    if (!match.hasMatch())
        return true;
    // The digits alone decide: no exponent makes a number with another digit than 0 into 0.
    static const QRegularExpression notZero(QStringLiteral("[1-9a-z]"),
                                            QRegularExpression::CaseInsensitiveOption);
    QString digits = match.captured(1);
    if (digits.startsWith(u"0x", Qt::CaseInsensitive))
        digits.remove(0, 2);
    return !digits.contains(notZero);
}

} // namespace tagswap

#include "line_reader.h"

#include <QFile>
#include <QStringDecoder>

namespace tagswap {

namespace {

QString decodeLine(const QByteArray &bytes)
{
    // A byte-order mark inside the file is content; only the file's first is skipped.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless
                                                    | QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

class LineSplitter {
public:
    LineSplitter(LineLimits limits, QStringList &lines) : m_limits(limits), m_lines(lines) {}

    bool full() const { return m_lines.size() >= m_limits.maxLines; }
    // Past the last line it takes, the next byte (after a CR, the next but an LF)
    // tells whether the file went on.
    bool done() const { return full() && m_cutShort; }
    bool cutShort() const { return m_cutShort; }

    void feed(const char *data, qsizetype size)
    {
        for (qsizetype i = 0; i < size && !done(); ++i)
            feed(data[i]);
    }

    void finish()
    {
        if (m_lineOpen && !full())
            endLine();
    }

private:
    void feed(char c)
    {
        const bool afterCr = m_afterCr;
        m_afterCr = false;
        if (c == '\n' && afterCr)
            return; // the second half of CR LF
        if (full()) {
            m_cutShort = true;
            return;
        }
        if (c == '\r' || c == '\n') {
            m_afterCr = c == '\r';
            endLine();
            return;
        }
        m_lineOpen = true;
        if (m_current.size() < m_limits.maxLineBytes)
            m_current.append(c);
        else
            m_cutShort = true;
    }

    void endLine()
    {
        m_lines.append(decodeLine(m_current));
        m_current.clear();
        m_lineOpen = false;
    }

    LineLimits m_limits;
    QStringList &m_lines;
    QByteArray m_current;
    bool m_lineOpen = false;
    bool m_afterCr = false;
    bool m_cutShort = false;
};

void skipByteOrderMark(QFile &file)
{
    char head[3];
    if (file.peek(head, 3) == 3 && QByteArrayView(head, 3) == "\xEF\xBB\xBF")
        file.skip(3);
}

} // namespace

std::optional<QStringList> readTextLines(const QString &path, LineLimits limits, bool *cutShort)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    skipByteOrderMark(file);

    QStringList lines;
    LineSplitter splitter(limits, lines);
    char chunk[64 * 1024];
    while (!splitter.done()) {
        const qint64 got = file.read(chunk, sizeof chunk);
        if (got <= 0)
            break; // a read error ends the list like the end of the file
        splitter.feed(chunk, got);
    }
    splitter.finish();
    if (cutShort)
        *cutShort = splitter.cutShort();
    return lines;
}

} // namespace tagswap

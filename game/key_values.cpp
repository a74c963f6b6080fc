#include "key_values.h"

#include <QCoreApplication>

namespace tagswap {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("KeyValues", text);
}

enum class TokenKind { End, Text, Open, Close, Error };

struct Token {
    TokenKind kind = TokenKind::End;
    QByteArray text;
};

class Lexer {
public:
    explicit Lexer(QByteArrayView text) : m_text(text) {}

    Token next()
    {
        skipBlanksAndComments();
        if (m_at >= m_text.size())
            return {TokenKind::End, {}};
        const char c = m_text[m_at];
        if (c == '{' || c == '}') {
            ++m_at;
            return {c == '{' ? TokenKind::Open : TokenKind::Close, {}};
        }
        if (c == '"')
            return quoted();
        return bare();
    }

    // A [$WIN32]-style condition right after a token: Steam's own files use them
    // only for platform variants, none of which matter to us.
    void skipCondition()
    {
        const qsizetype saved = m_at;
        skipBlanksAndComments();
        if (m_at < m_text.size() && m_text[m_at] == '[') {
            const qsizetype close = m_text.indexOf(']', m_at);
            m_at = close < 0 ? m_text.size() : close + 1;
            return;
        }
        m_at = saved;
    }

private:
    void skipBlanksAndComments()
    {
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
                ++m_at;
            } else if (c == '/' && m_at + 1 < m_text.size() && m_text[m_at + 1] == '/') {
                const qsizetype end = m_text.indexOf('\n', m_at);
                m_at = end < 0 ? m_text.size() : end + 1;
            } else {
                return;
            }
        }
    }

    Token quoted()
    {
        QByteArray out;
        for (++m_at; m_at < m_text.size(); ++m_at) {
            const char c = m_text[m_at];
            if (c == '"') {
                ++m_at;
                return {TokenKind::Text, out};
            }
            if (c == '\\' && m_at + 1 < m_text.size()) {
                out += unescaped(m_text[++m_at]);
                continue;
            }
            out += c;
        }
        return {TokenKind::Error, {}};
    }

    static QByteArray unescaped(char c)
    {
        switch (c) {
        case 'n':
            return "\n";
        case 't':
            return "\t";
        case '\\':
        case '"':
            return QByteArray(1, c);
        default:
            // Not an escape Steam writes: keep both characters, as Steam reads them.
            return QByteArray("\\") + c;
        }
    }

    Token bare()
    {
        const qsizetype start = m_at;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == '"' || c == '{' || c == '}' || c == ' ' || c == '\t' || c == '\r' || c == '\n')
                break;
            ++m_at;
        }
        return {TokenKind::Text, m_text.sliced(start, m_at - start).toByteArray()};
    }

    QByteArrayView m_text;
    qsizetype m_at = 0;
};

class Parser {
public:
    explicit Parser(QByteArrayView text) : m_lexer(text) {}

    std::optional<KeyValues> parseFile(QString *error)
    {
        KeyValues root;
        root.isBlock = true;
        if (!parseEntries(root, 0, TokenKind::End)) {
            if (error)
                *error = m_error;
            return std::nullopt;
        }
        return root;
    }

private:
    // Reads key/value or key/block pairs until the token that ends this level.
    bool parseEntries(KeyValues &block, int depth, TokenKind closing)
    {
        for (;;) {
            const Token key = m_lexer.next();
            if (key.kind == closing)
                return true;
            if (key.kind != TokenKind::Text)
                return fail(describe(key.kind));
            m_lexer.skipCondition();
            KeyValues entry;
            entry.key = QString::fromUtf8(key.text);
            const Token value = m_lexer.next();
            if (value.kind == TokenKind::Text) {
                entry.value = QString::fromUtf8(value.text);
                m_lexer.skipCondition();
            } else if (value.kind == TokenKind::Open) {
                if (depth + 1 >= kMaxKeyValuesDepth)
                    return fail(tr("Blocks are nested more than %1 deep.").arg(kMaxKeyValuesDepth));
                entry.isBlock = true;
                if (!parseEntries(entry, depth + 1, TokenKind::Close))
                    return false;
            } else {
                return fail(value.kind == TokenKind::End ? tr("The text ends after a key.")
                                                         : describe(value.kind));
            }
            block.children.push_back(std::move(entry));
        }
    }

    static QString describe(TokenKind kind)
    {
        switch (kind) {
        case TokenKind::End:
            return tr("A block is not closed.");
        case TokenKind::Error:
            return tr("A quoted string is not closed.");
        case TokenKind::Open:
            return tr("A block has no key.");
        case TokenKind::Close:
            return tr("A block is closed that was never opened.");
        case TokenKind::Text:
            break;
        }
        return tr("Unexpected text.");
    }

    bool fail(const QString &reason)
    {
        m_error = reason;
        return false;
    }

    Lexer m_lexer;
    QString m_error;
};

} // namespace

const KeyValues *KeyValues::child(QStringView childKey) const
{
    for (const KeyValues &entry : children) {
        if (entry.key.compare(childKey, Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

QString KeyValues::childValue(QStringView childKey) const
{
    const KeyValues *entry = child(childKey);
    return entry && !entry->isBlock ? entry->value : QString();
}

std::optional<KeyValues> parseKeyValues(QByteArrayView text, QString *error)
{
    if (text.size() > kMaxKeyValuesBytes) {
        if (error)
            *error = tr("At %1 bytes the file is too large to be one of Steam's.").arg(text.size());
        return std::nullopt;
    }
    return Parser(text).parseFile(error);
}

} // namespace tagswap

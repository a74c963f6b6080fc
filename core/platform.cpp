#include "platform.h"

namespace tagswap {

QString joinLines(std::initializer_list<QString> lines)
{
    QString text;
    bool first = true;
    for (const QString &line : lines) {
        if (!first)
            text += QStringLiteral("\r\n");
        first = false;
        text += line;
    }
    return text;
}

} // namespace tagswap

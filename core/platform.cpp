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

ProgramLaunch textFileViewer(const QString &file)
{
#ifdef Q_OS_WIN
    const QString viewer = QStringLiteral("notepad.exe");
#else
    const QString viewer = QStringLiteral("xdg-open");
#endif
    return {viewer, CommandLine::fromWords({file}), QString()};
}

} // namespace tagswap

#include "qt_platform.h"

#include <QCoreApplication>
#include <QMessageBox>

#ifdef Q_OS_WIN
// shellapi.h needs windows.h before it.
#include <windows.h>

#include <shellapi.h>
#else
#include "posix_spawner.h"
#endif

namespace tagswap {

namespace {
QMessageBox::Icon iconFor(MsgBoxStyle style)
{
    switch (style) {
    case MsgBoxStyle::Critical:
        return QMessageBox::Critical;
    case MsgBoxStyle::Exclamation:
        return QMessageBox::Warning;
    case MsgBoxStyle::Information:
        break;
    }
    return QMessageBox::Information;
}
} // namespace

void QtPlatform::messageBox(QWidget *owner, const QString &text, MsgBoxStyle style,
                            const QString &title)
{
    // The texts keep Windows line ends; a label wants plain ones.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(iconFor(style), title, shown, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

#ifdef Q_OS_WIN
bool QtPlatform::startProgram(const ProgramLaunch &launch, QString *error)
{
    // The wide-character call keeps every character of the arguments.
    const auto file = reinterpret_cast<const wchar_t *>(launch.program.utf16());
    const auto params = reinterpret_cast<const wchar_t *>(launch.arguments.text.utf16());
    const auto dir = launch.workingDirectory.isEmpty()
                         ? nullptr
                         : reinterpret_cast<const wchar_t *>(launch.workingDirectory.utf16());
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, nullptr, file, params, dir, SW_SHOWNORMAL));
    if (result > 32)
        return true;
    if (error)
        *error = QCoreApplication::translate("Platform", "Windows error %1.").arg(result);
    return false;
}
#else
bool QtPlatform::startProgram(const ProgramLaunch &launch, QString *error)
{
    return spawnDetached(launch, error);
}
#endif

void QtPlatform::endProgram()
{
    QCoreApplication::exit(0);
}

} // namespace tagswap

#include "qt_platform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#ifdef Q_OS_WIN
// shellapi.h needs windows.h before it.
#include <windows.h>

#include <shellapi.h>
#else
#include "posix_spawner.h"
#endif

namespace tagswap {

namespace {
// The texts keep Windows line ends; a label wants plain ones.
QString withPlainLineEnds(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

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
    QMessageBox box(iconFor(style), title, withPlainLineEnds(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Answer QtPlatform::question(QWidget *owner, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Warning, title, withPlainLineEnds(text),
                    QMessageBox::Yes | QMessageBox::No, owner);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

bool QtPlatform::openFolder(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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

#include "application_setup.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

namespace tagswap {

namespace {
#ifndef Q_OS_WIN
QIcon programIcon()
{
    QIcon icon;
    const QDir sizes(QStringLiteral(":/icon"));
    for (const QString &file : sizes.entryList(QDir::Files))
        icon.addFile(sizes.filePath(file));
    return icon;
}
#endif
} // namespace

void setUpApplication(const char *version, const char *desktopId)
{
    QApplication::setApplicationName(QStringLiteral("Tagswap"));
    QApplication::setApplicationVersion(QString::fromLatin1(version));
    // Windows gives every window the .ico of the executable already.
#ifndef Q_OS_WIN
    QApplication::setWindowIcon(programIcon());
#endif
    // Lets a Wayland desktop find the menu entry, and with it the icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(desktopId));
    // The program ends only when its main window is unloaded.
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace tagswap

#include "command_line.h"
#include "frm_main.h"
#include "qt_platform.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <csignal>

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

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // A file-size limit then fails the write with an error we report, instead
    // of killing Tagswap in the middle of a copy.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // Read before Qt sees argv: every argument goes to the game untouched.
    tagswap::CommandLine commandLine = tagswap::CommandLine::ofThisProcess(argc, argv);
    // Qt is given no arguments, so none of the game's is taken for a Qt option.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagswap"));
    QApplication::setApplicationVersion(QStringLiteral(TAGSWAP_VERSION));
    // Windows gives every window the .ico of the executable already.
#ifndef Q_OS_WIN
    QApplication::setWindowIcon(programIcon());
#endif
    // Lets a Wayland desktop find the menu entry, and with it the icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAGSWAP_APP_ID));
    // The program ends only when its main window is unloaded.
    QApplication::setQuitOnLastWindowClosed(false);

    tagswap::QtPlatform platform;
    tagswap::frmMain window(platform, std::move(commandLine));
    window.Form_Load();
    window.show();
    return QApplication::exec();
}

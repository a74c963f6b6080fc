#include "application_setup.h"
#include "command_line.h"
#include "frm_main.h"
#include "qt_platform.h"

#include <QApplication>

#include <csignal>

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
    tagswap::setUpApplication(TAGSWAP_VERSION, TAGSWAP_APP_ID);
    tagswap::setProgramIcon();

    tagswap::QtPlatform platform;
    tagswap::frmMain window(platform, std::move(commandLine));
    window.Form_Load();
    window.show();
    return QApplication::exec();
}

#include "spray_commands.h"

#include <cstdio>

#include <QGuiApplication>

namespace {

// The program speaks in its own one-line messages; Qt's remarks (a missing runtime
// folder, a decoder's complaint about a damaged file) would only clutter stderr.
void keepSeriousMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char *argv[])
{
    // Drawings may hold text, which needs a GUI application, but this program never
    // shows a window and must run where there is no display.
    qInstallMessageHandler(keepSeriousMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tagswap-spray"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAGSWAP_VERSION));
    return sprayCommand(QCoreApplication::arguments());
}

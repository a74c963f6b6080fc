#include "decoder_warnings.h"

#include <QFile>
#include <QProcess>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <mutex>

// MinGW-w64 has these POSIX names too.
#include <fcntl.h>
#include <unistd.h>

namespace spray {
namespace {

thread_local DecoderWarnings *t_listening = nullptr;
std::atomic<QtMessageHandler> g_nextHandler{nullptr};

// What libjpeg, libpng, libtiff and Qt's own readers say when the data ran out.
bool saysDataIsMissing(const QString &text)
{
    static const std::array<QLatin1String, 6> kPhrases{
        QLatin1String("premature end"), QLatin1String("missing"),
        QLatin1String("truncat"),       QLatin1String("unexpected end"),
        QLatin1String("end of file"),   QLatin1String("not enough data")};
    return std::any_of(kPhrases.begin(), kPhrases.end(), [&text](QLatin1String phrase) {
        return text.contains(phrase, Qt::CaseInsensitive);
    });
}

bool saysMemoryRanOut(const QString &text)
{
    // "QImage: out of memory", Qt's allocation limit, libjpeg's "Insufficient memory".
    static const std::array<QLatin1String, 3> kPhrases{QLatin1String("out of memory"),
                                                       QLatin1String("allocation limit"),
                                                       QLatin1String("insufficient memory")};
    return std::any_of(kPhrases.begin(), kPhrases.end(), [&text](QLatin1String phrase) {
        return text.contains(phrase, Qt::CaseInsensitive);
    });
}

// Qt's SVG reader, of an image element it could not make.
bool saysPictureIsLost(const QString &text)
{
    return text.startsWith(QLatin1String("Could not create image"));
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (t_listening && type != QtFatalMsg && t_listening->note(text))
        return;
    // Empty only while this handler is being installed, on another thread.
    if (const QtMessageHandler next = g_nextHandler.load())
        next(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

int nullDevice()
{
    return ::open(QFile::encodeName(QProcess::nullDevice()).constData(), O_WRONLY);
}

void moveOntoStderr(int fd)
{
    ::dup2(fd, 2);
    ::close(fd);
}

} // namespace

QuietDecoders::QuietDecoders()
{
    const int quiet = nullDevice();
    if (quiet < 0)
        return; // then the libraries' lines are seen, which is harmless
    std::fflush(stderr);
    m_savedStderr = ::dup(2);
    if (m_savedStderr < 0) {
        ::close(quiet);
        return;
    }
    moveOntoStderr(quiet);
}

QuietDecoders::~QuietDecoders()
{
    if (m_savedStderr < 0)
        return;
    std::fflush(stderr);
    moveOntoStderr(m_savedStderr);
}

DecoderWarnings::DecoderWarnings() : m_outer(t_listening)
{
    // Once, and only when first needed, so that a handler installed earlier (a
    // test's) still gets every other message.
    static std::once_flag installed;
    std::call_once(installed, [] { g_nextHandler = qInstallMessageHandler(handleMessage); });
    t_listening = this;
}

DecoderWarnings::~DecoderWarnings()
{
    t_listening = m_outer;
}

bool DecoderWarnings::note(const QString &warning)
{
    if (saysMemoryRanOut(warning))
        m_outOfMemory = true;
    else if (saysPictureIsLost(warning))
        m_lostPicture = true;
    else if (!saysDataIsMissing(warning))
        return false;
    else if (m_missingData.isEmpty())
        m_missingData = warning.simplified();
    return true;
}

} // namespace spray

#include "picture_reader.h"

#include "linear_image.h"
#include "picture_reply.h"
#include "reader_process.h"
#include "spray_maker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cmath>
#include <cstdlib>
#include <exception>
#include <new>

namespace spray {
namespace {

#ifdef Q_OS_WIN
const QLatin1String kReaderFile("tagswap-spray.exe");
#else
const QLatin1String kReaderFile("tagswap-spray");
#endif
constexpr qint64 kMiB = qint64(1024) * 1024;
// How often the parent looks at the reader between its answers.
constexpr int kTickMs = 20;
constexpr int kStartMs = 30'000;
constexpr int kUsage = 2;
const QLatin1String kAnySize("any");

QString tr(const char *text)
{
    return QCoreApplication::translate("spray", text);
}

std::nullopt_t fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return std::nullopt;
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// --- the parent ---

QStringList readerArguments(const QString &path, const PictureNeed &need)
{
    return {QLatin1String(kReaderCommand), path, QString::number(need.frame),
            need.size ? sizeChoiceText(*need.size) : QString(kAnySize), fitText(need.fit)};
}

enum class Waited { Ended, Ready, OutOfTime, Cancelled, Overlong, NeverReady };

// The reader's standard output until it ends, or until it has sent readyAt bytes;
// what it writes is bounded, and so is the time it takes on the clock, whatever the
// system counts.
Waited awaitReader(QProcess &reader, const QDeadlineTimer &deadline,
                   const std::atomic<bool> *cancel, QByteArray *reply, qsizetype readyAt)
{
    for (;;) {
        if (cancel && cancel->load())
            return Waited::Cancelled;
        if (deadline.hasExpired())
            return Waited::OutOfTime;
        const bool ended = reader.state() == QProcess::NotRunning;
        if (!ended)
            reader.waitForReadyRead(kTickMs);
        *reply += reader.readAllStandardOutput();
        if (reply->size() > kMaxReplyBytes)
            return Waited::Overlong;
        if (ended)
            return Waited::Ended;
        if (reply->size() >= readyAt)
            return Waited::Ready;
    }
}

// Started, the reader says it is ready once its limits hold; from then on the picture
// has its kReaderSeconds on the clock. Starting takes what it takes (under Wine, a
// second or more), within a bound of its own.
Waited awaitReply(QProcess &reader, const std::atomic<bool> *cancel, QByteArray *reply)
{
    const Waited started =
        awaitReader(reader, QDeadlineTimer(kStartMs), cancel, reply, kReplyStartBytes);
    if (started != Waited::Ready)
        return started == Waited::OutOfTime ? Waited::NeverReady : started;
    return awaitReader(reader, QDeadlineTimer(kReaderClockMs), cancel, reply, kMaxReplyBytes + 1);
}

std::optional<LoadedImage> answerOf(const QProcess &reader, const QByteArray &reply,
                                    const QString &path, QString *error)
{
    if (reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0) {
        QString fault;
        auto picture = pictureFromReply(reply, fileName(path), &fault);
        return picture ? picture : fail(error, fault);
    }
    if (reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == kReaderOverMemory)
        return fail(error, beyondMemory(path));
    if (reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == kReaderOverTime)
        return fail(error, beyondTime(path));
    return fail(error, tr("%1 could not be read: the picture reader stopped without an answer.")
                           .arg(fileName(path)));
}

// --- the reader ---

std::optional<QSize> coverFor(const ImageHeader &header, const PictureNeed &need, QString *error)
{
    if (!need.size)
        return kCoverForAnySpray;
    if (!header.size.isValid())
        return QSize(); // not told: decoded whole
    const auto placement = place(header.size, *need.size, need.fit, error);
    if (!placement)
        return std::nullopt;
    return decodeSizeFor(*placement, header.size);
}

// No more than the reply may carry, however long and thin the picture.
LoadedImage withinReplyBound(LoadedImage image)
{
    const QSize size = image.image.size();
    const double pixels = double(size.width()) * double(size.height());
    if (pixels <= double(kMaxReplyPixels))
        return image;
    const double scale = std::sqrt(double(kMaxReplyPixels) / pixels);
    const QSize bounded(std::max(1, int(size.width() * scale)),
                        std::max(1, int(size.height() * scale)));
    image.image = toQImage(resample(image.image, QRectF(QPointF(), QSizeF(size)), bounded));
    return image;
}

std::optional<PictureNeed> needIn(const QStringList &arguments)
{
    if (arguments.size() != 4)
        return std::nullopt;
    bool frameOk = false;
    PictureNeed need;
    need.frame = arguments.at(1).toInt(&frameOk);
    const auto fit = parseFit(arguments.at(3));
    if (!frameOk || !fit)
        return std::nullopt;
    need.fit = *fit;
    if (arguments.at(2) == kAnySize)
        return need;
    need.size = parseSizeChoice(arguments.at(2));
    return need.size ? std::optional(need) : std::nullopt;
}

// Memory that runs out where no reader can say so: an allocation that throws.
[[noreturn]] void endOutOfMemory()
{
    std::_Exit(kReaderOverMemory);
}

[[noreturn]] void endOnUncaught()
{
    try {
        if (const std::exception_ptr thrown = std::current_exception())
            std::rethrow_exception(thrown);
    } catch (const std::bad_alloc &) {
        endOutOfMemory();
    } catch (...) {
    }
    std::abort();
}

} // namespace

QString pictureReaderProgram()
{
    QString chosen = qEnvironmentVariable("TAGSWAP_PICTURE_READER");
    if (!chosen.isEmpty())
        return chosen;
    return QDir(QCoreApplication::applicationDirPath()).filePath(kReaderFile);
}

std::optional<LoadedImage> readPicture(const QString &path, const PictureNeed &need, QString *error,
                                       const std::atomic<bool> *cancel)
{
    // A pipe would hold the reader until the clock ends it: refused here at once.
    if (!QFileInfo::exists(path))
        return fail(error, tr("%1 does not exist.").arg(fileName(path)));
    if (!QFileInfo(path).isFile())
        return fail(error, tr("%1 is not a file.").arg(fileName(path)));
    QProcess reader;
    reader.setProgram(pictureReaderProgram());
    reader.setArguments(readerArguments(path, need));
    reader.setStandardInputFile(QProcess::nullDevice());
    reader.setStandardErrorFile(QProcess::nullDevice());
    prepareReaderStart(reader);
    reader.start();
    if (!reader.waitForStarted(kStartMs))
        return fail(error, tr("%1 could not be read: the picture reader %2 could not be "
                              "started: %3")
                               .arg(fileName(path), QDir::toNativeSeparators(reader.program()),
                                    reader.errorString()));
    QByteArray reply;
    const Waited waited = awaitReply(reader, cancel, &reply);
    if (waited == Waited::Ended)
        return answerOf(reader, reply, path, error);
    reader.kill();
    reader.waitForFinished(kStartMs);
    if (waited == Waited::OutOfTime)
        return fail(error, beyondTime(path));
    if (waited == Waited::Cancelled)
        return fail(error, tr("Reading %1 was cancelled.").arg(fileName(path)));
    if (waited == Waited::NeverReady)
        return fail(
            error,
            tr("%1 could not be read: the picture reader did not get ready.").arg(fileName(path)));
    return fail(
        error,
        tr("%1 could not be read: the picture reader's reply makes no sense.").arg(fileName(path)));
}

QByteArray pictureReplyFor(const QString &path, const PictureNeed &need)
{
    QString error;
    const auto picture = Picture::open(path, &error);
    if (!picture)
        return refusalReply(error);
    const auto cover = coverFor(picture->header(), need, &error);
    auto image = cover ? picture->decode(need.frame, *cover, &error) : std::nullopt;
    if (!image)
        return refusalReply(error);
    return pictureReply(withinReplyBound(reducedToCover(std::move(*image), *cover)));
}

int runPictureReader(const QStringList &arguments)
{
    const auto need = needIn(arguments);
    if (!need)
        return kUsage;
    const QString &path = arguments.constFirst();
    std::set_new_handler(endOutOfMemory);
    std::set_terminate(endOnUncaught);
    QString error;
    // Nothing of the picture is read before the limits hold.
    if (!limitThisProcess(kReaderMemoryMiB * kMiB, kReaderSeconds, &error))
        return writeToStdout(
                   refusalReply(tr("%1 was not read: its reader's limits could not be set: %2")
                                    .arg(fileName(path), error)))
                   ? 0
                   : 1;
    if (!writeToStdout(replyStart()))
        return 1;
    return writeToStdout(pictureReplyFor(path, *need).mid(kReplyStartBytes)) ? 0 : 1;
}

} // namespace spray

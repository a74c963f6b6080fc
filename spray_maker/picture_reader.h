#pragma once

#include "canvas_size.h"
#include "image_loading.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

// A picture from outside is decoded in a child process, the picture reader, never in
// the program that asked: the system holds the reader to kReaderMemoryMiB of memory
// besides what it takes at start and to kReaderSeconds of processor time, and the
// parent ends it once that much time has passed on the clock. A decoder that runs
// away, or is taken over by the picture, takes nothing but the reader with it. The
// reader is tagswap-spray, started with a command of its own, and it hands back only
// the reduced picture the maker needs. The Make Spray window and tagswap-spray's own
// commands read pictures through it alike.
namespace spray {

// The command word that makes tagswap-spray the reader; it is in no help text.
inline constexpr char kReaderCommand[] = "read-picture-for-maker";
// How the reader ends when the system stops it at a limit.
inline constexpr int kReaderOverMemory = 3;
inline constexpr int kReaderOverTime = 4;

// Enough of any picture for a spray of any size and fit: twice the largest canvas.
inline constexpr QSize kCoverForAnySpray(2 * kMaxCanvasSide, 2 * kMaxCanvasSide);

// How long the parent lets the reader run on the clock, from when it is ready: its
// kReaderSeconds, or, in a build instrumented to find memory faults (several times
// slower, and slower still on a busy machine), four times that. The processor limit
// stays kReaderSeconds in every build.
#ifdef TAGSWAP_SANITIZED
inline constexpr int kReaderClockMs = 4 * kReaderSeconds * 1000;
#else
inline constexpr int kReaderClockMs = kReaderSeconds * 1000;
#endif

// What the maker needs of a picture: one frame, reduced to what a spray of this size
// and fit needs; without a size, to kCoverForAnySpray (the window makes spray after
// spray from one reading).
struct PictureNeed {
    int frame = 0;
    std::optional<SizeChoice> size;
    Fit fit = Fit::Fit;
};

// The picture, read by a reader process. Once *cancel is set the reader is ended at
// once and the reading fails.
std::optional<LoadedImage> readPicture(const QString &path, const PictureNeed &need,
                                       QString *error = nullptr,
                                       const std::atomic<bool> *cancel = nullptr);

// The reader's program: TAGSWAP_PICTURE_READER when set (a test's, whose program is
// not beside tagswap-spray), else tagswap-spray beside the running program.
QString pictureReaderProgram();

// The reader's work for one picture, done in this process: what it writes back.
QByteArray pictureReplyFor(const QString &path, const PictureNeed &need);

// The reader itself: arguments are those after the command word. Limits this
// process, then writes the reply to standard output. Returns the exit status.
int runPictureReader(const QStringList &arguments);

} // namespace spray

// A picture handed to the spray maker may be anything: any bytes go through the
// picture reader's work (the gate that checks what decoding would cost before it
// decodes, the decoding, the reduction to what the spray needs, the reply), the
// parent's check of that reply and the making, as the window and tagswap-spray do
// them. Either the maker refuses with one line, or the spray it makes is one the
// game accepts. The reader's work runs here, in the fuzzer's process, held to the
// reader's own limits (tools/run-fuzzers.sh): an input past them is one the reader's
// system would end, refused, not a finding. The same bytes are also taken as a
// reply, as a reader taken over by its picture could send them.
#include "decal_file.h"
#include "fuzz_check.h"
#include "picture_reader.h"
#include "picture_reply.h"
#include "spray_maker.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace {
QTemporaryDir *scratch = nullptr;

void checkRefusal(const QString &error)
{
    check(!error.isEmpty() && !error.contains(u'\n'));
}

void checkMade(const std::optional<decal::Decal> &made, QString &error)
{
    if (!made) {
        checkRefusal(error);
        return;
    }
    const QByteArray bytes = spray::sprayFileBytes(*made, &error);
    check(!bytes.isEmpty() && bytes.size() <= decal::kGameMaxFileSize);
    check(decal::gameRefusal(bytes).isEmpty());
}

// Whatever a reply holds, the parent takes a picture within the bounds, or refuses it.
void checkAsReply(const QByteArray &bytes)
{
    QString error;
    const auto picture = spray::pictureFromReply(bytes, QStringLiteral("picture"), &error);
    if (!picture) {
        checkRefusal(error);
        return;
    }
    const QSize size = picture->image.size();
    check(qint64(size.width()) * size.height() <= spray::kMaxReplyPixels);
    check(picture->frameCount >= 1 && !picture->size.isEmpty());
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // SVG drawings may hold text, which needs a GUI application; no display is used.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    scratch = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkAsReply(bytes);

    // No suffix: the format is told from the contents, as for a misnamed download.
    const QString path = scratch->filePath(QStringLiteral("picture"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(bytes);
    file.close();

    // The input's length picks the settings, so each input always makes the same spray.
    spray::SprayOptions options;
    options.fit = std::array{spray::Fit::Fit, spray::Fit::Fill, spray::Fit::Stretch}[size % 3];
    options.frame = int(size / 3 % 2);
    if (size % 5 == 0)
        options.oneColour = qRgb(200, 30, 30);
    options.quickPalette = true;
    // A spray of this size and fit, or the window's reading for any spray.
    const spray::PictureNeed need{
        options.frame, size % 7 == 0 ? std::nullopt : std::optional(options.size), options.fit};

    QString error;
    const auto picture = spray::pictureFromReply(spray::pictureReplyFor(path, need),
                                                 QStringLiteral("picture"), &error);
    if (!picture) {
        checkRefusal(error);
        return 0;
    }
    checkMade(spray::makeSpray(*picture, options, &error), error);
    return 0;
}

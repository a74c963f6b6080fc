// A picture handed to the spray maker may be anything: any bytes go through the
// same loader, with its limits checked before decoding, and the same making as
// the window and tagswap-spray use. Either the maker refuses with a reason, or
// the spray it makes is one the game accepts.
#include "decal_file.h"
#include "fuzz_check.h"
#include "spray_maker.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace {
QTemporaryDir *scratch = nullptr;
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
    // No suffix: the format is told from the contents, as for a misnamed download.
    const QString path = scratch->filePath(QStringLiteral("picture"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();

    // The input's length picks the settings, so each input always makes the same spray.
    spray::SprayOptions options;
    options.fit = std::array{spray::Fit::Fit, spray::Fit::Fill, spray::Fit::Stretch}[size % 3];
    options.frame = int(size / 3 % 2);
    if (size % 5 == 0)
        options.oneColour = qRgb(200, 30, 30);
    options.quickPalette = true;

    QString error;
    const std::optional<decal::Decal> made = spray::makeSprayFromFile(path, options, &error);
    if (!made) {
        check(!error.isEmpty() && !error.contains(u'\n'));
        return 0;
    }
    const QByteArray bytes = spray::sprayFileBytes(*made, &error);
    check(!bytes.isEmpty() && bytes.size() <= decal::kGameMaxFileSize);
    check(decal::gameRefusal(bytes).isEmpty());
    return 0;
}

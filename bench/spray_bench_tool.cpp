// A helper for run_spray_bench.py that needs the spray maker in-process:
//   spray_bench_tool preview-time IMAGE RUNS [DITHER]    what one preview update in the window
//   costs
#include "game_view.h"
#include "spray_maker.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// As the window does it: the image decoded once, then each change of a setting
// makes the spray, its file and the game's view of it.
double medianPreviewTime(const spray::LoadedImage &loaded, int runs, double dither, bool quick)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        spray::SprayOptions options;
        options.dither = dither;
        options.quickPalette = quick;
        const auto made = spray::makeSpray(loaded, options);
        const QByteArray bytes = made ? spray::sprayFileBytes(*made) : QByteArray();
        const QImage shown = made ? decal::renderAsGame(*made) : QImage();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (bytes.isEmpty() || shown.isNull())
            return -1;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Prints the median milliseconds of the quick preview, then of the careful one.
int previewTime(const QString &path, int runs, double dither)
{
    const auto loaded = spray::loadImage(path, 0, QSize(512, 512));
    if (!loaded)
        return 1;
    const double quick = medianPreviewTime(*loaded, runs, dither, true);
    const double careful = medianPreviewTime(*loaded, runs, dither, false);
    if (quick < 0 || careful < 0)
        return 1;
    std::printf("%.1f %.1f\n", quick, careful);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("preview-time"))
        return previewTime(args[2], std::clamp(args[3].toInt(), 1, 1000),
                           args.size() > 4 ? args[4].toDouble() : spray::kDefaultDither);
    std::fputs("usage: spray_bench_tool preview-time IMAGE RUNS [DITHER]\n", stderr);
    return 2;
}

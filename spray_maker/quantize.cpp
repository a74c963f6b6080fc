#include "quantize.h"

#include <QCoreApplication>

#include <libimagequant.h>
#ifdef _OPENMP
#include <omp.h>
#endif

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace spray {
namespace {

// libimagequant's most careful search, as pngquant's best; a spray is small enough.
constexpr int kCarefulSpeed = 1;
// Its fastest, a few times quicker, for previews made while settings change.
constexpr int kQuickSpeed = 10;
constexpr int kOpaqueColours = decal::kTransparentIndex; // entries 0..254

QString tr(const char *text)
{
    return QCoreApplication::translate("spray", text);
}

struct LiqDeleter {
    void operator()(liq_attr *p) const { liq_attr_destroy(p); }
    void operator()(liq_image *p) const { liq_image_destroy(p); }
    void operator()(liq_result *p) const { liq_result_destroy(p); }
};
template <typename T>
using LiqPtr = std::unique_ptr<T, LiqDeleter>;

// Straight-alpha sRGB bytes as libimagequant takes them; every pixel either fully
// opaque or fully transparent, so that transparency is decided once, here.
struct Rgba8 {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bytes;
    std::vector<bool> transparent;
};

// Coverage in the steps of a picture's own alpha: resampling weights that add up to
// one leave a fully opaque pixel a hair either side of 1, and it must stay opaque.
bool belowThreshold(float coverage, int percent)
{
    const long steps = std::lround(std::clamp(coverage, 0.0f, 1.0f) * 255);
    return steps == 0 || steps * 100 < long(percent) * 255;
}

Rgba8 thresholded(const LinearImage &image, int thresholdPercent)
{
    Rgba8 out{image.width, image.height, {}, {}};
    out.bytes.resize(image.pixels.size(), 0);
    out.transparent.resize(image.pixels.size() / 4, true);
    for (size_t i = 0; i < out.transparent.size(); ++i) {
        const float *p = image.pixels.data() + i * 4;
        if (belowThreshold(p[3], thresholdPercent))
            continue;
        out.transparent[i] = false;
        for (int c = 0; c < 3; ++c)
            out.bytes[i * 4 + size_t(c)] = static_cast<unsigned char>(srgbFromLinear(p[c] / p[3]));
        out.bytes[i * 4 + 3] = 255;
    }
    return out;
}

int nearestOpaque(const liq_color &c, const liq_palette &palette)
{
    int best = -1;
    int bestDistance = 0;
    for (unsigned i = 0; i < palette.count; ++i) {
        const liq_color &p = palette.entries[i];
        if (p.a < 128)
            continue;
        const int d =
            (p.r - c.r) * (p.r - c.r) + (p.g - c.g) * (p.g - c.g) + (p.b - c.b) * (p.b - c.b);
        if (best < 0 || d < bestDistance) {
            best = int(i);
            bestDistance = d;
        }
    }
    return best;
}

// libimagequant's palette order, with transparent entries dropped, onto spray indices.
struct IndexMap {
    std::vector<int> sprayIndex; // per libimagequant entry
    std::array<QRgb, 256> palette{};
};

std::optional<IndexMap> indexMap(const liq_palette &palette)
{
    IndexMap map;
    map.sprayIndex.assign(palette.count, decal::kTransparentIndex);
    int next = 0;
    for (unsigned i = 0; i < palette.count; ++i) {
        const liq_color &c = palette.entries[i];
        if (c.a < 128)
            continue;
        if (next == kOpaqueColours)
            return std::nullopt;
        map.palette[size_t(next)] = qRgb(c.r, c.g, c.b);
        map.sprayIndex[i] = next++;
    }
    // An opaque pixel remapped onto a transparent entry would vanish; give it the
    // nearest colour instead.
    for (unsigned i = 0; i < palette.count; ++i) {
        if (palette.entries[i].a < 128)
            map.sprayIndex[i] = decal::kTransparentIndex;
    }
    map.palette[decal::kTransparentIndex] = decal::kTransparentKey;
    return map;
}

std::optional<QByteArray> remap(liq_attr *attr, liq_result *result, Rgba8 &image,
                                const IndexMap &map, const liq_palette &palette)
{
    LiqPtr<liq_image> liqImage(
        liq_image_create_rgba(attr, image.bytes.data(), image.width, image.height, 0));
    if (!liqImage)
        return std::nullopt;
    std::vector<unsigned char> raw(size_t(image.width) * size_t(image.height));
    if (liq_write_remapped_image(result, liqImage.get(), raw.data(), raw.size()) != LIQ_OK)
        return std::nullopt;
    QByteArray out(qsizetype(raw.size()), Qt::Uninitialized);
    for (size_t i = 0; i < raw.size(); ++i) {
        int index = raw[i] < map.sprayIndex.size() ? map.sprayIndex[raw[i]] : 0;
        if (image.transparent[i]) {
            index = decal::kTransparentIndex;
        } else if (index == decal::kTransparentIndex) {
            const unsigned char *b = image.bytes.data() + i * 4;
            const int nearest = nearestOpaque(liq_color{b[0], b[1], b[2], 255}, palette);
            index = nearest < 0 ? 0 : map.sprayIndex[size_t(nearest)];
        }
        out[qsizetype(i)] = char(index);
    }
    return out;
}

std::nullopt_t fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return std::nullopt;
}

int opacityIndex(const float *p, InkSource source)
{
    float opacity = p[3];
    if (source == InkSource::Darkness && p[3] > 0) {
        // Darkness as it looks (sRGB), so a mid grey gives about half the ink.
        const float luminance = (0.2126f * p[0] + 0.7152f * p[1] + 0.0722f * p[2]) / p[3];
        opacity = p[3] * (1.0f - float(srgbFromLinear(luminance)) / 255.0f);
    }
    return std::clamp(int(std::lround(opacity * 255)), 0, 255);
}

QByteArray opacities(const LinearImage &image, InkSource source)
{
    QByteArray out(qsizetype(image.width) * image.height, Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = char(opacityIndex(image.pixels.data() + i * 4, source));
    return out;
}

} // namespace

MipChain mipChain(const LinearImage &canvas)
{
    MipChain mips;
    mips[0] = halve(canvas);
    mips[1] = halve(mips[0]);
    mips[2] = halve(mips[1]);
    return mips;
}

std::optional<decal::Decal> quantize(const LinearImage &canvas, const MipChain &mips,
                                     const PaletteOptions &options, QString *error)
{
#ifdef _OPENMP
    // Debian's libimagequant spreads its work over OpenMP threads, whose start-up and
    // busy waiting cost far more than a spray's few thousand pixels save.
    omp_set_num_threads(1);
#endif
    Rgba8 full = thresholded(canvas, options.alphaThresholdPercent);
    const bool anyTransparent =
        std::find(full.transparent.begin(), full.transparent.end(), true) != full.transparent.end();
    LiqPtr<liq_attr> attr(liq_attr_create());
    // The transparent entry, when there is one, is not one of the 255 colours.
    liq_set_max_colors(attr.get(), anyTransparent ? kOpaqueColours + 1 : kOpaqueColours);
    liq_set_speed(attr.get(), options.quick ? kQuickSpeed : kCarefulSpeed);
    LiqPtr<liq_image> image(
        liq_image_create_rgba(attr.get(), full.bytes.data(), full.width, full.height, 0));
    liq_result *rawResult = nullptr;
    if (!image || liq_image_quantize(image.get(), attr.get(), &rawResult) != LIQ_OK)
        return fail(error, tr("The colours could not be reduced to a palette."));
    LiqPtr<liq_result> result(rawResult);
    liq_set_dithering_level(result.get(), float(std::clamp(options.dither, 0.0, 1.0)));
    const liq_palette *palette = liq_get_palette(result.get());
    const std::optional<IndexMap> map = indexMap(*palette);
    if (!map)
        return fail(error, tr("The palette came out with more than 255 colours."));

    decal::Decal d;
    d.width = canvas.width;
    d.height = canvas.height;
    d.palette = map->palette;
    const auto pixels = remap(attr.get(), result.get(), full, *map, *palette);
    std::array<QByteArray, 3> levels;
    for (size_t level = 0; level < mips.size(); ++level) {
        Rgba8 mip = thresholded(mips[level], options.alphaThresholdPercent);
        const auto mapped = remap(attr.get(), result.get(), mip, *map, *palette);
        if (!mapped)
            return fail(error, tr("The smaller copies could not be mapped onto the palette."));
        levels[level] = *mapped;
    }
    if (!pixels)
        return fail(error, tr("The picture could not be mapped onto its palette."));
    d.pixels = *pixels;
    d.mips = levels;
    return d;
}

decal::Decal oneColour(const LinearImage &canvas, const MipChain &mips, QRgb ink, InkSource source)
{
    decal::Decal d;
    d.width = canvas.width;
    d.height = canvas.height;
    for (int i = 0; i < decal::kTransparentIndex; ++i)
        d.palette[size_t(i)] = qRgb(i, i, i);
    // Pure blue in entry 255 would make the game read the file as a colour spray.
    const QRgb opaqueInk = ink | 0xff000000u;
    d.palette[decal::kTransparentIndex] = opaqueInk == decal::kTransparentKey
                                              ? qRgb(0, 0, 254)
                                              : qRgb(qRed(ink), qGreen(ink), qBlue(ink));
    d.pixels = opacities(canvas, source);
    d.mips = std::array<QByteArray, 3>{opacities(mips[0], source), opacities(mips[1], source),
                                       opacities(mips[2], source)};
    return d;
}

} // namespace spray

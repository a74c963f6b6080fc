#include "scaling.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace spray {
namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("spray", text);
}

// Whole picture pixels that the part shown touches.
QRect touchedPixels(const QImage &image, const QRectF &source)
{
    const QPoint topLeft(int(std::floor(source.left())), int(std::floor(source.top())));
    const QPoint past(int(std::ceil(source.right())), int(std::ceil(source.bottom())));
    return QRect(topLeft, past - QPoint(1, 1)).intersected(image.rect());
}

bool hasAtMostColours(const QImage &image, const QRect &part, int limit)
{
    const QImage argb = image.copy(part).convertToFormat(QImage::Format_ARGB32);
    std::unordered_set<QRgb> seen;
    for (int y = 0; y < argb.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            // Every fully transparent pixel looks the same, whatever colour it hides.
            seen.insert(qAlpha(line[x]) == 0 ? 0u : line[x]);
            if (int(seen.size()) > limit)
                return false;
        }
    }
    return true;
}

void storeLinear(float *out, QRgb pixel)
{
    const float alpha = float(qAlpha(pixel)) / 255.0f;
    out[0] = linearFromSrgb(qRed(pixel)) * alpha;
    out[1] = linearFromSrgb(qGreen(pixel)) * alpha;
    out[2] = linearFromSrgb(qBlue(pixel)) * alpha;
    out[3] = alpha;
}

// The picture pixel under each spray pixel's centre, along one axis.
std::vector<int> nearestIndices(double start, double length, int inSize, int outSize)
{
    std::vector<int> indices(size_t(outSize), 0);
    for (int i = 0; i < outSize; ++i) {
        const double centre = start + (i + 0.5) * length / outSize;
        indices[size_t(i)] = std::clamp(int(std::floor(centre)), 0, inSize - 1);
    }
    return indices;
}

LinearImage nearestNeighbour(const QImage &image, const QRectF &source, QSize size)
{
    const QRect part = touchedPixels(image, source);
    const QRectF within = source.translated(-part.topLeft());
    const std::vector<int> columns =
        nearestIndices(within.x(), within.width(), part.width(), size.width());
    const std::vector<int> rows =
        nearestIndices(within.y(), within.height(), part.height(), size.height());
    const QImage argb = image.copy(part).convertToFormat(QImage::Format_ARGB32);
    LinearImage out(size.width(), size.height());
    for (int y = 0; y < out.height; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(argb.constScanLine(rows[size_t(y)]));
        for (int x = 0; x < out.width; ++x)
            storeLinear(out.at(x, y), line[columns[size_t(x)]]);
    }
    return out;
}

// Lanczos colour under the coverage of a kernel that does not ring. Where Lanczos
// left little or no colour (its undershoot beside an edge), the plain kernel's is truer.
void takeCoverage(LinearImage &lanczos, const LinearImage &plain)
{
    for (size_t i = 0; i < lanczos.pixels.size(); i += 4) {
        float *p = lanczos.pixels.data() + i;
        const float *q = plain.pixels.data() + i;
        const float coverage = std::clamp(q[3], 0.0f, 1.0f);
        const float *colour = p[3] > coverage / 2 ? p : q;
        const float scale = colour[3] > 0 ? coverage / colour[3] : 0.0f;
        for (int c = 0; c < 3; ++c)
            p[c] = std::min(colour[c] * scale, coverage);
        p[3] = coverage;
    }
}

// The coverage inside the part shown of an opaque picture is whole: only the
// arithmetic of the weights says otherwise.
void makeOpaque(LinearImage &image)
{
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        float *p = image.pixels.data() + i;
        for (int c = 0; c < 3; ++c)
            p[c] = p[3] > 0 ? std::min(p[c] / p[3], 1.0f) : 0.0f;
        p[3] = 1;
    }
}

LinearImage smooth(const QImage &image, const QRectF &source, QSize size)
{
    LinearImage out = resample(image, source, size);
    // Reduced on both axes, resample() is the area average already and rings nowhere.
    const bool reduced = size.width() <= source.width() && size.height() <= source.height();
    if (!image.hasAlphaChannel())
        makeOpaque(out);
    else if (!reduced)
        takeCoverage(out, resampleWithoutRinging(image, source, size));
    return out;
}

} // namespace

Scaler effectiveScaler(Scaler choice, const QImage &image, const QRectF &source, QSize size)
{
    const double enlargement =
        std::min(size.width() / source.width(), size.height() / source.height());
    if (enlargement < 1 || choice == Scaler::Smooth)
        return Scaler::Smooth;
    if (choice == Scaler::Sharp)
        return Scaler::Sharp;
    return enlargement >= kSharpFromEnlargement
                   && hasAtMostColours(image, touchedPixels(image, source), kSharpUpToColours)
               ? Scaler::Sharp
               : Scaler::Smooth;
}

LinearImage scaled(const QImage &image, const QRectF &source, QSize size, Scaler choice)
{
    if (image.isNull() || size.isEmpty() || source.isEmpty())
        return {};
    if (effectiveScaler(choice, image, source, size) == Scaler::Sharp)
        return nearestNeighbour(image, source, size);
    return smooth(image, source, size);
}

std::optional<Scaler> parseScaler(const QString &text, QString *error)
{
    if (text == QLatin1String("auto"))
        return Scaler::Automatic;
    if (text == QLatin1String("smooth"))
        return Scaler::Smooth;
    if (text == QLatin1String("sharp"))
        return Scaler::Sharp;
    if (error)
        *error = tr("The scaler is smooth, sharp or auto, not \"%1\".").arg(text.left(40));
    return std::nullopt;
}

} // namespace spray

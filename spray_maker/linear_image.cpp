#include "linear_image.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace spray {
namespace {

constexpr double kLanczosLobes = 3;
// Rows converted at a time from an unusual pixel format, to bound memory.
constexpr int kBandRows = 64;

// For each output pixel, the input pixels it takes and their weights (summing to 1).
struct Taps {
    int first = 0;
    std::vector<float> weights;
};

double lanczos(double x)
{
    if (x == 0)
        return 1;
    if (std::abs(x) >= kLanczosLobes)
        return 0;
    const double px = std::numbers::pi * x;
    return kLanczosLobes * std::sin(px) * std::sin(px / kLanczosLobes) / (px * px);
}

// Indices beyond the edge repeat the edge pixel, so edges neither darken nor fade.
Taps clampedTaps(int from, int to, int inSize, const auto &weightOf)
{
    const int first = std::clamp(from, 0, inSize - 1);
    const int last = std::clamp(to, 0, inSize - 1);
    Taps taps{first, std::vector<float>(size_t(last - first + 1), 0.0f)};
    double sum = 0;
    for (int j = from; j <= to; ++j) {
        const double w = weightOf(j);
        taps.weights[size_t(std::clamp(j, 0, inSize - 1) - first)] += float(w);
        sum += w;
    }
    for (float &w : taps.weights)
        w = sum != 0 ? float(w / sum) : 0.0f;
    return taps;
}

std::vector<Taps> areaTaps(double start, double length, int inSize, int outSize)
{
    const double scale = length / outSize;
    std::vector<Taps> all(size_t(outSize), Taps{});
    for (int i = 0; i < outSize; ++i) {
        const double lo = start + i * scale;
        const double hi = lo + scale;
        all[size_t(i)] =
            clampedTaps(int(std::floor(lo)), int(std::ceil(hi)) - 1, inSize, [&](int j) {
                return std::max(0.0, std::min(hi, j + 1.0) - std::max(lo, double(j)));
            });
    }
    return all;
}

std::vector<Taps> lanczosTaps(double start, double length, int inSize, int outSize)
{
    const double scale = length / outSize;
    const double stretch = std::max(scale, 1.0);
    const double support = kLanczosLobes * stretch;
    std::vector<Taps> all(size_t(outSize), Taps{});
    for (int i = 0; i < outSize; ++i) {
        const double centre = start + (i + 0.5) * scale;
        all[size_t(i)] =
            clampedTaps(int(std::floor(centre - support)), int(std::ceil(centre + support)), inSize,
                        [&](int j) { return lanczos((j + 0.5 - centre) / stretch); });
    }
    return all;
}

std::vector<Taps> linearTaps(double start, double length, int inSize, int outSize)
{
    const double scale = length / outSize;
    std::vector<Taps> all(size_t(outSize), Taps{});
    for (int i = 0; i < outSize; ++i) {
        const double at = start + (i + 0.5) * scale - 0.5; // in pixel centres
        const int left = int(std::floor(at));
        const double right = at - left;
        all[size_t(i)] = clampedTaps(left, left + 1, inSize,
                                     [&](int j) { return j == left ? 1 - right : right; });
    }
    return all;
}

using EnlargingTaps = std::vector<Taps> (*)(double start, double length, int inSize, int outSize);

// Along a reduced axis each pixel is the exact average of the area it covers, which
// neither rings beside a hard edge nor lightens a thin dark stroke below its share of
// the pixel (bench/README.md measures it against Lanczos); along an enlarged axis the
// kernel given interpolates.
std::vector<Taps> axisTaps(double start, double length, int inSize, int outSize,
                           EnlargingTaps enlarging)
{
    return length >= outSize ? areaTaps(start, length, inSize, outSize)
                             : enlarging(start, length, inSize, outSize);
}

const std::array<float, 256> &srgbToLinearTable()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int c = 0; c < 256; ++c) {
            const double v = c / 255.0;
            t[size_t(c)] = float(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table;
}

// Straight-alpha 32-bit rows of any QImage, converting a band at a time when needed.
class RowReader {
public:
    explicit RowReader(const QImage &image) : m_image(image)
    {
        const QImage::Format f = image.format();
        m_direct = f == QImage::Format_ARGB32 || f == QImage::Format_RGB32;
    }
    const QRgb *row(int y)
    {
        if (m_direct)
            return reinterpret_cast<const QRgb *>(m_image.constScanLine(y));
        if (m_band.isNull() || y < m_bandTop || y >= m_bandTop + m_band.height()) {
            m_bandTop = y - y % kBandRows;
            const int rows = std::min(kBandRows, m_image.height() - m_bandTop);
            m_band = m_image.copy(0, m_bandTop, m_image.width(), rows)
                         .convertToFormat(QImage::Format_ARGB32);
        }
        return reinterpret_cast<const QRgb *>(m_band.constScanLine(y - m_bandTop));
    }

private:
    const QImage &m_image;
    bool m_direct = false;
    QImage m_band;
    int m_bandTop = 0;
};

void addLinearRow(const QRgb *row, const std::vector<Taps> &xTaps, float weight, float *out)
{
    const auto &toLinear = srgbToLinearTable();
    for (size_t i = 0; i < xTaps.size(); ++i, out += 4) {
        const Taps &t = xTaps[i];
        float r = 0, g = 0, b = 0, a = 0;
        for (size_t k = 0; k < t.weights.size(); ++k) {
            const QRgb p = row[size_t(t.first) + k];
            const float pa = float(qAlpha(p)) / 255.0f * t.weights[k];
            r += toLinear[size_t(qRed(p))] * pa;
            g += toLinear[size_t(qGreen(p))] * pa;
            b += toLinear[size_t(qBlue(p))] * pa;
            a += pa;
        }
        out[0] += r * weight;
        out[1] += g * weight;
        out[2] += b * weight;
        out[3] += a * weight;
    }
}

LinearImage filterImage(const QImage &image, const std::vector<Taps> &xTaps,
                        const std::vector<Taps> &yTaps)
{
    LinearImage out(int(xTaps.size()), int(yTaps.size()));
    RowReader reader(image);
    for (int y = 0; y < out.height; ++y) {
        const Taps &t = yTaps[size_t(y)];
        for (size_t k = 0; k < t.weights.size(); ++k)
            addLinearRow(reader.row(t.first + int(k)), xTaps, t.weights[k], out.at(0, y));
    }
    return out;
}

// Each pixel of a picture in linear light, premultiplied, as the kernels add it up.
void linearPixel(QRgb p, float *out)
{
    const auto &toLinear = srgbToLinearTable();
    const float alpha = float(qAlpha(p)) / 255.0f;
    out[0] = toLinear[size_t(qRed(p))] * alpha;
    out[1] = toLinear[size_t(qGreen(p))] * alpha;
    out[2] = toLinear[size_t(qBlue(p))] * alpha;
    out[3] = alpha;
}

// Lanczos rings beside an edge: past its first lobe, a flat area comes out tinted by
// the other side, band after band (a red field under a blue row turns violet some
// pixels down). Each pixel is held between the darkest and the brightest of the
// picture pixels it lies between (the nearest two along an enlarged axis, those it
// covers along a reduced one): the edge keeps the kernel's sharpness, and a flat area
// comes out as flat as it is.
void holdWithinNeighbours(LinearImage &out, const QImage &image, const std::vector<Taps> &xNear,
                          const std::vector<Taps> &yNear)
{
    RowReader reader(image);
    std::vector<float> low(size_t(out.width) * 4);
    std::vector<float> high(low.size());
    for (int y = 0; y < out.height; ++y) {
        std::fill(low.begin(), low.end(), 1.0f);
        std::fill(high.begin(), high.end(), 0.0f);
        const Taps &rows = yNear[size_t(y)];
        for (size_t j = 0; j < rows.weights.size(); ++j) {
            const QRgb *row = reader.row(rows.first + int(j));
            for (size_t x = 0; x < xNear.size(); ++x) {
                const Taps &columns = xNear[x];
                for (size_t k = 0; k < columns.weights.size(); ++k) {
                    float p[4];
                    linearPixel(row[size_t(columns.first) + k], p);
                    for (size_t c = 0; c < 4; ++c) {
                        low[x * 4 + c] = std::min(low[x * 4 + c], p[c]);
                        high[x * 4 + c] = std::max(high[x * 4 + c], p[c]);
                    }
                }
            }
        }
        float *p = out.at(0, y);
        for (size_t i = 0; i < low.size(); ++i)
            p[i] = std::clamp(p[i], low[i], high[i]);
    }
}

// Lanczos overshoots near hard edges; premultiplied colour may not exceed its alpha.
void clampPremultiplied(LinearImage &image)
{
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        float *p = image.pixels.data() + i;
        p[3] = std::clamp(p[3], 0.0f, 1.0f);
        for (int c = 0; c < 3; ++c)
            p[c] = std::clamp(p[c], 0.0f, p[3]);
    }
}

LinearImage filtered(const QImage &image, const QRectF &source, QSize size, EnlargingTaps enlarging)
{
    if (image.isNull() || size.isEmpty() || source.isEmpty())
        return {};
    return filterImage(
        image, axisTaps(source.x(), source.width(), image.width(), size.width(), enlarging),
        axisTaps(source.y(), source.height(), image.height(), size.height(), enlarging));
}

} // namespace

float linearFromSrgb(int channel)
{
    return srgbToLinearTable()[size_t(std::clamp(channel, 0, 255))];
}

int srgbFromLinear(float value)
{
    const double v = std::clamp(double(value), 0.0, 1.0);
    const double s = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    return int(std::lround(s * 255));
}

LinearImage resample(const QImage &image, const QRectF &source, QSize size)
{
    LinearImage out = filtered(image, source, size, lanczosTaps);
    // Reduced on both axes, every pixel is an area average, which cannot ring.
    if (!out.isEmpty() && (source.width() < size.width() || source.height() < size.height()))
        holdWithinNeighbours(
            out, image,
            axisTaps(source.x(), source.width(), image.width(), size.width(), linearTaps),
            axisTaps(source.y(), source.height(), image.height(), size.height(), linearTaps));
    clampPremultiplied(out);
    return out;
}

LinearImage resampleWithoutRinging(const QImage &image, const QRectF &source, QSize size)
{
    return filtered(image, source, size, linearTaps);
}

LinearImage halve(const LinearImage &image)
{
    LinearImage out(image.width / 2, image.height / 2);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            float *o = out.at(x, y);
            for (int c = 0; c < 4; ++c) {
                o[c] = (image.at(2 * x, 2 * y)[c] + image.at(2 * x + 1, 2 * y)[c]
                        + image.at(2 * x, 2 * y + 1)[c] + image.at(2 * x + 1, 2 * y + 1)[c])
                       / 4;
            }
        }
    }
    return out;
}

void paste(LinearImage &canvas, const LinearImage &image, QPoint topLeft)
{
    const int rows = std::min(image.height, canvas.height - topLeft.y());
    const int columns = std::min(image.width, canvas.width - topLeft.x());
    for (int y = 0; y < rows; ++y)
        std::copy_n(image.at(0, y), size_t(columns) * 4, canvas.at(topLeft.x(), topLeft.y() + y));
}

QImage toQImage(const LinearImage &image)
{
    QImage out(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            const float *p = image.at(x, y);
            const float a = p[3];
            line[x] = a <= 0 ? 0
                             : qRgba(srgbFromLinear(p[0] / a), srgbFromLinear(p[1] / a),
                                     srgbFromLinear(p[2] / a), int(std::lround(a * 255)));
        }
    }
    return out;
}

} // namespace spray

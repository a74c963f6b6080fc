#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>

#include <vector>

// Resampling done where it is right: in linear light, with premultiplied alpha, so
// that neither gamma nor the colour hidden under transparent pixels shifts a colour.
namespace spray {

// Four floats a pixel (red, green, blue, alpha), linear light, colour premultiplied by alpha.
struct LinearImage {
    int width = 0;
    int height = 0;
    std::vector<float> pixels;

    LinearImage() = default;
    LinearImage(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h) * 4, 0.0f) {}
    float *at(int x, int y) { return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * 4; }
    const float *at(int x, int y) const
    {
        return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * 4;
    }
    bool isEmpty() const { return width <= 0 || height <= 0; }
};

// The part source of the image, made size pixels large: along a reduced axis the exact
// area average, along an enlarged one Lanczos-3, each pixel held within the picture
// pixels it lies between so that the kernel does not ring. Memory stays proportional to
// the result, not the image.
LinearImage resample(const QImage &image, const QRectF &source, QSize size);

// The same part at the same size through kernels that never ring: the area average
// where an axis is reduced, linear interpolation where it is enlarged. It tells how
// much of each pixel the picture really covers, where Lanczos over- or undershoots.
LinearImage resampleWithoutRinging(const QImage &image, const QRectF &source, QSize size);

// A half-size copy, each pixel the average of four (a mip level). Odd sides lose their last row or
// column.
LinearImage halve(const LinearImage &image);

// Copies image onto canvas with its top left corner at topLeft (inside the canvas).
void paste(LinearImage &canvas, const LinearImage &image, QPoint topLeft);

// Back to an ordinary sRGB image with straight (not premultiplied) alpha.
QImage toQImage(const LinearImage &image);

float linearFromSrgb(int channel);
int srgbFromLinear(float value);

} // namespace spray

#pragma once

#include "decal_file.h"
#include "linear_image.h"

#include <QRgb>

#include <array>
#include <optional>

namespace spray {

// The three smaller levels drawn from the canvas, each half the size of the one before.
using MipChain = std::array<LinearImage, 3>;
MipChain mipChain(const LinearImage &canvas);

struct PaletteOptions {
    double dither = 0;              // 0 (none) to 1 (full error diffusion)
    int alphaThresholdPercent = 50; // pixels less opaque than this are transparent
    bool quick = false;             // a coarser palette search, for live previews
};

// A colour spray: at most 255 colours chosen by libimagequant, index 255 pure blue and
// every transparent pixel on it; the smaller levels mapped onto the same palette.
std::optional<decal::Decal> quantize(const LinearImage &canvas, const MipChain &mips,
                                     const PaletteOptions &options, QString *error = nullptr);

enum class InkSource { Alpha, Darkness };

// A one-colour logo: entry 255 holds the ink and each pixel's index is its opacity,
// taken from the image's alpha or from how dark it is.
decal::Decal oneColour(const LinearImage &canvas, const MipChain &mips, QRgb ink, InkSource source);

} // namespace spray

#pragma once

#include "canvas_size.h"
#include "decal_file.h"
#include "image_loading.h"
#include "quantize.h"
#include "scaling.h"

#include <QRgb>

#include <optional>

// From a picture to a spray the game accepts: placed on the largest canvas it takes,
// resampled in linear light, reduced to a palette, the smaller levels drawn for real.
namespace spray {

// Chosen by measurement (bench/README.md): at spray sizes, with 255 colours, dithering
// only ever lowered the likeness to an ideal resize, if slightly.
inline constexpr double kDefaultDither = 0;
inline constexpr int kDefaultAlphaThresholdPercent = 50;

enum class InkChoice { Automatic, Alpha, Darkness };

struct SprayOptions {
    SizeChoice size;
    Fit fit = Fit::Fit;
    double dither = kDefaultDither;                            // 0..1
    int alphaThresholdPercent = kDefaultAlphaThresholdPercent; // below it a pixel is transparent
    int frame = 0;                                             // of an animated image, from 0
    std::optional<QRgb> oneColour;                             // set: a one-colour logo in this ink
    Scaler scaler = Scaler::Automatic;                         // how a small picture is enlarged
    // The palette darkened by the inverse of the game's gamma, so that the game shows
    // the picture's own colours.
    bool gameGamma = false;
    // Automatic: the alpha of an image with transparency, otherwise its darkness.
    InkChoice ink = InkChoice::Automatic;
    // A faster, slightly coarser palette, for a preview shown while settings change.
    bool quickPalette = false;
};

// The image as the decoder needs to deliver it for this placement: a few times the
// spray's size, so the resampler has detail to average.
QSize decodeSizeFor(const Placement &placement, QSize imageSize);

// A spray from an already loaded image (options.frame is not looked at).
std::optional<decal::Decal> makeSpray(const LoadedImage &image, const SprayOptions &options,
                                      QString *error = nullptr);

// Reads the file through the picture reader (picture_reader.h), reduced to what the
// spray needs, then makes it.
std::optional<decal::Decal> makeSprayFromFile(const QString &path, const SprayOptions &options,
                                              QString *error = nullptr);

// The file's bytes, checked against everything the game checks; empty with the reason
// in *error when the game would refuse it.
QByteArray sprayFileBytes(const decal::Decal &decal, QString *error = nullptr);

// Writes bytes to path whole or not at all (beside it first, then renamed into place).
bool writeWhole(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// The palette (a one-colour logo's ink) darkened so that the game's gamma brings each
// colour back to what it was, as near as eight bits allow.
void cancelGameGamma(decal::Decal &spray);

// "RRGGBB" or "#RRGGBB".
std::optional<QRgb> parseInk(const QString &text, QString *error = nullptr);

} // namespace spray

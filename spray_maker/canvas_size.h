#pragma once

#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>

// Where an image lands on a spray: the canvas size the game accepts and which part
// of the image fills which part of it.
namespace spray {

inline constexpr int kBlockSide = 16;
// The engine's 20,480-byte file cap holds 56 blocks of 16x16 pixels, all four levels
// included; 48 is the older figure some servers still enforce.
inline constexpr int kLargestBlocks = 56;
inline constexpr int kStrictBlocks = 48;
inline constexpr int kMaxCanvasSide = 256;

enum class SizeRule { Largest, Strict, Exact };
enum class Fit { Fit, Fill, Stretch };

struct SizeChoice {
    SizeRule rule = SizeRule::Largest;
    QSize exact; // used with SizeRule::Exact
};

struct Placement {
    QSize canvas;
    QRectF source; // the part of the image shown, in image pixels
    QRect target;  // where it is drawn, in canvas pixels; the rest stays transparent
};

// Reduces or enlarges the image to the canvas as fit says. An empty result, with the
// reason in *error, for an empty image or an exact size the game would refuse.
std::optional<Placement> place(QSize image, const SizeChoice &size, Fit fit,
                               QString *error = nullptr);

// "largest", "strict" or "WxH".
std::optional<SizeChoice> parseSizeChoice(const QString &text, QString *error = nullptr);
std::optional<Fit> parseFit(const QString &text, QString *error = nullptr);

// The text each of those reads back.
QString sizeChoiceText(const SizeChoice &size);
QString fitText(Fit fit);

} // namespace spray

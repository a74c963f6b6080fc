#pragma once

#include "decal_file.h"

#include <QImage>
#include <QRgb>

// How the game shows a spray: its palette through the game's texture gamma, the
// transparent or faint parts over a plain wall. The window's previews, the list's
// tooltips and tagswap-spray all draw sprays through here, so they agree.
namespace decal {

// A neutral mid-grey, close to the concrete and plaster most sprays land on.
inline constexpr QRgb kWallColour = 0xff808080u;
// The game's default texture gamma: c' = 255 * (c / 255)^0.8 on each channel.
inline constexpr double kGameGamma = 0.8;

struct GameView {
    bool gamma = true;       // false: the palette as stored in the file
    QRgb wall = kWallColour; // what shows through transparent pixels
    bool overWall = true;    // false: keep the transparency as alpha
};

// One palette channel as the game shows it.
int gameChannel(int channel);
// The whole palette as the game shows it (entry 255 too: it is a one-colour logo's ink).
std::array<QRgb, 256> gamePalette(const std::array<QRgb, 256> &palette);

// The spray as the game draws it, at its own size; a null image for a decal whose
// pixels do not fill its size.
QImage renderAsGame(const Decal &decal, const GameView &view = {});

} // namespace decal

#include "game_view.h"

#include <QPainter>

#include <cmath>

namespace decal {

int gameChannel(int channel)
{
    static const std::array<quint8, 256> table = [] {
        std::array<quint8, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[c] = quint8(std::lround(255.0 * std::pow(c / 255.0, kGameGamma)));
        return t;
    }();
    return table[std::clamp(channel, 0, 255)];
}

std::array<QRgb, 256> gamePalette(const std::array<QRgb, 256> &palette)
{
    std::array<QRgb, 256> out{};
    for (size_t i = 0; i < palette.size(); ++i) {
        const QRgb c = palette[i];
        out[i] = qRgb(gameChannel(qRed(c)), gameChannel(qGreen(c)), gameChannel(qBlue(c)));
    }
    return out;
}

QImage renderAsGame(const Decal &decal, const GameView &view)
{
    Decal shown = decal;
    // The colour/one-colour decision is made on the stored palette, before gamma:
    // gamma keeps pure blue pure blue, but a logo's ink must not flip kinds.
    if (view.gamma) {
        const QRgb key = decal.palette[kTransparentIndex];
        shown.palette = gamePalette(decal.palette);
        shown.palette[kTransparentIndex] =
            decal.isColourSpray() ? key : shown.palette[kTransparentIndex];
    }
    QImage image = toImage(shown);
    if (image.isNull() || !view.overWall)
        return image;
    QImage onWall(image.size(), QImage::Format_RGB32);
    onWall.fill(view.wall);
    QPainter painter(&onWall);
    painter.drawImage(0, 0, image);
    painter.end();
    return onWall;
}

} // namespace decal

#pragma once

#include <QRect>

namespace tagswap {

// Window designs are given in twips: 15 to a pixel at 96 dots per inch.
// Qt scales device-independent pixels to other densities itself.
constexpr int twipsToPixels(int twips)
{
    return twips / 15;
}

struct TwipsRect {
    int left, top, width, height;
    QRect toPixels() const
    {
        return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                twipsToPixels(height)};
    }
};

} // namespace tagswap

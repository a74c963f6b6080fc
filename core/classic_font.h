#pragma once

#include <QFont>

namespace tagswap {

// "MS Sans Serif" 8.25 pt, the font of both windows. Where it is missing the
// font matcher is steered to faces of similar width, so captions still fit
// the fixed button sizes.
QFont classicFont(bool bold = false);

} // namespace tagswap

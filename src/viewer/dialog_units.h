#pragma once

#include <QRect>

namespace kestrova::viewer {

// Dialog templates are laid out in dialog units of the "MS Sans Serif" 8 font, whose base
// units are 6 x 13 pixels: a horizontal unit is a quarter of the base width, a vertical
// unit an eighth of the base height.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;

constexpr int DluX(int x) {
    return x * kBaseUnitX / 4;
}
constexpr int DluY(int y) {
    return y * kBaseUnitY / 8;
}
inline QRect DluRect(int x, int y, int w, int h) {
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}

} // namespace kestrova::viewer

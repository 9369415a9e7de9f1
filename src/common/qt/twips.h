// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QWidget>

namespace kestrin {

// Window layouts are given in twips; the screen has 15 twips to the pixel.
constexpr int Px(int twips) { return (twips + 7) / 15; }

inline QRect TwipRect(int left, int top, int width, int height) {
    return {Px(left), Px(top), Px(width), Px(height)};
}

inline void PlaceTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipRect(left, top, width, height));
}

}  // namespace kestrin

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

#include <cmath>

namespace brellan {

// The window's layout is given in twips, 1/1440 inch; the screen's logical
// DPI turns it into pixels (15 twips to the pixel at 96 DPI).
inline constexpr int twipsPerInch = 1440;

inline int twipsToPixels(int twips, int dpi)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / twipsPerInch));
}

// A control's place in its container, in twips.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

// The position and the size are each converted on their own and rounded to
// the nearest pixel, so a control keeps its size wherever it stands.
inline QRect twipsToPixels(const TwipsRect& rect, int dpiX, int dpiY)
{
    return QRect(twipsToPixels(rect.left, dpiX), twipsToPixels(rect.top, dpiY),
                 twipsToPixels(rect.width, dpiX), twipsToPixels(rect.height, dpiY));
}

} // namespace brellan

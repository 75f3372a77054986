#pragma once

#include <QRect>
#include <QWidget>

#include <cmath>

namespace platform {

// Window and control geometry is given in twips: 15 twips to a device-independent pixel.
inline constexpr int kTwipsPerPixel = 15;

inline constexpr int twipsToPixels(int twips)
{
    return (twips + (twips >= 0 ? kTwipsPerPixel / 2 : -kTwipsPerPixel / 2)) / kTwipsPerPixel;
}

inline int twipsToPixels(float twips)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

inline constexpr int pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}

// Left and Top from the container's top-left corner; Width and Height are outer sizes.
inline void placeInTwips(QWidget& widget, int left, int top, int width, int height)
{
    widget.setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                       twipsToPixels(height));
}

inline QRect twipsRect(const QWidget& widget)
{
    const QRect g = widget.geometry();
    return {pixelsToTwips(g.x()), pixelsToTwips(g.y()), pixelsToTwips(g.width()),
            pixelsToTwips(g.height())};
}

}  // namespace platform

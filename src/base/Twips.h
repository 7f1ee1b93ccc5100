#pragma once

#include <cmath>

// Sizes of the window designs are in twips (1/1440 inch). Qt lays out in device-independent
// pixels of 1/96 inch and scales them for high-dpi screens itself, so one pixel is 15 twips.
namespace Twips {

constexpr int perPixel = 15;

inline int toPixels(double twips) {
    return static_cast<int>(std::lround(twips / perPixel));
}
inline double fromPixels(int pixels) {
    return static_cast<double>(pixels) * perPixel;
}

} // namespace Twips

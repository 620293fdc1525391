// The windows' design units: positions in twips (1/1440 inch) and font sizes in points,
// converted to pixels at a window's dots per inch.
#pragma once

#include <cmath>

namespace platform {

/// Twips to pixels at `dpi`: 1440 / dpi twips a pixel (15 at 96 dpi), rounded to the nearest.
inline int Twips(int twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

/// The height of a font of `points` at `dpi`, as the negative character height that Windows
/// takes for an exact point size (10.5 pt at 96 dpi: -14).
inline int FontHeight(double points, int dpi) {
  return -static_cast<int>(std::lround(points * dpi / 72.0));
}

}  // namespace platform

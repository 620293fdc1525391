// The windows' design units: positions in twips (1/1440 inch) and font sizes in points,
// converted to pixels at a window's dots per inch.
#pragma once

#include <cmath>

namespace platform {

/// Twips to pixels at `dpi`. The design was made at 96 dpi, 15 twips a pixel: its twips become
/// those pixels (rounded to the nearest), which are scaled to `dpi`, so that every scaling keeps
/// the proportions of the layout as designed.
inline int Twips(int twips, int dpi) {
  const long designed = std::lround(static_cast<double>(twips) / 15.0);
  return static_cast<int>(std::lround(static_cast<double>(designed) * dpi / 96.0));
}

/// The height of a font of `points` at `dpi`, as the negative character height that Windows
/// takes for an exact point size (10.5 pt at 96 dpi: -14). The design's sizes are whole pixels
/// at 96 dpi; elsewhere the height is rounded down, so that text grows no faster than the
/// controls that were made to hold it (9.75 pt at 144 dpi: -19, not -20).
inline int FontHeight(double points, int dpi) {
  // Quarter points are exact in a double: the division is on whole numbers and rounds down.
  return -static_cast<int>(std::lround(points * 4) * dpi / 288);
}

}  // namespace platform

// What the windows' design units come to on the screen, as literal figures at 96, 120, 144 and
// 192 dpi (100, 125, 150 and 200 %): every twips value the windows' designs use, and every point
// size. The core tests hold the platform's conversions to them, the window tests the windows.
#pragma once

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

namespace support {

inline constexpr std::array<int, 4> kDpis{96, 120, 144, 192};

struct ScaledTwips {
  int twips;
  std::array<int, 4> pixels;  ///< at each of kDpis
};

// clang-format off
inline constexpr ScaledTwips kScaledTwips[] = {
    {-12, {-1, -1, -2, -2}}, {75, {5, 6, 8, 10}}, {90, {6, 8, 9, 12}},
    {120, {8, 10, 12, 16}}, {135, {9, 11, 14, 18}}, {144, {10, 13, 15, 20}},
    {150, {10, 13, 15, 20}}, {165, {11, 14, 17, 22}}, {180, {12, 15, 18, 24}},
    {195, {13, 16, 20, 26}}, {225, {15, 19, 23, 30}}, {240, {16, 20, 24, 32}},
    {255, {17, 21, 26, 34}}, {270, {18, 23, 27, 36}}, {285, {19, 24, 29, 38}},
    {300, {20, 25, 30, 40}}, {315, {21, 26, 32, 42}}, {330, {22, 28, 33, 44}},
    {345, {23, 29, 35, 46}}, {360, {24, 30, 36, 48}}, {375, {25, 31, 38, 50}},
    {390, {26, 33, 39, 52}}, {465, {31, 39, 47, 62}}, {504, {34, 43, 51, 68}},
    {540, {36, 45, 54, 72}}, {570, {38, 48, 57, 76}}, {585, {39, 49, 59, 78}},
    {600, {40, 50, 60, 80}}, {660, {44, 55, 66, 88}}, {675, {45, 56, 68, 90}},
    {750, {50, 63, 75, 100}}, {780, {52, 65, 78, 104}}, {885, {59, 74, 89, 118}},
    {930, {62, 78, 93, 124}}, {945, {63, 79, 95, 126}}, {975, {65, 81, 98, 130}},
    {1095, {73, 91, 110, 146}}, {1125, {75, 94, 113, 150}}, {1140, {76, 95, 114, 152}},
    {1200, {80, 100, 120, 160}}, {1215, {81, 101, 122, 162}}, {1230, {82, 103, 123, 164}},
    {1245, {83, 104, 125, 166}}, {1290, {86, 108, 129, 172}}, {1335, {89, 111, 134, 178}},
    {1410, {94, 118, 141, 188}}, {1500, {100, 125, 150, 200}}, {1515, {101, 126, 152, 202}},
    {1560, {104, 130, 156, 208}}, {1600, {107, 134, 161, 214}}, {1620, {108, 135, 162, 216}},
    {1740, {116, 145, 174, 232}}, {1770, {118, 148, 177, 236}}, {1800, {120, 150, 180, 240}},
    {1860, {124, 155, 186, 248}}, {2000, {133, 166, 200, 266}}, {2085, {139, 174, 209, 278}},
    {2100, {140, 175, 210, 280}}, {2160, {144, 180, 216, 288}}, {2205, {147, 184, 221, 294}},
    {2295, {153, 191, 230, 306}}, {2385, {159, 199, 239, 318}}, {2430, {162, 203, 243, 324}},
    {2775, {185, 231, 278, 370}}, {3090, {206, 258, 309, 412}}, {3195, {213, 266, 320, 426}},
    {3345, {223, 279, 335, 446}}, {3375, {225, 281, 338, 450}}, {3390, {226, 283, 339, 452}},
    {3540, {236, 295, 354, 472}}, {3705, {247, 309, 371, 494}}, {4000, {267, 334, 401, 534}},
    {4290, {286, 358, 429, 572}}, {4320, {288, 360, 432, 576}}, {4605, {307, 384, 461, 614}},
    {4695, {313, 391, 470, 626}}, {4830, {322, 403, 483, 644}}, {5310, {354, 443, 531, 708}},
    {5640, {376, 470, 564, 752}}, {5670, {378, 473, 567, 756}}, {5745, {383, 479, 575, 766}},
    {5985, {399, 499, 599, 798}}, {6045, {403, 504, 605, 806}}, {6060, {404, 505, 606, 808}},
    {6135, {409, 511, 614, 818}}, {6345, {423, 529, 635, 846}}, {7560, {504, 630, 756, 1008}},
    {8070, {538, 673, 807, 1076}}, {8385, {559, 699, 839, 1118}},
};

struct ScaledFont {
  double points;
  std::array<int, 4> height;  ///< the negative character height at each of kDpis
};

inline constexpr ScaledFont kScaledFonts[] = {
    {8.25, {-11, -13, -16, -22}}, {9.0, {-12, -15, -18, -24}}, {9.75, {-13, -16, -19, -26}},
    {10.5, {-14, -17, -21, -28}}, {12.0, {-16, -20, -24, -32}},
};
// clang-format on

/// The figure for `twips` at `dpi`, where the tables have one.
inline std::optional<int> PixelsOf(int twips, int dpi) {
  const auto dpiAt = std::find(kDpis.begin(), kDpis.end(), dpi);
  const auto row = std::find_if(std::begin(kScaledTwips), std::end(kScaledTwips),
                                [&](const ScaledTwips& r) { return r.twips == twips; });
  if (dpiAt == kDpis.end() || row == std::end(kScaledTwips)) return std::nullopt;
  return row->pixels[static_cast<std::size_t>(dpiAt - kDpis.begin())];
}

inline std::optional<int> FontHeightOf(double points, int dpi) {
  const auto dpiAt = std::find(kDpis.begin(), kDpis.end(), dpi);
  const auto row = std::find_if(std::begin(kScaledFonts), std::end(kScaledFonts),
                                [&](const ScaledFont& r) { return r.points == points; });
  if (dpiAt == kDpis.end() || row == std::end(kScaledFonts)) return std::nullopt;
  return row->height[static_cast<std::size_t>(dpiAt - kDpis.begin())];
}

}  // namespace support

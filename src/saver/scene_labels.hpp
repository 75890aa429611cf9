// The scene window's four text labels: their design (font, colour, place in twips) and
// their state at run time (caption, place and size in pixels).
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>

#include "common/types.hpp"
#include "saver/saver_platform.hpp"

namespace zimoklas::saver {

// Labels by number; `Label1` is the date and time line.
enum class LabelId : std::uint8_t { Label1 = 0, Label2 = 1, Label3 = 2, Label4 = 3 };
inline constexpr std::size_t kLabelCount = 4;

struct LabelDesign {
  LabelId id;
  std::string_view caption;
  Colour colour;
  float leftTwips;
  float topTwips;
  FontDesign font;
};

inline constexpr std::string_view kNoticeText =
    "\u00A9 2007 Ombra Software           www.ombra.example";

// In the order the labels are created; a later label lies above an earlier one.
inline constexpr std::array<LabelDesign, kLabelCount> kLabelDesigns = {{
    {LabelId::Label2,
     "P.F.",
     MakeColour(0, 0, 255),
     360,
     1320,
     {"Arial", 150, true, Charset::Western}},
    {LabelId::Label1,
     "Datum a \u010Das",
     MakeColour(255, 255, 255),
     360,
     120,
     {"MS Sans Serif", 24, true, Charset::CentralEuropean}},
    {LabelId::Label3,
     "Vesel\u00E9 v\u00E1noce a \u0161\u0165astn\u00FD nov\u00FD rok...",
     MakeColour(0, 0, 255),
     360,
     1080,
     {"Arial", 24, true, Charset::CentralEuropean}},
    {LabelId::Label4,
     kNoticeText,
     MakeColour(192, 0, 0),
     0,
     7680,
     {"MS Sans Serif", 8, false, Charset::Western}},
}};

struct SceneLabel {
  const LabelDesign* design = nullptr;
  std::string caption;
  float left = 0;  // pixels, single precision as the layout computes them
  float top = 0;
  float width = 0;
  float height = 0;
  RectF Bounds() const { return {left, top, width, height}; }
};

// Twips to pixels at a given DPI.
constexpr float TwipsToPixels(float twips, float dpi) {
  return twips * dpi / 1440.0f;
}

// The scene window's client size as designed, before the first layout stretches it over
// the screen.
inline constexpr float kDesignClientWidthTwips = 9480;
inline constexpr float kDesignClientHeightTwips = 8730;

// That size in whole pixels at `dpi`, as a window is created.
struct WholePixelSize {
  int width = 0;
  int height = 0;
};
inline WholePixelSize DesignClientPixels(float dpi) {
  return {static_cast<int>(std::lround(TwipsToPixels(kDesignClientWidthTwips, dpi))),
          static_cast<int>(std::lround(TwipsToPixels(kDesignClientHeightTwips, dpi)))};
}

}  // namespace zimoklas::saver

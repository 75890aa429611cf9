// The settings window's look in GTK: fonts for the design's fonts, and the style sheet
// that keeps every control inside its design box at the screen's DPI.
#pragma once

#include <pango/pango.h>

#include <string>

#include "common/geometry.hpp"

namespace zimoklas::gtk {

// The installed face that stands in for a design face, with its size and weight.
// The caller frees it with pango_font_description_free.
PangoFontDescription* FontFor(const FontDesign& design);

// The style sheet for the window's controls at `dpi`.
std::string SettingsCss(float dpi);

}  // namespace zimoklas::gtk

// Fonts and the style sheet of the settings window.
#include "platform/gtk/gtk_settings_style.hpp"

#include <cstdio>

#include "common/types.hpp"
#include "platform/pango/pango_fonts.hpp"

namespace zimoklas::gtk {
namespace {

// Pixels at `dpi` for a size given in pixels at 96 DPI, as the controls' boxes scale.
int Scaled(int pixelsAt96, float dpi) {
  return RoundToInt32(static_cast<double>(pixelsAt96) * dpi / 96.0);
}

}  // namespace

PangoFontDescription* FontFor(const FontDesign& design) {
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, pango::FamilyFor(design.face));
  pango_font_description_set_size(font, static_cast<int>(design.points * PANGO_SCALE));
  pango_font_description_set_weight(font, design.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  return font;
}

std::string SettingsCss(float dpi) {
  // Sizes at 96 DPI: a colour bar is 17 pixels high with square arrow buttons and
  // thumb, a text box 19, a button 25, the check box 13; the theme's paddings and
  // minimum sizes would make each of them taller than its box.
  const int bar = Scaled(17, dpi);
  // The check box's square, border included, sits on the caption's baseline and must
  // not make the line taller than the caption.
  const int check = Scaled(9, dpi) - 2;
  const int gap = Scaled(4, dpi);
  const int pad = Scaled(3, dpi);
  char css[2048];
  std::snprintf(css, sizeof(css),
                R"(
window.zimoklas-settings viewport, window.zimoklas-settings scrolledwindow {
  border: none; background: none; }
window.zimoklas-settings button {
  min-height: 0; min-width: 0; padding: 0 %dpx; }
window.zimoklas-settings entry {
  min-height: 0; min-width: 0; padding: 0 %dpx; }
window.zimoklas-settings checkbutton { min-height: 0; padding: 0; border: none; }
window.zimoklas-settings checkbutton label { margin: 0; padding: 0; }
window.zimoklas-settings checkbutton check {
  min-width: %dpx; min-height: %dpx; margin: 0 %dpx 0 0; padding: 0; }
window.zimoklas-settings scrollbar {
  -GtkScrollbar-has-backward-stepper: true; -GtkScrollbar-has-forward-stepper: true;
  padding: 0; border: none; background-color: mix(@theme_bg_color, @theme_base_color, 0.5); }
window.zimoklas-settings scrollbar contents, window.zimoklas-settings scrollbar trough {
  min-height: 0; min-width: 0; margin: 0; padding: 0; border: none; background: none; }
window.zimoklas-settings scrollbar slider,
window.zimoklas-settings scrollbar button {
  min-width: %dpx; min-height: %dpx; margin: 0; padding: 0; border-radius: 0;
  border: 1px solid @borders; background-color: @theme_bg_color; background-image: none;
  color: @theme_fg_color; box-shadow: none; }
window.zimoklas-settings scrollbar:focus slider { border-color: @theme_selected_bg_color; }
window.zimoklas-settings frame > border { border-radius: 0; }
window.zimoklas-settings frame > label { margin: 0 %dpx; }
)",
                pad, pad, check, check, gap, bar - 2, bar - 2, pad);
  // The window's own font is the old dialog face at 8 points.
  return std::string("window.zimoklas-settings * { font-family: \"") +
         pango::FamilyFor("MS Sans Serif") + "\"; font-size: 8pt; }" + css;
}

}  // namespace zimoklas::gtk

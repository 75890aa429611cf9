// Drawing the settings window's labels, shapes and rule in GTK.
#include "platform/gtk/gtk_settings_paint.hpp"

#include <algorithm>
#include <cmath>

#include "platform/gtk/gtk_settings_style.hpp"

namespace zimoklas::gtk {

void SetLabelLook(GtkLabel* label, std::optional<Colour> colour, const FontDesign* font) {
  PangoAttrList* attributes = pango_attr_list_new();
  if (colour) {
    const auto channel = [](unsigned byte) { return static_cast<guint16>(byte * 257U); };
    pango_attr_list_insert(
        attributes, pango_attr_foreground_new(channel(RedOf(*colour)), channel(GreenOf(*colour)),
                                              channel(BlueOf(*colour))));
  }
  if (font != nullptr) {
    PangoFontDescription* description = FontFor(*font);
    pango_attr_list_insert(attributes, pango_attr_font_desc_new(description));
    pango_font_description_free(description);
  }
  gtk_label_set_attributes(label, attributes);
  pango_attr_list_unref(attributes);
  // Each glyph keeps its true advance rather than whole pixels, so that a line of many
  // blanks grows with the DPI as its design box does.
  pango_context_set_round_glyph_positions(gtk_widget_get_pango_context(GTK_WIDGET(label)), FALSE);
}

namespace {

void SetSourceColour(cairo_t* cr, Colour colour) {
  cairo_set_source_rgb(cr, RedOf(colour) / 255.0, GreenOf(colour) / 255.0, BlueOf(colour) / 255.0);
}

// The outline colour of the shapes and the rule: the theme's text colour.
void SetOutlineColour(GtkWidget* widget, cairo_t* cr) {
  GdkRGBA colour{};
  GtkStyleContext* style = gtk_widget_get_style_context(widget);
  gtk_style_context_get_color(style, gtk_style_context_get_state(style), &colour);
  gdk_cairo_set_source_rgba(cr, &colour);
}

}  // namespace

void DrawShape(GtkWidget* area, cairo_t* cr, const dialog::ControlDesign& design, Colour fill) {
  const double width = gtk_widget_get_allocated_width(area);
  const double height = gtk_widget_get_allocated_height(area);
  if (design.kind == dialog::ControlKind::Line) {
    SetOutlineColour(area, cr);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
    return;
  }
  cairo_set_line_width(cr, 1);
  if (design.shape == dialog::ShapeKind::RoundedRectangle) {
    // The swatch: an opaque fill in the snow colour inside a one-pixel outline.
    const double radius = std::min(width, height) / 8;
    const double x0 = 0.5, y0 = 0.5, x1 = width - 0.5, y1 = height - 0.5;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x1 - radius, y0 + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x1 - radius, y1 - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x0 + radius, y1 - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x0 + radius, y0 + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
    SetSourceColour(cr, fill);
    cairo_fill_preserve(cr);
    SetOutlineColour(area, cr);
    cairo_stroke(cr);
    return;
  }
  // A circle as wide as the shape's smaller side, centred in it, outline only.
  const double side = std::min(width, height);
  SetOutlineColour(area, cr);
  cairo_arc(cr, width / 2, height / 2, side / 2 - 0.5, 0, 2 * M_PI);
  cairo_stroke(cr);
  return;
}

}  // namespace zimoklas::gtk

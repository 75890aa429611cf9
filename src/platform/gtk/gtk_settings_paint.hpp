// The settings window's drawn parts in GTK: label colours and fonts, and the swatch,
// circles and rule painted with cairo.
#pragma once

#include <gtk/gtk.h>

#include <optional>

#include "common/geometry.hpp"
#include "common/types.hpp"
#include "dialog/form2_design.hpp"

namespace zimoklas::gtk {

// Shows the label's text in `colour` and in `font`, each when one is given.
void SetLabelLook(GtkLabel* label, std::optional<Colour> colour, const FontDesign* font);

// Paints a shape or the rule over the drawing area's whole allocation; the swatch's
// opaque fill is `fill`.
void DrawShape(GtkWidget* area, cairo_t* cr, const dialog::ControlDesign& design, Colour fill);

}  // namespace zimoklas::gtk

// The user's actions on a GTK scroll bar as the core's scroll actions: GTK reports a
// scroll type and the value it proposes, and the core decides where the bar goes.
#pragma once

#include <gtk/gtk.h>

#include <optional>

#include "dialog/dialog_platform.hpp"

namespace zimoklas::gtk {

// A scroll GTK proposes, from the bar at `current` to `target`: arrows and steps by a
// line, track clicks by a page, the ends, and the thumb, which tracks while a mouse
// button holds it (`held`) and is put there at once otherwise. None when nothing moves.
std::optional<dialog::ScrollAction> ActionOfScroll(GtkScrollType scroll, int current, int target,
                                                   bool held);

// The key of a focused bar; none for keys a bar does not take.
std::optional<dialog::ScrollAction> ActionOfKey(guint keyval);

}  // namespace zimoklas::gtk

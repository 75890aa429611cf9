// A text box that shows a letter under thousands of marks at once. GTK's text box shapes
// a cluster whole, which takes seconds for a long one; here every mark (or other
// attaching character) beyond the first part of an over-long cluster is given an empty
// shape of its own, which GTK lays out without the shaper. The text itself stays whole:
// it is saved as it was loaded or typed.
#pragma once

#include <gtk/gtk.h>

namespace zimoklas::gtk {

// Keeps the entry's shapes up to date with its text from before each change to it, so
// that no layout of the new text shapes an over-long cluster even once. Call before the
// entry is given its text.
void ShapeClustersOf(GtkEntry* entry);

}  // namespace zimoklas::gtk

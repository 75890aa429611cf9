// The frame the settings window asks of the window manager: a fixed tool window with a
// title bar carrying only the close box, kept out of the taskbar and the pager.
#pragma once

#include <gtk/gtk.h>

namespace zimoklas::gtk {

// Makes `window` such a tool window; call before it is realised.
void MakeToolWindow(GtkWindow* window);

}  // namespace zimoklas::gtk

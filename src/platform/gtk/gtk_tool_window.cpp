// A tool window's frame, asked for in every way window managers read: the window type,
// and the Motif hints for those that ignore the type.
#include "platform/gtk/gtk_tool_window.hpp"

// Xlib's macros (None, Status, ...) clash with names of the core: included last.
#include <gdk/gdkx.h>

namespace zimoklas::gtk {
namespace {

// A tool window is a utility window. Openbox, though, offers minimise to every window
// but menus and toolbars and does not let the Motif hints take it away; there the window
// is a toolbar, which Openbox otherwise treats as it treats a utility window.
GdkWindowTypeHint ToolWindowType(GdkScreen* screen) {
  if (GDK_IS_X11_SCREEN(screen) &&
      g_strcmp0(gdk_x11_screen_get_window_manager_name(screen), "Openbox") == 0) {
    return GDK_WINDOW_TYPE_HINT_TOOLBAR;
  }
  return GDK_WINDOW_TYPE_HINT_UTILITY;
}

// The Motif hints leave the user a title, moving and the close box, and no minimise (the
// window has no taskbar entry to come back from), maximise or resize.
void AskForCloseOnly(GtkWidget* window, gpointer) {
  GdkWindow* frame = gtk_widget_get_window(window);
  gdk_window_set_functions(frame, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_CLOSE));
  gdk_window_set_decorations(
      frame, static_cast<GdkWMDecoration>(GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU));
}

}  // namespace

void MakeToolWindow(GtkWindow* window) {
  gtk_window_set_resizable(window, FALSE);
  gtk_window_set_type_hint(window, ToolWindowType(gtk_widget_get_screen(GTK_WIDGET(window))));
  gtk_window_set_skip_taskbar_hint(window, TRUE);
  gtk_window_set_skip_pager_hint(window, TRUE);
  g_signal_connect(window, "realize", G_CALLBACK(&AskForCloseOnly), nullptr);
}

}  // namespace zimoklas::gtk

// What GTK's scroll-bar signals and keys mean as the core's scroll actions.
#include "platform/gtk/gtk_settings_input.hpp"

namespace zimoklas::gtk {

using dialog::ScrollAction;

std::optional<ScrollAction> ActionOfScroll(GtkScrollType scroll, int current, int target,
                                           bool held) {
  const bool forward = target > current;
  std::optional<ScrollAction> action;
  switch (scroll) {
    case GTK_SCROLL_STEP_BACKWARD:
    case GTK_SCROLL_STEP_FORWARD:
    case GTK_SCROLL_STEP_LEFT:
    case GTK_SCROLL_STEP_RIGHT:
    case GTK_SCROLL_STEP_UP:
    case GTK_SCROLL_STEP_DOWN:
      if (target != current) action = forward ? ScrollAction::LineRight : ScrollAction::LineLeft;
      break;
    case GTK_SCROLL_PAGE_BACKWARD:
    case GTK_SCROLL_PAGE_FORWARD:
    case GTK_SCROLL_PAGE_LEFT:
    case GTK_SCROLL_PAGE_RIGHT:
    case GTK_SCROLL_PAGE_UP:
    case GTK_SCROLL_PAGE_DOWN:
      if (target != current) action = forward ? ScrollAction::PageRight : ScrollAction::PageLeft;
      break;
    case GTK_SCROLL_START:
      action = ScrollAction::ToLeft;
      break;
    case GTK_SCROLL_END:
      action = ScrollAction::ToRight;
      break;
    case GTK_SCROLL_JUMP:
      // The thumb moves while a button holds it; any other jump puts the bar there at once.
      action = held ? ScrollAction::ThumbTrack : ScrollAction::ThumbRelease;
      break;
    case GTK_SCROLL_NONE:
      break;
  }
  return action;
}

std::optional<ScrollAction> ActionOfKey(guint keyval) {
  // The keys of a focused scroll bar: arrows by a line, Page Up and Down by a page, Home
  // and End to the ends.
  switch (keyval) {
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      return ScrollAction::LineLeft;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      return ScrollAction::LineRight;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
      return ScrollAction::PageLeft;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
      return ScrollAction::PageRight;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
      return ScrollAction::ToLeft;
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
      return ScrollAction::ToRight;
    default:
      return std::nullopt;
  }
}

}  // namespace zimoklas::gtk

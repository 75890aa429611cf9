// The arrow buttons of a GTK colour bar: a click steps the bar by one line and a held
// arrow repeats, as a scroll bar's arrows do. GTK 3.24 would animate the press into a run
// of fractional jumps, which a bar of whole numbers never follows.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <optional>

#include "dialog/dialog_platform.hpp"

namespace zimoklas::gtk {

// The arrow at `x` across a bar `width` wide whose square arrow buttons are `height`
// wide: the left one steps back a line, the right one forward; none between them.
std::optional<dialog::ScrollAction> ArrowAt(double x, int width, int height);

class ScrollArrows {
 public:
  // Takes the arrow presses of `bar` before its other handlers; `step` gets a line
  // step at the press and at each repeat.
  ScrollArrows(GtkWidget* bar, std::function<void(dialog::ScrollAction)> step);
  ScrollArrows(const ScrollArrows&) = delete;
  ScrollArrows& operator=(const ScrollArrows&) = delete;
  ~ScrollArrows();

 private:
  static gboolean OnPress(GtkWidget* bar, GdkEventButton* event, gpointer self);
  static gboolean OnRelease(GtkWidget* bar, GdkEventButton* event, gpointer self);
  static gboolean OnMotion(GtkWidget* bar, GdkEventMotion* event, gpointer self);
  static gboolean OnRepeat(gpointer self);
  void Stop();
  void Arm(guint milliseconds);

  GtkWidget* bar_;
  std::function<void(dialog::ScrollAction)> step_;
  std::optional<dialog::ScrollAction> held_;  // the arrow the button went down on
  bool over_ = false;                         // the pointer is over that arrow
  guint timer_ = 0;
};

}  // namespace zimoklas::gtk

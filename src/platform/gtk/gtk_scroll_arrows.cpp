// Arrow clicks and their repeat on the GTK colour bars.
#include "platform/gtk/gtk_scroll_arrows.hpp"

#include <utility>

namespace zimoklas::gtk {
namespace {

using dialog::ScrollAction;

// A held arrow first repeats after this, then at the second pace, as Windows' scroll
// bars do.
constexpr guint kFirstRepeatMs = 200;
constexpr guint kRepeatMs = 50;

}  // namespace

std::optional<ScrollAction> ArrowAt(double x, int width, int height) {
  if (x >= 0 && x < height) return ScrollAction::LineLeft;
  if (x >= width - height && x < width) return ScrollAction::LineRight;
  return std::nullopt;
}

ScrollArrows::ScrollArrows(GtkWidget* bar, std::function<void(ScrollAction)> step)
    : bar_(bar), step_(std::move(step)) {
  g_signal_connect(bar, "button-press-event", G_CALLBACK(&OnPress), this);
  g_signal_connect(bar, "button-release-event", G_CALLBACK(&OnRelease), this);
  g_signal_connect(bar, "motion-notify-event", G_CALLBACK(&OnMotion), this);
}

ScrollArrows::~ScrollArrows() {
  Stop();
}

gboolean ScrollArrows::OnPress(GtkWidget* bar, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<ScrollArrows*>(data);
  if (event->button != GDK_BUTTON_PRIMARY) return FALSE;
  const std::optional<ScrollAction> arrow =
      ArrowAt(event->x, gtk_widget_get_allocated_width(bar), gtk_widget_get_allocated_height(bar));
  if (!arrow) return FALSE;
  // The second and third press of a quick double click come as presses of their own too.
  if (event->type != GDK_BUTTON_PRESS) return TRUE;
  gtk_widget_grab_focus(bar);
  self->Stop();
  self->held_ = arrow;
  self->over_ = true;
  self->step_(*arrow);
  self->Arm(kFirstRepeatMs);
  return TRUE;
}

gboolean ScrollArrows::OnRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<ScrollArrows*>(data);
  if (event->button != GDK_BUTTON_PRIMARY || !self->held_) return FALSE;
  self->Stop();
  return TRUE;
}

gboolean ScrollArrows::OnMotion(GtkWidget* bar, GdkEventMotion* event, gpointer data) {
  auto* self = static_cast<ScrollArrows*>(data);
  if (!self->held_) return FALSE;
  // Moved off the arrow, the repeat pauses; back on it, it goes on.
  const int height = gtk_widget_get_allocated_height(bar);
  self->over_ = event->y >= 0 && event->y < height &&
                ArrowAt(event->x, gtk_widget_get_allocated_width(bar), height) == self->held_;
  return TRUE;
}

gboolean ScrollArrows::OnRepeat(gpointer data) {
  auto* self = static_cast<ScrollArrows*>(data);
  self->timer_ = 0;
  if (!self->held_) return G_SOURCE_REMOVE;
  if (self->over_) self->step_(*self->held_);
  // The step may have ended the program, which stops the repeat with it.
  if (self->held_) self->Arm(kRepeatMs);
  return G_SOURCE_REMOVE;
}

void ScrollArrows::Arm(guint milliseconds) {
  timer_ = g_timeout_add(milliseconds, &OnRepeat, this);
}

void ScrollArrows::Stop() {
  held_.reset();
  if (timer_ != 0) g_source_remove(timer_);
  timer_ = 0;
}

}  // namespace zimoklas::gtk

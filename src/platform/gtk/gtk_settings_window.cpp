// The settings window Form2 in GTK 3 at run time: it forwards the user's actions to the
// core's Form2 and shows each control's new state; gtk_settings_build.cpp makes its
// widgets.
#include "platform/gtk/gtk_settings_window.hpp"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <pthread.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gtk/gtk_settings_form.hpp"
#include "platform/gtk/gtk_settings_input.hpp"
#include "platform/gtk/gtk_settings_paint.hpp"
#include "platform/gtk/gtk_settings_style.hpp"
#include "settings/settings.hpp"

// Xlib's macros (None, Status, ...) clash with names of the core: included last.
#include <gdk/gdkx.h>

#include "platform/x11/x11_display.hpp"

// The pictures compiled in by glib-compile-resources.
extern "C" void zimoklas_gtk_register_resource(void);

namespace zimoklas::gtk {
namespace {

using dialog::Form2Control;
using dialog::ScrollAction;
using dialog::ScrollBarId;

// What the shell's ShellExecuteA answers: above 32 it took the request.
constexpr std::intptr_t kOpened = 42;
constexpr std::intptr_t kNoAssociation = 31;

}  // namespace

SettingsWindow::~SettingsWindow() {
  for (guint source : signalSources_) {
    if (source != 0) g_source_remove(source);
  }
  if (window_ != nullptr) gtk_widget_destroy(window_);
  if (down_ != nullptr) g_object_unref(down_);
  if (up_ != nullptr) g_object_unref(up_);
}

int SettingsWindow::Run() {
  // GDK reports a lost display in several lines; the program's own handler, installed
  // with its first connection, says it in one and ends with status 1.
  const XIOErrorHandler lostDisplay = XSetIOErrorHandler(nullptr);
  XSetIOErrorHandler(lostDisplay);
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fputs("zimoklas: cannot open the X display for the settings window\n", stderr);
    return 1;
  }
  XSetIOErrorHandler(lostDisplay);

  GdkDisplay* display = gdk_display_get_default();
  if (GDK_IS_X11_DISPLAY(display)) dpi_ = x11::ScreenDpi(GDK_DISPLAY_XDISPLAY(display));
  // A click in a bar's track pages, as on Windows, instead of jumping there.
  g_object_set(gtk_settings_get_default(), "gtk-primary-button-warps-slider", FALSE, nullptr);

  GtkCssProvider* css = gtk_css_provider_new();
  const std::string sheet = SettingsCss(dpi_);
  gtk_css_provider_load_from_data(css, sheet.c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);

  zimoklas_gtk_register_resource();
  Create();
  form_.Form_Load();
  if (ended_) return 0;
  gtk_widget_show_all(window_);
  if (g_getenv("ZIMOKLAS_SETTINGS_LAYOUT") != nullptr) {
    g_signal_connect_after(window_, "draw", G_CALLBACK(&OnFirstDraw), this);
  }
  // The first control in the tab order that takes the focus.
  if (firstFocus_ != nullptr) gtk_widget_grab_focus(firstFocus_);

  // The system's requests to end the program close the window, as the close box does.
  const std::array<int, 3> signals{SIGTERM, SIGINT, SIGHUP};
  signalSources_ = {g_unix_signal_add(SIGTERM, &OnSignal<SIGTERM>, this),
                    g_unix_signal_add(SIGINT, &OnSignal<SIGINT>, this),
                    g_unix_signal_add(SIGHUP, &OnSignal<SIGHUP>, this)};
  sigset_t blocked;
  sigemptyset(&blocked);
  for (const int signal : signals) sigaddset(&blocked, signal);
  // The scene's loop takes them from a descriptor and blocks them for that; GLib needs
  // them delivered.
  pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
  gtk_main();
  return 0;
}

ScrollBarId SettingsWindow::BarOf(GtkWidget* widget) const {
  for (std::size_t i = 0; i < bars_.size(); ++i) {
    if (bars_[i] == widget) return static_cast<ScrollBarId>(i);
  }
  return ScrollBarId::HScroll1;
}

gboolean SettingsWindow::OnChangeValue(GtkRange* range, GtkScrollType scroll, gdouble value,
                                       gpointer data) {
  auto* self = static_cast<SettingsWindow*>(data);
  const ScrollBarId bar = self->BarOf(GTK_WIDGET(range));
  const int target = static_cast<int>(std::lround(value));
  if (const std::optional<ScrollAction> action =
          ActionOfScroll(scroll, self->form_.scrollBar(bar).Value, target,
                         self->held_[static_cast<std::size_t>(bar)])) {
    self->form_.UserScrolled(bar, *action, target);
  }
  // The bar shows the core's position, set when the core says it changed.
  return TRUE;
}

gboolean SettingsWindow::OnBarKey(GtkWidget* bar, GdkEventKey* event, gpointer data) {
  const std::optional<ScrollAction> action = ActionOfKey(event->keyval);
  if (!action) return FALSE;
  auto* self = static_cast<SettingsWindow*>(data);
  self->form_.UserScrolled(self->BarOf(bar), *action);
  return TRUE;
}

gboolean SettingsWindow::OnBarPress(GtkWidget* bar, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<SettingsWindow*>(data);
  if (event->type == GDK_BUTTON_PRESS)
    self->held_[static_cast<std::size_t>(self->BarOf(bar))] = true;
  return FALSE;
}

gboolean SettingsWindow::OnBarRelease(GtkWidget* bar, GdkEventButton*, gpointer data) {
  auto* self = static_cast<SettingsWindow*>(data);
  const ScrollBarId id = self->BarOf(bar);
  std::size_t index = static_cast<std::size_t>(id);
  if (self->held_[index]) {
    self->held_[index] = false;
    // Letting go of the thumb: the change handler runs if the drag moved the bar.
    self->form_.UserScrolled(id, ScrollAction::ThumbRelease, self->form_.scrollBar(id).Value);
  }
  return FALSE;
}

gboolean SettingsWindow::OnClickRelease(GtkWidget* box, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<SettingsWindow*>(data);
  if (event->button != GDK_BUTTON_PRIMARY) return FALSE;
  // A click is a press and a release over the same part.
  const int width = gtk_widget_get_allocated_width(box);
  const int height = gtk_widget_get_allocated_height(box);
  if (event->x < 0 || event->y < 0 || event->x >= width || event->y >= height) return FALSE;
  if (box == self->image1Box_) self->form_.Image1_Click();
  if (box == self->link_) self->form_.Label7_Click();
  return TRUE;
}

gboolean SettingsWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  // The close box: the window goes through the core's unload, which ends the program.
  static_cast<SettingsWindow*>(data)->form_.Unload();
  return TRUE;
}

template <int Signal>
gboolean SettingsWindow::OnSignal(gpointer data) {
  auto* self = static_cast<SettingsWindow*>(data);
  if (self->endingSignal_ == 0) self->endingSignal_ = Signal;
  self->form_.Unload();
  return G_SOURCE_CONTINUE;
}

gboolean SettingsWindow::OnKey(GtkWidget*, GdkEventKey* event, gpointer data) {
  auto* self = static_cast<SettingsWindow*>(data);
  switch (event->keyval) {
    case GDK_KEY_Escape:
      // Esc presses the cancel button, wherever the focus is.
      if (self->cancelButton_ == nullptr) return FALSE;
      gtk_button_clicked(GTK_BUTTON(self->cancelButton_));
      return TRUE;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: {
      // Enter presses a push button that has the focus, and the default button
      // everywhere else (the check box and the bars included).
      GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(self->window_));
      const bool onButton =
          focus != nullptr && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus);
      if (onButton || self->defaultButton_ == nullptr) return FALSE;
      gtk_button_clicked(GTK_BUTTON(self->defaultButton_));
      return TRUE;
    }
    default:
      return FALSE;
  }
}

void SettingsWindow::ControlChanged(Form2Control control) {
  if (window_ == nullptr || ended_) return;
  // Setting a GTK control's state raises no handler of Form2: the bars report only the
  // user's actions, and the entries' and check box's own notices are ignored meanwhile.
  mirroring_ = true;
  switch (control) {
    case Form2Control::HScroll1:
    case Form2Control::HScroll2:
    case Form2Control::HScroll3: {
      const auto bar =
          static_cast<std::size_t>(control) - static_cast<std::size_t>(Form2Control::HScroll1);
      gtk_range_set_value(GTK_RANGE(bars_[bar]),
                          form_.scrollBar(static_cast<ScrollBarId>(bar)).Value);
      break;
    }
    case Form2Control::Label1:
    case Form2Control::Label2:
    case Form2Control::Label3: {
      const auto index =
          static_cast<std::size_t>(control) - static_cast<std::size_t>(Form2Control::Label1);
      const std::array labels{&form_.Label1(), &form_.Label2(), &form_.Label3()};
      gtk_label_set_text(GTK_LABEL(valueLabels_[index]), labels[index]->Caption.c_str());
      SetLabelLook(GTK_LABEL(valueLabels_[index]), labels[index]->ForeColor, &dialog::kDefaultFont);
      break;
    }
    case Form2Control::Shape1:
      gtk_widget_queue_draw(swatch_);
      break;
    case Form2Control::Image1:
      ShowPicture();
      break;
    case Form2Control::Text1:
      if (form_.Text1().Text != gtk_entry_get_text(GTK_ENTRY(text1_))) {
        gtk_entry_set_text(GTK_ENTRY(text1_), form_.Text1().Text.c_str());
      }
      break;
    case Form2Control::Text2:
      if (form_.Text2().Text != gtk_entry_get_text(GTK_ENTRY(text2_))) {
        gtk_entry_set_text(GTK_ENTRY(text2_), form_.Text2().Text.c_str());
      }
      gtk_widget_set_sensitive(text2_, form_.Text2().Enabled ? TRUE : FALSE);
      break;
    case Form2Control::Check1:
      gtk_button_set_label(GTK_BUTTON(check1_), form_.Check1Caption().c_str());
      SetLabelLook(GTK_LABEL(gtk_bin_get_child(GTK_BIN(check1_))),
                   dialog::FindDesign("Check1")->foreColour.value_or(0), nullptr);
      gtk_toggle_button_set_inconsistent(GTK_TOGGLE_BUTTON(check1_),
                                         form_.Check1Value() == settings::kGrayed ? TRUE : FALSE);
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check1_),
                                   form_.Check1Value() == settings::kChecked ? TRUE : FALSE);
      break;
  }
  mirroring_ = false;
}

void SettingsWindow::SetClientHeight(float twips) {
  if (window_ == nullptr || ended_) return;
  // The window is not resizable, so it takes the height its content asks for.
  gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(scroller_), Px(twips));
}

std::intptr_t SettingsWindow::ShellExecuteA(std::intptr_t, const char*, const char* file,
                                            const char*, const char*, int) {
  // The desktop's handler for the address, started by GIO: no shell sees the address.
  GError* error = nullptr;
  if (g_app_info_launch_default_for_uri(file, nullptr, &error) != FALSE) return kOpened;
  if (error != nullptr) {
    std::fprintf(stderr, "zimoklas: cannot open %s: %s\n", file, error->message);
    g_error_free(error);
  }
  return kNoAssociation;
}

void SettingsWindow::ShowError(std::string_view utf8Message) {
  const std::string message(utf8Message);
  GtkWidget* dialog = gtk_message_dialog_new(
      window_ != nullptr ? GTK_WINDOW(window_) : nullptr,
      static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", message.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), std::string(dialog::kWindowCaption).c_str());
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
}

void SettingsWindow::EndProgram() {
  if (ended_) return;
  ended_ = true;
  if (window_ != nullptr) {
    gtk_widget_destroy(window_);
    window_ = nullptr;
  }
  if (gtk_main_level() > 0) gtk_main_quit();
}

int RunSettingsWindow(settings::Store& store, settings::Module1& module, saver::Clock& clock,
                      int* endingSignal) {
  SettingsWindow window(store, module, clock);
  const int status = window.Run();
  if (endingSignal != nullptr) *endingSignal = window.endingSignal();
  return status;
}

}  // namespace zimoklas::gtk

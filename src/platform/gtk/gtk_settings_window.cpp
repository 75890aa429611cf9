// The settings window Form2 in GTK 3: native bars, text boxes, check box and buttons
// placed in a GtkFixed at the design's boxes, with labels, the swatch, the rule, the
// circles and the chevron beside them. It forwards the user's actions to the core's
// Form2 and shows each control's new state.
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

#include "dialog/dialog_platform.hpp"
#include "dialog/form2.hpp"
#include "dialog/form2_design.hpp"
#include "dialog/form2_layout.hpp"
#include "platform/gtk/gtk_scroll_arrows.hpp"
#include "platform/gtk/gtk_settings_input.hpp"
#include "platform/gtk/gtk_settings_paint.hpp"
#include "platform/gtk/gtk_settings_style.hpp"
#include "platform/gtk/gtk_tool_window.hpp"
#include "settings/settings.hpp"

// Xlib's macros (None, Status, ...) clash with names of the core: included last.
#include <gdk/gdkx.h>

#include "platform/x11/x11_display.hpp"

// The pictures compiled in by glib-compile-resources.
extern "C" void zimoklas_gtk_register_resource(void);

namespace zimoklas::gtk {
namespace {

using dialog::ControlDesign;
using dialog::ControlKind;
using dialog::Form2Control;
using dialog::PixelBox;
using dialog::ScrollAction;
using dialog::ScrollBarId;

constexpr char kResourcePrefix[] = "/org/ombra/zimoklas/";
// What the shell's ShellExecuteA answers: above 32 it took the request.
constexpr std::intptr_t kOpened = 42;
constexpr std::intptr_t kNoAssociation = 31;

class SettingsWindow final : public dialog::SettingsWindowView {
 public:
  SettingsWindow(settings::Store& store, settings::Module1& module, saver::Clock& clock)
      : form_(*this, store, module, clock) {}
  SettingsWindow(const SettingsWindow&) = delete;
  SettingsWindow& operator=(const SettingsWindow&) = delete;
  ~SettingsWindow() override;

  int Run();
  // The signal that closed the window; 0 when none did.
  int endingSignal() const { return endingSignal_; }

  void ControlChanged(Form2Control control) override;
  void SetClientHeight(float twips) override;
  std::intptr_t ShellExecuteA(std::intptr_t owner, const char* operation, const char* file,
                              const char* parameters, const char* directory,
                              int showCommand) override;
  void ShowError(std::string_view utf8Message) override;
  void EndProgram() override;

 private:
  void Create();
  void CreateChild(const ControlDesign& design);
  void Put(GtkWidget* widget, const ControlDesign& design, bool fixedSize = true);
  void Put(GtkWidget* widget, const ControlDesign& design, PixelBox box, bool fixedSize = true);
  GtkWidget* MakeLabel(const ControlDesign& design);
  GtkWidget* MakeScrollBar(const ControlDesign& design);
  GtkWidget* MakeDrawing(const ControlDesign& design, PixelBox box);
  GtkWidget* MakeButton(const ControlDesign& design);
  void SetTabOrder();
  void ShowPicture();
  int Px(float twips) const { return dialog::TwipsToPixels(twips, dpi_); }
  ScrollBarId BarOf(GtkWidget* widget) const;

  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean OnChangeValue(GtkRange* range, GtkScrollType scroll, gdouble value,
                                gpointer self);
  static gboolean OnBarKey(GtkWidget* bar, GdkEventKey* event, gpointer self);
  static gboolean OnBarPress(GtkWidget* bar, GdkEventButton* event, gpointer self);
  static gboolean OnBarRelease(GtkWidget* bar, GdkEventButton* event, gpointer self);
  static gboolean OnDraw(GtkWidget* area, cairo_t* cr, gpointer self);
  static gboolean OnClickRelease(GtkWidget* box, GdkEventButton* event, gpointer self);
  template <int Signal>
  static gboolean OnSignal(gpointer self);
  static gboolean OnFirstDraw(GtkWidget*, cairo_t*, gpointer self);

  dialog::Form2 form_;
  float dpi_ = 96;
  GtkWidget* window_ = nullptr;
  GtkWidget* scroller_ = nullptr;
  GtkWidget* fixed_ = nullptr;
  std::array<GtkWidget*, 3> bars_{};
  std::array<bool, 3> held_{};  // a mouse button is down on the bar
  std::array<GtkWidget*, 3> valueLabels_{};
  GtkWidget* swatch_ = nullptr;
  GtkWidget* text1_ = nullptr;
  GtkWidget* text2_ = nullptr;
  GtkWidget* check1_ = nullptr;
  GtkWidget* image1_ = nullptr;
  GtkWidget* image1Box_ = nullptr;
  GtkWidget* link_ = nullptr;
  std::array<GtkWidget*, 3> buttons_{};  // Command1, Command2, Command3
  GtkWidget* defaultButton_ = nullptr;   // Enter presses it
  GtkWidget* cancelButton_ = nullptr;    // Esc presses it
  GtkWidget* firstFocus_ = nullptr;      // the first control in the tab order
  std::array<std::unique_ptr<ScrollArrows>, 3> arrows_;
  GdkPixbuf* down_ = nullptr;
  GdkPixbuf* up_ = nullptr;
  std::array<guint, 3> signalSources_{};
  // Every control's widget by its design name, for the layout report.
  std::vector<std::pair<std::string_view, GtkWidget*>> placed_;
  bool mirroring_ = false;
  bool ended_ = false;
  int endingSignal_ = 0;
};

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

void SettingsWindow::Create() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), std::string(dialog::kWindowCaption).c_str());
  MakeToolWindow(GTK_WINDOW(window_));
  gtk_style_context_add_class(gtk_widget_get_style_context(window_), "zimoklas-settings");
  g_signal_connect(window_, "delete-event", G_CALLBACK(&OnDelete), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(&OnKey), this);

  // The fixed area holds the whole panel; the scrolled window shows as much of it as the
  // fold asks for and never scrolls. A caption wider than the design at some DPI is cut
  // at the client area's edge rather than widening the window.
  scroller_ = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller_), GTK_POLICY_EXTERNAL,
                                 GTK_POLICY_EXTERNAL);
  gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(scroller_), FALSE);
  gtk_scrolled_window_set_min_content_width(GTK_SCROLLED_WINDOW(scroller_),
                                            Px(dialog::kClientWidth));
  gtk_scrolled_window_set_min_content_height(GTK_SCROLLED_WINDOW(scroller_),
                                             Px(dialog::kClientHeight));
  g_signal_connect(scroller_, "scroll-event",
                   G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) { return TRUE; }), nullptr);
  gtk_container_add(GTK_CONTAINER(window_), scroller_);

  fixed_ = gtk_fixed_new();
  gtk_widget_set_size_request(fixed_, Px(dialog::kClientWidth), Px(dialog::kUnfoldedClientHeight));
  gtk_container_add(GTK_CONTAINER(scroller_), fixed_);
  gtk_viewport_set_shadow_type(GTK_VIEWPORT(gtk_bin_get_child(GTK_BIN(scroller_))),
                               GTK_SHADOW_NONE);

  down_ = gdk_pixbuf_new_from_resource((std::string(kResourcePrefix) + "chevron_down.gif").c_str(),
                                       nullptr);
  up_ = gdk_pixbuf_new_from_resource((std::string(kResourcePrefix) + "chevron_up.gif").c_str(),
                                     nullptr);

  for (const ControlDesign& design : dialog::kForm2Design) CreateChild(design);
  SetTabOrder();
  if (defaultButton_ != nullptr) {
    gtk_widget_set_can_default(defaultButton_, TRUE);
    gtk_window_set_default(GTK_WINDOW(window_), defaultButton_);
  }
}

void SettingsWindow::SetTabOrder() {
  // The design's tab indices order the controls that can take the focus; labels and the
  // frame have an index too but never take it.
  std::vector<std::pair<int, GtkWidget*>> stops;
  for (const auto& [name, widget] : placed_) {
    const ControlDesign* design = dialog::FindDesign(name);
    if (design->tabIndex >= 0 && gtk_widget_get_can_focus(widget)) {
      stops.emplace_back(design->tabIndex, widget);
    }
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  GList* chain = nullptr;
  for (const auto& stop : stops) chain = g_list_append(chain, stop.second);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_container_set_focus_chain(GTK_CONTAINER(fixed_), chain);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(chain);
  firstFocus_ = stops.empty() ? nullptr : stops.front().second;
}

void SettingsWindow::Put(GtkWidget* widget, const ControlDesign& design, bool fixedSize) {
  Put(widget, design, dialog::DesignBox(design, dpi_), fixedSize);
}

void SettingsWindow::Put(GtkWidget* widget, const ControlDesign& design, PixelBox box,
                         bool fixedSize) {
  if (fixedSize) gtk_widget_set_size_request(widget, box.width, box.height);
  gtk_fixed_put(GTK_FIXED(fixed_), widget, box.left, box.top);
  placed_.emplace_back(design.name, widget);
}

void SettingsWindow::CreateChild(const ControlDesign& design) {
  switch (design.kind) {
    case ControlKind::Frame: {
      GtkWidget* frame = gtk_frame_new(nullptr);
      GtkWidget* caption = gtk_label_new(std::string(design.caption).c_str());
      SetLabelLook(GTK_LABEL(caption), design.foreColour.value_or(0), nullptr);
      gtk_frame_set_label_widget(GTK_FRAME(frame), caption);
      Put(frame, design);
      return;
    }
    case ControlKind::ScrollBar:
      Put(MakeScrollBar(design), design);
      return;
    case ControlKind::Label: {
      GtkWidget* label = MakeLabel(design);
      if (design.name == "Label7") {
        // The link: an event box of its own for the click and the help pointer.
        link_ = gtk_event_box_new();
        gtk_container_add(GTK_CONTAINER(link_), label);
        g_signal_connect(link_, "button-release-event", G_CALLBACK(&OnClickRelease), this);
        g_signal_connect(link_, "realize", G_CALLBACK(+[](GtkWidget* box, gpointer) {
                           GdkCursor* cursor =
                               gdk_cursor_new_from_name(gtk_widget_get_display(box), "help");
                           gdk_window_set_cursor(gtk_widget_get_window(box), cursor);
                           if (cursor != nullptr) g_object_unref(cursor);
                         }),
                         nullptr);
        Put(link_, design, false);
        return;
      }
      Put(label, design, design.wordWrap);
      return;
    }
    case ControlKind::Shape:
    case ControlKind::Line: {
      const PixelBox box = design.kind == ControlKind::Line ? dialog::RuleBox(design, dpi_)
                                                            : dialog::DesignBox(design, dpi_);
      GtkWidget* area = MakeDrawing(design, box);
      if (design.name == "Shape1") swatch_ = area;
      return;
    }
    case ControlKind::TextBox: {
      const bool first = design.name == "Text1";
      const dialog::TextBoxState& state = first ? form_.Text1() : form_.Text2();
      GtkWidget* entry = gtk_entry_new();
      gtk_entry_set_text(GTK_ENTRY(entry), state.Text.c_str());
      gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
      gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
      gtk_widget_set_sensitive(entry, state.Enabled ? TRUE : FALSE);
      g_signal_connect(entry, "changed", G_CALLBACK(+[](GtkEditable* editable, gpointer data) {
                         auto* self = static_cast<SettingsWindow*>(data);
                         if (self->mirroring_) return;
                         std::string text = gtk_entry_get_text(GTK_ENTRY(editable));
                         if (GTK_WIDGET(editable) == self->text1_) {
                           self->form_.UserEditedText1(std::move(text));
                         } else {
                           self->form_.UserEditedText2(std::move(text));
                         }
                       }),
                       this);
      (first ? text1_ : text2_) = entry;
      Put(entry, design);
      return;
    }
    case ControlKind::CheckBox: {
      // Its caption's colour and its state come with the form's first showing of it.
      check1_ = gtk_check_button_new_with_label(form_.Check1Caption().c_str());
      g_signal_connect(check1_, "toggled", G_CALLBACK(+[](GtkToggleButton*, gpointer data) {
                         auto* self = static_cast<SettingsWindow*>(data);
                         if (!self->mirroring_) self->form_.UserClickedCheck1();
                       }),
                       this);
      Put(check1_, design);
      return;
    }
    case ControlKind::Button:
      Put(MakeButton(design), design);
      return;
    case ControlKind::Image: {
      // Image2 and Image3 only hold the pictures, which the pixbufs do here.
      if (!design.visible) return;
      image1_ = gtk_image_new();
      gtk_widget_set_halign(image1_, GTK_ALIGN_START);
      gtk_widget_set_valign(image1_, GTK_ALIGN_START);
      image1Box_ = gtk_event_box_new();
      gtk_event_box_set_visible_window(GTK_EVENT_BOX(image1Box_), FALSE);
      gtk_container_add(GTK_CONTAINER(image1Box_), image1_);
      gtk_widget_set_tooltip_text(image1Box_, std::string(design.tooltip).c_str());
      g_signal_connect(image1Box_, "button-release-event", G_CALLBACK(&OnClickRelease), this);
      ShowPicture();
      Put(image1Box_, design);
      return;
    }
  }
}

GtkWidget* SettingsWindow::MakeLabel(const ControlDesign& design) {
  std::string caption(design.caption);
  GtkWidget* label = gtk_label_new(caption.c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_yalign(GTK_LABEL(label), 0);
  if (design.wordWrap) {
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD);
    gtk_label_set_max_width_chars(GTK_LABEL(label), 1);
  }
  SetLabelLook(GTK_LABEL(label), design.foreColour, &design.font);
  if (design.name == "Label1") valueLabels_[0] = label;
  if (design.name == "Label2") valueLabels_[1] = label;
  if (design.name == "Label3") valueLabels_[2] = label;
  return label;
}

GtkWidget* SettingsWindow::MakeButton(const ControlDesign& design) {
  GtkWidget* button = gtk_button_new_with_label(std::string(design.caption).c_str());
  gtk_widget_set_tooltip_text(button, std::string(design.tooltip).c_str());
  // Command1 to Command3 by their names; Enter and Esc by the design's flags.
  buttons_[static_cast<std::size_t>(design.name.back() - '1')] = button;
  if (design.isDefault) defaultButton_ = button;
  if (design.isCancel) cancelButton_ = button;
  g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* clicked, gpointer data) {
                     auto* self = static_cast<SettingsWindow*>(data);
                     if (GTK_WIDGET(clicked) == self->buttons_[0]) {
                       self->form_.Command1_Click();
                     } else if (GTK_WIDGET(clicked) == self->buttons_[1]) {
                       self->form_.Command2_Click();
                     } else {
                       self->form_.Command3_Click();
                     }
                   }),
                   this);
  return button;
}

GtkWidget* SettingsWindow::MakeScrollBar(const ControlDesign& design) {
  const int number = design.name.back() - '1';
  const dialog::ScrollBarState& state = form_.scrollBar(static_cast<ScrollBarId>(number));
  GtkAdjustment* adjustment = gtk_adjustment_new(state.Value, state.Min, state.Max,
                                                 state.SmallChange, state.LargeChange, 0);
  GtkWidget* bar = gtk_scrollbar_new(GTK_ORIENTATION_HORIZONTAL, adjustment);
  gtk_widget_set_can_focus(bar, TRUE);
  // The arrows come first: a press on one is theirs alone.
  const auto id = static_cast<ScrollBarId>(number);
  arrows_[static_cast<std::size_t>(number)] = std::make_unique<ScrollArrows>(
      bar, [this, id](ScrollAction action) { form_.UserScrolled(id, action); });
  g_signal_connect(bar, "change-value", G_CALLBACK(&OnChangeValue), this);
  g_signal_connect(bar, "key-press-event", G_CALLBACK(&OnBarKey), this);
  g_signal_connect(bar, "button-press-event", G_CALLBACK(&OnBarPress), this);
  g_signal_connect(bar, "button-release-event", G_CALLBACK(&OnBarRelease), this);
  // The wheel does not move a colour bar, and it does not scroll the window either.
  g_signal_connect(bar, "scroll-event",
                   G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) { return TRUE; }), nullptr);
  bars_[static_cast<std::size_t>(number)] = bar;
  return bar;
}

GtkWidget* SettingsWindow::MakeDrawing(const ControlDesign& design, PixelBox box) {
  GtkWidget* area = gtk_drawing_area_new();
  g_object_set_data(G_OBJECT(area), "design", const_cast<ControlDesign*>(&design));
  g_signal_connect(area, "draw", G_CALLBACK(&OnDraw), this);
  Put(area, design, box);
  return area;
}

gboolean SettingsWindow::OnDraw(GtkWidget* area, cairo_t* cr, gpointer data) {
  const auto* design =
      static_cast<const ControlDesign*>(g_object_get_data(G_OBJECT(area), "design"));
  DrawShape(area, cr, *design, static_cast<SettingsWindow*>(data)->form_.Shape1FillColor());
  return FALSE;
}

void SettingsWindow::ShowPicture() {
  const bool up = form_.Image1Picture() == dialog::Picture::ChevronsUp;
  gtk_image_set_from_pixbuf(GTK_IMAGE(image1_), up ? up_ : down_);
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

gboolean SettingsWindow::OnFirstDraw(GtkWidget* window, cairo_t*, gpointer data) {
  // With ZIMOKLAS_SETTINGS_LAYOUT set, the boxes GTK gave the controls, in pixels of the
  // client area, once: what the window really shows against its design.
  auto* self = static_cast<SettingsWindow*>(data);
  g_signal_handlers_disconnect_by_func(window, reinterpret_cast<gpointer>(&OnFirstDraw), data);
  std::printf("layout dpi %g client %d %d\n", static_cast<double>(self->dpi_),
              gtk_widget_get_allocated_width(self->scroller_),
              gtk_widget_get_allocated_height(self->scroller_));
  for (const auto& [name, widget] : self->placed_) {
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(widget, self->fixed_, 0, 0, &x, &y);
    std::printf("layout %.*s %d %d %d %d\n", static_cast<int>(name.size()), name.data(), x, y,
                gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget));
  }
  std::fflush(stdout);
  return FALSE;
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

}  // namespace

int RunSettingsWindow(settings::Store& store, settings::Module1& module, saver::Clock& clock,
                      int* endingSignal) {
  SettingsWindow window(store, module, clock);
  const int status = window.Run();
  if (endingSignal != nullptr) *endingSignal = window.endingSignal();
  return status;
}

}  // namespace zimoklas::gtk

// Building the GTK settings window: the native bars, text boxes, check box and buttons
// placed in a GtkFixed at the design's boxes, with labels, the swatch, the rule, the
// circles and the chevron beside them, in the design's tab order.
#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/gtk/gtk_entry_clusters.hpp"
#include "platform/gtk/gtk_settings_form.hpp"
#include "platform/gtk/gtk_settings_input.hpp"
#include "platform/gtk/gtk_settings_paint.hpp"
#include "platform/gtk/gtk_tool_window.hpp"

namespace zimoklas::gtk {
namespace {

using dialog::ControlDesign;
using dialog::ControlKind;
using dialog::PixelBox;
using dialog::ScrollAction;
using dialog::ScrollBarId;

constexpr char kResourcePrefix[] = "/org/ombra/zimoklas/";

}  // namespace

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
      ShapeClustersOf(GTK_ENTRY(entry));
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

}  // namespace zimoklas::gtk

// The settings window Form2 in GTK 3, as the two files that build and run it share it:
// the core's Form2, the native widgets by design name, and their signal handlers.
#pragma once

#include <gtk/gtk.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "dialog/dialog_platform.hpp"
#include "dialog/form2.hpp"
#include "dialog/form2_design.hpp"
#include "dialog/form2_layout.hpp"
#include "platform/gtk/gtk_scroll_arrows.hpp"
#include "saver/saver_platform.hpp"
#include "settings/module1.hpp"
#include "settings/store.hpp"

namespace zimoklas::gtk {

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

  void ControlChanged(dialog::Form2Control control) override;
  void SetClientHeight(float twips) override;
  std::intptr_t ShellExecuteA(std::intptr_t owner, const char* operation, const char* file,
                              const char* parameters, const char* directory,
                              int showCommand) override;
  void ShowError(std::string_view utf8Message) override;
  void EndProgram() override;

 private:
  void Create();
  void CreateChild(const dialog::ControlDesign& design);
  void Put(GtkWidget* widget, const dialog::ControlDesign& design, bool fixedSize = true);
  void Put(GtkWidget* widget, const dialog::ControlDesign& design, dialog::PixelBox box,
           bool fixedSize = true);
  GtkWidget* MakeLabel(const dialog::ControlDesign& design);
  GtkWidget* MakeScrollBar(const dialog::ControlDesign& design);
  GtkWidget* MakeDrawing(const dialog::ControlDesign& design, dialog::PixelBox box);
  GtkWidget* MakeButton(const dialog::ControlDesign& design);
  void SetTabOrder();
  void ShowPicture();
  int Px(float twips) const { return dialog::TwipsToPixels(twips, dpi_); }
  dialog::ScrollBarId BarOf(GtkWidget* widget) const;

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

}  // namespace zimoklas::gtk

// The scene window Form1 on Wayland, through GTK's Wayland backend: a layer surface in
// the overlay layer over one whole output where the compositor offers layer-shell, else
// a fullscreen toplevel. The frame keeps the scene's writes in order; they go to the
// compositor in buffers of the scene's own, each commit with only what was drawn since
// the last one.
#pragma once

#include <cairo.h>
#include <gtk/gtk.h>

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/pango/pango_text.hpp"
#include "platform/wayland/wayland_buffers.hpp"
#include "platform/wayland/wayland_frame.hpp"
#include "saver/form1.hpp"
#include "saver/saver_platform.hpp"

namespace zimoklas::wayland {

enum class SurfaceKind : std::uint8_t { LayerSurface, FullscreenToplevel };

class SceneWindow final : public saver::SaverWindow {
 public:
  // Needs GTK initialised on a Wayland display. The window is made when it is shown;
  // until then only the output's size and scale are read. `toplevel` asks for a
  // fullscreen toplevel, which a compositor without layer-shell needs.
  SceneWindow(bool toplevel, std::function<void()> showSettings);
  SceneWindow(const SceneWindow&) = delete;
  SceneWindow& operator=(const SceneWindow&) = delete;
  ~SceneWindow() override;

  void Attach(saver::Form1* form) { form_ = form; }
  // The first layout, then the surface goes on the screen.
  void Show();
  bool alive() const { return alive_; }
  Frame& frame() { return frame_; }
  SurfaceKind surfaceKind() const { return kind_; }
  // Sends what the frame gained since the last commit, when the compositor is ready for
  // it; the loop calls this after each tick.
  void Present();
  // Commits that sent damage, and the damage boxes they named (for the benchmark).
  std::uint64_t damagedFrames() const;
  std::uint64_t damageBoxes() const;
  // Run when the compositor asks for the next frame, once the scene's own buffers are on
  // the surface; until then, and while no commit waits for a frame, the loop keeps time.
  void OnFrame(std::function<void()> frame);
  bool awaitingFrame() const { return pixels_ != nullptr && pixels_->awaitingFrame(); }
  // Run when the window is destroyed (the loop ends then).
  void OnGone(std::function<void()> gone) { gone_ = std::move(gone); }

  saver::WindowHandle hWnd() const override { return 1; }
  int SetWindowPos(saver::WindowHandle window, saver::WindowHandle insertAfter, int x, int y,
                   int cx, int cy, unsigned flags) override;
  int ShowCursor(bool show) override;
  void Hide() override;
  void EndProcess() override;
  void ShowSettingsWindow() override;
  void Destroy() override;
  float Dpi() const override { return dpi_; }
  SizeF PrimaryScreenSize() const override;
  void SetBounds(float left, float top, float width, float height) override;
  SizeF ClientSize() const override;
  SizeF MeasureText(const FontDesign& font, std::string_view utf8) override;
  void Repaint(const RectF& area) override;

 private:
  void Create();
  void Resize(int width, int height);
  void ApplyCursor();
  void AttachPixels();
  void DeclareOpaque();
  void SendDamage();
  static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
  static void OnSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);
  static gboolean OnKey(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean OnPointer(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnFrameTick(GtkWidget* widget, GdkFrameClock* clock, gpointer self);
  static void OnRealize(GtkWidget* widget, gpointer self);

  SurfaceKind kind_;
  int primary_ = -1;  // GDK's index of the monitor the desktop names primary; -1: none
  std::function<void()> showSettings_;
  std::function<void()> gone_;
  std::function<void()> frameAsked_;
  saver::Form1* form_ = nullptr;
  GtkWidget* window_ = nullptr;
  cairo_surface_t* surface_ = nullptr;  // the frame's canvas, for drawing text
  Frame frame_;
  std::unique_ptr<SurfacePixels> pixels_;
  guint frameTick_ = 0;  // GTK's frame clock, used only without buffers of the scene's own
  bool triedPixels_ = false;
  std::optional<pango::SceneText> text_;
  double scale_ = 1;         // device pixels per logical pixel
  bool fractional_ = false;  // a fractional scale, through a viewport
  int logicalWidth_ = 0, logicalHeight_ = 0;
  float dpi_ = 96;
  int screenWidth_ = 0, screenHeight_ = 0;  // the output, in device pixels
  int cursorCount_ = 0;
  std::uint64_t damagedFrames_ = 0;
  std::uint64_t damageBoxes_ = 0;
  bool shown_ = false;
  bool alive_ = true;
};

}  // namespace zimoklas::wayland

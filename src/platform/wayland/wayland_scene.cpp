// The scene window's native side on Wayland: the surface, its input and its frames.
#include "platform/wayland/wayland_scene.hpp"

#include <gdk/gdkwayland.h>
#include <gtk-layer-shell.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/wayland/wayland_gnome_shell.hpp"
#include "platform/wayland/wayland_input.hpp"
#include "platform/wayland/wayland_output_scale.hpp"
#include "platform/wayland/wayland_primary.hpp"

namespace zimoklas::wayland {
namespace {

constexpr GdkEventMask kSceneEvents =
    static_cast<GdkEventMask>(GDK_KEY_PRESS_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                              GDK_POINTER_MOTION_MASK | GDK_ENTER_NOTIFY_MASK);

// The index of the monitor the desktop names primary; -1 where it names none.
int NamedPrimary(GdkDisplay* display) {
  if (!GDK_IS_WAYLAND_DISPLAY(display)) return -1;
  const std::optional<Position> corner =
      PrimaryOutputPosition(gdk_wayland_display_get_wl_display(display));
  for (int i = 0; corner && i < gdk_display_get_n_monitors(display); ++i) {
    GdkRectangle geometry{};
    gdk_monitor_get_geometry(gdk_display_get_monitor(display, i), &geometry);
    if (geometry.x == corner->x && geometry.y == corner->y) return i;
  }
  return -1;
}

// The output the scene goes on: the primary one where the desktop names it; else the
// one the compositor will most likely give it, GDK's primary monitor or the first one.
GdkMonitor* SceneMonitor(GdkDisplay* display, int primary) {
  if (primary >= 0) return gdk_display_get_monitor(display, primary);
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) {
    monitor = gdk_display_get_monitor(display, 0);
  }
  return monitor;
}

// Cairo, and with it GDK's painting of a window, makes surfaces of at most this many
// pixels a side.
constexpr int kMaxSide = 32767;

// Ends the program with one line when the scene would need a larger surface: GDK could
// not paint it.
void EndIfTooLarge(int width, int height) {
  if (width <= kMaxSide && height <= kMaxSide) return;
  std::fprintf(stderr,
               "zimoklas: the output is %d x %d pixels, more than the %d a side the scene can "
               "draw\n",
               width, height, kMaxSide);
  std::exit(1);  // NOLINT(concurrency-mt-unsafe): one thread
}

}  // namespace

SceneWindow::SceneWindow(bool toplevel, std::function<void()> showSettings)
    : kind_(toplevel ? SurfaceKind::FullscreenToplevel : SurfaceKind::LayerSurface),
      showSettings_(std::move(showSettings)) {
  GdkDisplay* display = gdk_display_get_default();
  primary_ = NamedPrimary(display);
  if (GdkMonitor* monitor = SceneMonitor(display, primary_); monitor != nullptr) {
    GdkRectangle geometry{};
    gdk_monitor_get_geometry(monitor, &geometry);
    scale_ = std::max(1, gdk_monitor_get_scale_factor(monitor));
    if (GDK_IS_WAYLAND_DISPLAY(display)) {
      const std::optional<double> fractional = FractionalScaleOf(
          gdk_wayland_display_get_wl_display(display), geometry.x, geometry.y, geometry.width);
      if (fractional && *fractional != std::floor(*fractional)) {
        scale_ = *fractional;
        fractional_ = true;
      }
    }
    screenWidth_ = static_cast<int>(std::lround(geometry.width * scale_));
    screenHeight_ = static_cast<int>(std::lround(geometry.height * scale_));
  }
  // The layout's DPI follows the output's scale, as Xft.dpi does on X11.
  dpi_ = static_cast<float>(96.0 * scale_);
  text_.emplace(dpi_);
  const saver::WholePixelSize design = saver::DesignClientPixels(dpi_);
  Resize(design.width, design.height);
}

SceneWindow::~SceneWindow() {
  pixels_.reset();
  if (window_ != nullptr) gtk_widget_destroy(window_);
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

void SceneWindow::Resize(int width, int height) {
  EndIfTooLarge(width, height);
  if (width == frame_.width() && height == frame_.height() && surface_ != nullptr) return;
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
  frame_.SetSize(width, height);
  surface_ = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(frame_.canvas()),
                                                 CAIRO_FORMAT_RGB24, frame_.width(),
                                                 frame_.height(), frame_.stride());
}

void SceneWindow::Create() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(window_);
  gtk_window_set_title(window, "Zimoklas");
  gtk_window_set_decorated(window, FALSE);
  gtk_widget_set_app_paintable(window_, TRUE);
  gtk_widget_add_events(window_, kSceneEvents);
  if (kind_ == SurfaceKind::LayerSurface) {
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, "zimoklas");
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
    for (const GtkLayerShellEdge edge : {GTK_LAYER_SHELL_EDGE_LEFT, GTK_LAYER_SHELL_EDGE_RIGHT,
                                         GTK_LAYER_SHELL_EDGE_TOP, GTK_LAYER_SHELL_EDGE_BOTTOM}) {
      gtk_layer_set_anchor(window, edge, TRUE);
    }
    gtk_layer_set_exclusive_zone(window, -1);
    gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
    // Without a primary the compositor chooses, the output with focus.
    if (primary_ >= 0) {
      gtk_layer_set_monitor(window, gdk_display_get_monitor(gdk_display_get_default(), primary_));
    }
  } else {
    gtk_window_set_default_size(window, std::max(1, static_cast<int>(screenWidth_ / scale_)),
                                std::max(1, static_cast<int>(screenHeight_ / scale_)));
    if (primary_ >= 0) {
      gtk_window_fullscreen_on_monitor(window, gtk_window_get_screen(window), primary_);
    } else {
      gtk_window_fullscreen(window);
    }
  }
  g_signal_connect(window_, "draw", G_CALLBACK(&OnDraw), this);
  g_signal_connect(window_, "size-allocate", G_CALLBACK(&OnSizeAllocate), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(&OnKey), this);
  g_signal_connect(window_, "button-press-event", G_CALLBACK(&OnPointer), this);
  g_signal_connect(window_, "button-release-event", G_CALLBACK(&OnPointer), this);
  g_signal_connect(window_, "motion-notify-event", G_CALLBACK(&OnPointer), this);
  g_signal_connect(window_, "enter-notify-event", G_CALLBACK(&OnPointer), this);
  g_signal_connect(window_, "realize", G_CALLBACK(&OnRealize), this);
  // The compositor is closing the window (a toplevel's close request): an end like any
  // other.
  g_signal_connect(window_, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) {
                     auto* scene = static_cast<SceneWindow*>(self);
                     if (scene->form_ != nullptr) scene->form_->Unload();
                     return TRUE;
                   }),
                   this);
  frameTick_ = gtk_widget_add_tick_callback(window_, &OnFrameTick, this, nullptr);
}

void SceneWindow::Show() {
  if (!alive_) return;
  shown_ = true;
  if (form_ != nullptr) form_->Form_Resize();
  Repaint({0, 0, static_cast<float>(frame_.width()), static_cast<float>(frame_.height())});
  if (window_ == nullptr) Create();
  // In GNOME's overview the scene would be a thumbnail, and the first key would go to
  // the overview's search.
  GnomeShell().LeaveOverview();
  gtk_widget_show(window_);
  // Shown, the window has its surface and role, and the scene's own buffers can go on it
  // before GTK paints it even once.
  if (!triedPixels_ && gtk_widget_get_mapped(window_) != FALSE) AttachPixels();
}

void SceneWindow::OnRealize(GtkWidget* widget, gpointer self) {
  auto* scene = static_cast<SceneWindow*>(self);
  // Every motion the compositor sends counts towards the moves that end the scene; GDK
  // would merge the ones queued together into one.
  gdk_window_set_event_compression(gtk_widget_get_window(widget), FALSE);
  scene->ApplyCursor();
  scene->DeclareOpaque();
}

void SceneWindow::DeclareOpaque() {
  // Nothing shows through the scene, so the compositor need not draw what lies beneath.
  GdkWindow* surface = window_ != nullptr ? gtk_widget_get_window(window_) : nullptr;
  if (surface == nullptr) return;
  const cairo_rectangle_int_t whole{0, 0, gdk_window_get_width(surface),
                                    gdk_window_get_height(surface)};
  cairo_region_t* opaque = cairo_region_create_rectangle(&whole);
  gdk_window_set_opaque_region(surface, opaque);
  cairo_region_destroy(opaque);
}

void SceneWindow::AttachPixels() {
  triedPixels_ = true;
  GdkDisplay* display = gtk_widget_get_display(window_);
  if (!GDK_IS_WAYLAND_DISPLAY(display)) return;
  auto pixels = std::make_unique<SurfacePixels>(
      gdk_wayland_display_get_wl_display(display),
      gdk_wayland_window_get_wl_surface(gtk_widget_get_window(window_)), frame_, fractional_);
  if (!pixels->ok()) return;
  pixels_ = std::move(pixels);
  // GTK never paints the surface then: it would keep a buffer of the window's size for
  // that, beside the scene's two.
  gdk_window_freeze_updates(gtk_widget_get_window(window_));
  pixels_->OnFrame(frameAsked_);
  gtk_widget_remove_tick_callback(window_, frameTick_);
  frameTick_ = 0;
}

void SceneWindow::OnFrame(std::function<void()> frame) {
  frameAsked_ = std::move(frame);
  if (pixels_ != nullptr) pixels_->OnFrame(frameAsked_);
}

void SceneWindow::Present() {
  // The scene's own buffers go on the window's surface once it has its role and GTK has
  // shown it.
  if (pixels_ == nullptr && !triedPixels_ && window_ != nullptr &&
      gtk_widget_get_mapped(window_) != FALSE) {
    AttachPixels();
  }
  if (pixels_ != nullptr) {
    pixels_->Present({scale_, fractional_, logicalWidth_, logicalHeight_});
  }
}

std::uint64_t SceneWindow::damagedFrames() const {
  return pixels_ != nullptr ? pixels_->commits() : damagedFrames_;
}

std::uint64_t SceneWindow::damageBoxes() const {
  return pixels_ != nullptr ? pixels_->damageBoxes() : damageBoxes_;
}

void SceneWindow::ApplyCursor() {
  if (window_ == nullptr) return;
  GdkWindow* surface = gtk_widget_get_window(window_);
  if (surface == nullptr) return;
  GdkCursor* cursor = cursorCount_ < 0 ? gdk_cursor_new_for_display(gtk_widget_get_display(window_),
                                                                    GDK_BLANK_CURSOR)
                                       : nullptr;
  gdk_window_set_cursor(surface, cursor);
  if (cursor != nullptr) g_object_unref(cursor);
}

int SceneWindow::SetWindowPos(saver::WindowHandle /*window*/, saver::WindowHandle /*insertAfter*/,
                              int /*x*/, int /*y*/, int /*cx*/, int /*cy*/, unsigned /*flags*/) {
  // The overlay layer, or a fullscreen toplevel, is above every window already.
  return alive_ ? 1 : 0;
}

int SceneWindow::ShowCursor(bool show) {
  cursorCount_ += show ? 1 : -1;
  ApplyCursor();
  return cursorCount_;
}

void SceneWindow::Hide() {
  if (window_ != nullptr) gtk_widget_hide(window_);
}

void SceneWindow::EndProcess() {
  std::exit(0);  // NOLINT(concurrency-mt-unsafe): one thread
}

void SceneWindow::ShowSettingsWindow() {
  if (showSettings_) showSettings_();
}

void SceneWindow::Destroy() {
  if (!alive_) return;
  alive_ = false;
  pixels_.reset();
  if (window_ != nullptr) {
    gtk_widget_destroy(window_);
    window_ = nullptr;
  }
  if (gone_) gone_();
}

SizeF SceneWindow::PrimaryScreenSize() const {
  return {static_cast<float>(screenWidth_), static_cast<float>(screenHeight_)};
}

void SceneWindow::SetBounds(float /*left*/, float /*top*/, float width, float height) {
  // The compositor gives the surface the output's size; until it has, the frame takes
  // the size the layout asks for.
  if (!alive_) return;
  Resize(std::max(1, static_cast<int>(std::lround(width))),
         std::max(1, static_cast<int>(std::lround(height))));
}

SizeF SceneWindow::ClientSize() const {
  return {static_cast<float>(frame_.width()), static_cast<float>(frame_.height())};
}

SizeF SceneWindow::MeasureText(const FontDesign& font, std::string_view utf8) {
  return text_->Measure(font, utf8);
}

void SceneWindow::Repaint(const RectF& area) {
  // Drawn on the frame's canvas and put in the frame's order at once, so that the
  // animation's next pixels land on top of the new text; the compositor gets it with the
  // next frame.
  if (!shown_ || !alive_ || form_ == nullptr) return;
  const pango::PixelBox box = pango::PixelsOnSurface(area, frame_.width(), frame_.height());
  if (box.empty()) return;
  const PixelRect drawn{box.left, box.top, box.width(), box.height()};
  frame_.BlackCanvas(drawn);
  cairo_t* cr = cairo_create(surface_);
  text_->Paint(cr, box, *form_, true);
  cairo_destroy(cr);
  cairo_surface_flush(surface_);
  frame_.Drawn(drawn);
}

void SceneWindow::SendDamage() {
  // Only without buffers of its own: the frame then goes through GTK's painting.
  if (pixels_ != nullptr || !frame_.damaged() || window_ == nullptr) return;
  // Invalidated in the surface's logical pixels, rounded outwards.
  cairo_region_t* region = cairo_region_create();
  frame_.TakeDamage([&](const PixelRect& r) {
    const PixelRect area = LogicalArea(r, scale_);
    const cairo_rectangle_int_t logical{area.x, area.y, area.width, area.height};
    cairo_region_union_rectangle(region, &logical);
  });
  ++damagedFrames_;
  damageBoxes_ += static_cast<std::uint64_t>(cairo_region_num_rectangles(region));
  gtk_widget_queue_draw_region(window_, region);
  cairo_region_destroy(region);
}

gboolean SceneWindow::OnFrameTick(GtkWidget* /*widget*/, GdkFrameClock* /*clock*/, gpointer self) {
  static_cast<SceneWindow*>(self)->SendDamage();
  return G_SOURCE_CONTINUE;
}

gboolean SceneWindow::OnDraw(GtkWidget* /*widget*/, cairo_t* cr, gpointer self) {
  auto* scene = static_cast<SceneWindow*>(self);
  // GTK paints the window only where the scene has no buffers of its own: from the frame,
  // brought to GTK's logical pixels (one frame pixel to one device pixel at a whole
  // scale). GTK has clipped to what was invalidated.
  if (scene->pixels_ != nullptr) scene->pixels_->OverPainted();
  Frame& frame = scene->frame_;
  cairo_surface_t* picture = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(frame.Picture()), CAIRO_FORMAT_RGB24, frame.width(),
      frame.height(), frame.stride());
  cairo_scale(cr, 1.0 / scene->scale_, 1.0 / scene->scale_);
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_surface_destroy(picture);
  return TRUE;
}

void SceneWindow::OnSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self) {
  auto* scene = static_cast<SceneWindow*>(self);
  if (!scene->fractional_) scene->scale_ = std::max(1, gtk_widget_get_scale_factor(widget));
  scene->logicalWidth_ = allocation->width;
  scene->logicalHeight_ = allocation->height;
  const auto width = static_cast<int>(std::lround(allocation->width * scene->scale_));
  const auto height = static_cast<int>(std::lround(allocation->height * scene->scale_));
  EndIfTooLarge(std::max(width, allocation->width), std::max(height, allocation->height));
  if (width <= 1 || height <= 1) return;
  // The compositor's size for the surface is the output's.
  scene->screenWidth_ = width;
  scene->screenHeight_ = height;
  scene->DeclareOpaque();
  if (width == scene->frame_.width() && height == scene->frame_.height()) return;
  if (scene->form_ != nullptr && scene->shown_) {
    scene->form_->Form_Resize();
    scene->Repaint({0, 0, static_cast<float>(width), static_cast<float>(height)});
  }
}

gboolean SceneWindow::OnKey(GtkWidget* /*widget*/, GdkEventKey* event, gpointer self) {
  auto* scene = static_cast<SceneWindow*>(self);
  if (scene->form_ != nullptr) ForwardKey(*scene->form_, event->keyval);
  return TRUE;
}

gboolean SceneWindow::OnPointer(GtkWidget* /*widget*/, GdkEvent* event, gpointer self) {
  auto* scene = static_cast<SceneWindow*>(self);
  if (scene->form_ == nullptr) return TRUE;
  PointerEvent pointer;
  switch (event->type) {
    case GDK_ENTER_NOTIFY:
      pointer = {PointerEvent::Kind::Enter, 0, event->crossing.x, event->crossing.y};
      break;
    case GDK_MOTION_NOTIFY:
      pointer = {PointerEvent::Kind::Motion, 0, event->motion.x, event->motion.y};
      break;
    case GDK_BUTTON_PRESS:
      pointer = {PointerEvent::Kind::Press, event->button.button, event->button.x, event->button.y};
      break;
    case GDK_BUTTON_RELEASE:
      pointer = {PointerEvent::Kind::Release, event->button.button, event->button.x,
                 event->button.y};
      break;
    default:
      return FALSE;
  }
  ForwardPointer(*scene->form_, pointer, scene->scale_);
  return TRUE;
}

}  // namespace zimoklas::wayland

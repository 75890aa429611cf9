// The floor under any client that draws on a Wayland compositor at its frame rate: a
// fullscreen GTK 3 window whose surface carries two shared-memory buffers of its own, as
// the scene's does, that changes some pixels each time the compositor asks for a frame
// and damages only them, and animates nothing. With one pixel a frame it is what the
// compositor costs at the least; more rectangles, larger ones, or ones spread wider show
// what the compositor pays for: each rectangle, each damaged pixel, or their extent.
//
//   wayland_floor_cost [--seconds N] [--warmup N] [--compositor PID] [--rects N]
//                      [--rect WxH] [--spread WxH] [--surface toplevel|layer]
//                      [--paint own|gtk] [--format argb|xrgb]
//
// --rects N rectangles of --rect (1x1) pixels each frame, at places drawn afresh each
// frame within the --spread area at the top left (the whole surface). With --paint gtk
// GTK paints them into buffers of its own instead, as a plain GTK client would. The
// buffers are ARGB8888, as the scene's are, or XRGB8888.
#include <gdk/gdkwayland.h>
#include <gtk-layer-shell.h>
#include <gtk/gtk.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "animation/random.hpp"
#include "support/bench_process.hpp"
#include "support/bench_report.hpp"

namespace zb = zimoklas::bench;

namespace {

struct Options {
  double seconds = 10;
  double warmup = 3;
  int compositor = -1;
  int rects = 1;
  int rectWidth = 1, rectHeight = 1;
  int spreadWidth = 0, spreadHeight = 0;  // 0: the surface's size
  bool layer = false;
  bool gtkPaints = false;  // --paint gtk: GTK's own buffers, invalidated rectangles
  bool alpha = true;       // --format xrgb: buffers without alpha
};

bool ParseSize(const char* text, int& width, int& height) {
  return std::sscanf(text, "%dx%d", &width, &height) == 2 && width > 0 && height > 0;
}

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (arg == "--seconds") {
      options.seconds = std::atof(value);
    } else if (arg == "--warmup") {
      options.warmup = std::atof(value);
    } else if (arg == "--compositor") {
      options.compositor = std::atoi(value);
    } else if (arg == "--rects") {
      options.rects = std::atoi(value);
    } else if (arg == "--rect") {
      if (!ParseSize(value, options.rectWidth, options.rectHeight)) return false;
    } else if (arg == "--spread") {
      if (!ParseSize(value, options.spreadWidth, options.spreadHeight)) return false;
    } else if (arg == "--paint") {
      options.gtkPaints = std::strcmp(value, "gtk") == 0;
      if (!options.gtkPaints && std::strcmp(value, "own") != 0) return false;
    } else if (arg == "--format") {
      options.alpha = std::strcmp(value, "argb") == 0;
      if (!options.alpha && std::strcmp(value, "xrgb") != 0) return false;
    } else if (arg == "--surface") {
      options.layer = std::strcmp(value, "layer") == 0;
      if (!options.layer && std::strcmp(value, "toplevel") != 0) return false;
    } else {
      return false;
    }
  }
  return options.seconds > 0 && options.warmup >= 0 && options.rects > 0;
}

class Floor {
 public:
  explicit Floor(const Options& options) : options_(options) {}

  void Start() {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(window_);
    gtk_window_set_title(window, "floor");
    gtk_window_set_decorated(window, FALSE);
    gtk_widget_set_app_paintable(window_, TRUE);
    if (options_.layer && gtk_layer_is_supported() != FALSE) {
      gtk_layer_init_for_window(window);
      gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
      for (const GtkLayerShellEdge edge : {GTK_LAYER_SHELL_EDGE_LEFT, GTK_LAYER_SHELL_EDGE_RIGHT,
                                           GTK_LAYER_SHELL_EDGE_TOP, GTK_LAYER_SHELL_EDGE_BOTTOM}) {
        gtk_layer_set_anchor(window, edge, TRUE);
      }
      gtk_layer_set_exclusive_zone(window, -1);
    } else {
      gtk_window_fullscreen(window);
    }
    // GTK paints the window black when it maps it or the compositor asks; the buffers of
    // the floor's own go back on with the next frame, whole.
    g_signal_connect(window_, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer self) {
                       auto* floor = static_cast<Floor*>(self);
                       const double grey = floor->frames_ % 2 == 0 ? 1.0 : 0.25;
                       if (floor->options_.gtkPaints) {
                         cairo_set_source_rgb(cr, grey, grey, grey);
                       } else {
                         cairo_set_source_rgb(cr, 0, 0, 0);
                         floor->whole_ = true;
                       }
                       cairo_paint(cr);
                       return TRUE;
                     }),
                     this);
    g_signal_connect(window_, "map-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) {
                       // After GTK's own first commit, which gives the surface its role.
                       g_timeout_add(500, &Floor::OnMapped, self);
                       return FALSE;
                     }),
                     this);
    gtk_widget_show(window_);
  }

  // Seconds spent and CPU taken over the measurement, once it is over.
  bool done() const { return done_; }
  double wall = 0, cpu = 0;
  std::optional<double> compositorCpu;
  std::uint64_t frames = 0;
  std::uint64_t wholes = 0;  // commits that damaged the whole surface
  int width = 0, height = 0;

 private:
  struct Buffer {
    wl_buffer* buffer = nullptr;
    std::uint32_t* pixels = nullptr;
    bool busy = false;
  };

  static gboolean OnMapped(gpointer self) {
    auto* floor = static_cast<Floor*>(self);
    floor->Attach();
    return G_SOURCE_REMOVE;
  }

  // Each frame of GTK's frame clock, the rectangles invalidated; GTK paints them and
  // damages them.
  static gboolean OnTick(GtkWidget* widget, GdkFrameClock* /*clock*/, gpointer self) {
    auto* floor = static_cast<Floor*>(self);
    const int spreadWidth = std::min(
        floor->width, floor->options_.spreadWidth > 0 ? floor->options_.spreadWidth : floor->width);
    const int spreadHeight =
        std::min(floor->height,
                 floor->options_.spreadHeight > 0 ? floor->options_.spreadHeight : floor->height);
    const int w = std::min(floor->options_.rectWidth, spreadWidth);
    const int h = std::min(floor->options_.rectHeight, spreadHeight);
    for (int n = 0; n < floor->options_.rects; ++n) {
      const int x = static_cast<int>(floor->random_.Draw() * static_cast<float>(spreadWidth - w));
      const int y = static_cast<int>(floor->random_.Draw() * static_cast<float>(spreadHeight - h));
      gtk_widget_queue_draw_area(widget, x, y, w, h);
    }
    ++floor->frames_;
    return G_SOURCE_CONTINUE;
  }

  void Attach() {
    GdkWindow* gdkWindow = gtk_widget_get_window(window_);
    GdkDisplay* display = gtk_widget_get_display(window_);
    surface_ = gdk_wayland_window_get_wl_surface(gdkWindow);
    const int scale = gdk_window_get_scale_factor(gdkWindow);
    width = gdk_window_get_width(gdkWindow) * scale;
    height = gdk_window_get_height(gdkWindow) * scale;
    const cairo_rectangle_int_t whole{0, 0, gdk_window_get_width(gdkWindow),
                                      gdk_window_get_height(gdkWindow)};
    cairo_region_t* opaque = cairo_region_create_rectangle(&whole);
    gdk_window_set_opaque_region(gdkWindow, opaque);
    cairo_region_destroy(opaque);
    if (options_.gtkPaints) {
      gtk_widget_add_tick_callback(window_, &Floor::OnTick, this, nullptr);
      g_timeout_add(static_cast<guint>(options_.warmup * 1000), &Floor::OnWarm, this);
      return;
    }
    wl_registry* registry = wl_display_get_registry(gdk_wayland_display_get_wl_display(display));
    static const wl_registry_listener listener = {
        +[](void* self, wl_registry* r, std::uint32_t name, const char* interface,
            std::uint32_t /*version*/) {
          if (std::strcmp(interface, wl_shm_interface.name) == 0) {
            static_cast<Floor*>(self)->shm_ =
                static_cast<wl_shm*>(wl_registry_bind(r, name, &wl_shm_interface, 1));
          }
        },
        +[](void*, wl_registry*, std::uint32_t) {}};
    wl_registry_add_listener(registry, &listener, this);
    wl_display_roundtrip(gdk_wayland_display_get_wl_display(display));
    wl_registry_destroy(registry);
    if (shm_ == nullptr || width <= 0 || height <= 0) {
      std::fputs("wayland_floor_cost: no shared memory, or no size\n", stderr);
      std::exit(1);  // NOLINT(concurrency-mt-unsafe): one thread
    }
    for (Buffer& buffer : buffers_) Allocate(buffer);
    whole_ = true;
    Commit();
    g_timeout_add(static_cast<guint>(options_.warmup * 1000), &Floor::OnWarm, this);
  }

  void Allocate(Buffer& buffer) const {
    const std::size_t bytes =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    const int fd = memfd_create("floor", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(bytes)) != 0) std::exit(1);
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) std::exit(1);  // NOLINT(concurrency-mt-unsafe): one thread
    buffer.pixels = static_cast<std::uint32_t*>(memory);
    std::fill_n(buffer.pixels, bytes / 4, 0xFF000000U);
    wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, static_cast<std::int32_t>(bytes));
    buffer.buffer =
        wl_shm_pool_create_buffer(pool, 0, width, height, width * 4,
                                  options_.alpha ? WL_SHM_FORMAT_ARGB8888 : WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    static const wl_buffer_listener listener = {+[](void* self, wl_buffer* released) {
      auto* floor = static_cast<Floor*>(self);
      for (Buffer& b : floor->buffers_) {
        if (b.buffer == released) b.busy = false;
      }
      if (floor->waitingForBuffer_) floor->Commit();
    }};
    wl_buffer_add_listener(buffer.buffer, &listener, const_cast<Floor*>(this));
  }

  void Commit() {
    Buffer* target = nullptr;
    for (Buffer& buffer : buffers_) {
      if (!buffer.busy) {
        target = &buffer;
        break;
      }
    }
    waitingForBuffer_ = target == nullptr;
    if (target == nullptr) return;
    const int spreadWidth =
        std::min(width, options_.spreadWidth > 0 ? options_.spreadWidth : width);
    const int spreadHeight =
        std::min(height, options_.spreadHeight > 0 ? options_.spreadHeight : height);
    const int rectWidth = std::min(options_.rectWidth, spreadWidth);
    const int rectHeight = std::min(options_.rectHeight, spreadHeight);
    const std::uint32_t colour = (frames_ % 2 == 0) ? 0xFFFFFFFFU : 0xFF404040U;
    if (whole_) {
      Damage(0, 0, width, height);
      whole_ = false;
      ++wholes;
    }
    for (int n = 0; n < options_.rects; ++n) {
      const int x = static_cast<int>(random_.Draw() * static_cast<float>(spreadWidth - rectWidth));
      const int y =
          static_cast<int>(random_.Draw() * static_cast<float>(spreadHeight - rectHeight));
      for (int row = y; row < y + rectHeight; ++row) {
        std::fill_n(target->pixels + (static_cast<std::size_t>(row) * width) + x, rectWidth,
                    colour);
      }
      Damage(x, y, rectWidth, rectHeight);
    }
    wl_surface_attach(surface_, target->buffer, 0, 0);
    target->busy = true;
    wl_callback* callback = wl_surface_frame(surface_);
    static const wl_callback_listener listener = {
        +[](void* self, wl_callback* done, std::uint32_t /*time*/) {
          wl_callback_destroy(done);
          static_cast<Floor*>(self)->Commit();
        }};
    wl_callback_add_listener(callback, &listener, this);
    wl_surface_commit(surface_);
    ++frames_;
  }

  // At scale 1 a surface's own coordinates are the buffer's.
  void Damage(int x, int y, int w, int h) {
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface_)) >=
        WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
      wl_surface_damage_buffer(surface_, x, y, w, h);
    } else {
      wl_surface_damage(surface_, x, y, w, h);
    }
  }

  static gboolean OnWarm(gpointer self) {
    auto* floor = static_cast<Floor*>(self);
    floor->start_ = zb::MonotonicSeconds();
    floor->cpuStart_ = zb::OwnCpuSeconds();
    floor->compositorStart_ = zb::ProcessCpuSeconds(floor->options_.compositor);
    floor->framesStart_ = floor->frames_;
    g_timeout_add(static_cast<guint>(floor->options_.seconds * 1000), &Floor::OnEnd, self);
    return G_SOURCE_REMOVE;
  }

  static gboolean OnEnd(gpointer self) {
    auto* floor = static_cast<Floor*>(self);
    floor->wall = zb::MonotonicSeconds() - floor->start_;
    floor->cpu = zb::OwnCpuSeconds() - floor->cpuStart_;
    const auto compositorEnd = zb::ProcessCpuSeconds(floor->options_.compositor);
    if (floor->compositorStart_ && compositorEnd) {
      floor->compositorCpu = *compositorEnd - *floor->compositorStart_;
    }
    floor->frames = floor->frames_ - floor->framesStart_;
    floor->done_ = true;
    return G_SOURCE_REMOVE;
  }

  Options options_;
  GtkWidget* window_ = nullptr;
  wl_surface* surface_ = nullptr;
  wl_shm* shm_ = nullptr;
  std::array<Buffer, 2> buffers_{};
  bool whole_ = true;
  bool waitingForBuffer_ = false;
  zimoklas::animation::Pcg32 random_{7};
  std::uint64_t frames_ = 0, framesStart_ = 0;
  double start_ = 0, cpuStart_ = 0;
  std::optional<double> compositorStart_;
  bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fputs(
        "usage: wayland_floor_cost [--seconds N] [--warmup N] [--compositor PID] [--rects N]\n"
        "                          [--rect WxH] [--spread WxH] [--surface toplevel|layer]\n"
        "                          [--paint own|gtk] [--format argb|xrgb]\n",
        stderr);
    return 2;
  }
  gdk_set_allowed_backends("wayland");
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fputs("wayland_floor_cost: no Wayland compositor (WAYLAND_DISPLAY)\n", stderr);
    return 1;
  }
  Floor floor(options);
  floor.Start();
  while (!floor.done()) g_main_context_iteration(nullptr, TRUE);

  zb::Report report;
  report.Add("seconds", floor.wall, "s", "measured interval");
  report.Add("cpu_share", 100 * floor.cpu / floor.wall, "%", "floor CPU (share of one core)");
  if (floor.compositorCpu) {
    report.Add("compositor_cpu_share", 100 * *floor.compositorCpu / floor.wall, "%",
               "compositor CPU (share of one core)");
  }
  report.Add("frames_per_second", static_cast<double>(floor.frames) / floor.wall, "1/s",
             "frames committed a second");
  report.Add("whole_frames", static_cast<double>(floor.wholes), "",
             "commits that damaged the whole surface (GTK painted)");
  report.Add("damage_boxes_per_frame", options.rects, "1/frame", "damage boxes a frame");
  report.Print("wayland_floor_cost: " + std::to_string(options.rects) + " rectangles of " +
               std::to_string(options.rectWidth) + " x " + std::to_string(options.rectHeight) +
               " a frame at " + std::to_string(floor.width) + " x " + std::to_string(floor.height));
  return 0;
}

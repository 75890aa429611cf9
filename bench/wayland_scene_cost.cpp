// The running cost of the real Wayland scene, the code path of `zimoklas /s` on a
// compositor, with the spark and flake pools held full: ticks delivered a second, CPU per
// tick, the compositor's share, the delay from a tick's deadline to its drawing in the
// frame, peak RSS, heap allocations per tick, the damage each frame sends and the
// wake-ups a second. It runs in the compositor that WAYLAND_DISPLAY names (scripts/bench
// starts headless sway, gnome-shell and KWin sessions).
//
//   wayland_scene_cost [--seconds N] [--warmup N] [--compositor PID] [--surface layer|toplevel]
#include <gtk-layer-shell.h>
#include <gtk/gtk.h>
#include <sys/resource.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "platform/wayland/wayland_loop.hpp"
#include "platform/wayland/wayland_scene.hpp"
#include "platform/x11/posix_clock.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"
#include "settings/module1.hpp"
#include "support/alloc_count.hpp"
#include "support/bench_process.hpp"
#include "support/scene_measure.hpp"

using namespace zimoklas;
namespace zb = zimoklas::bench;

int main(int argc, char** argv) {
  zb::SceneOptions options;
  if (!zb::ParseSceneOptions(argc, argv, options)) {
    std::fputs("usage: wayland_scene_cost [--seconds N] [--warmup N] [--compositor PID]\n", stderr);
    return 2;
  }
  std::setlocale(LC_ALL, "");
  gdk_set_allowed_backends("wayland");
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fputs("wayland_scene_cost: no Wayland compositor (WAYLAND_DISPLAY)\n", stderr);
    return 1;
  }

  settings::MemoryStore store;
  x11::PosixClock clock;
  zb::ZeroDraws random;
  settings::Module1 module1;
  // A fullscreen toplevel where the compositor offers no layer surface (gnome-shell), as
  // the program chooses.
  wayland::SceneWindow window(options.toplevel || gtk_layer_is_supported() == FALSE, [] {});
  saver::Form1 form(window, store, clock, random, module1);
  window.Attach(&form);
  if (form.Form_Load("/s") != saver::Mode::Saver) return 1;
  window.Show();

  // Until the compositor has given the surface its output's size.
  wayland::LoopStats stats;
  if (wayland::RunSceneLoop(window, form, stats, zb::ToNanos(0.5)) != wayland::LoopEnd::TimeUp) {
    std::fputs("wayland_scene_cost: the scene ended before it was shown\n", stderr);
    return 1;
  }
  const SizeF size = window.ClientSize();
  zb::Recorder recorder(form,
                        zb::FullLoad(static_cast<int>(size.width), static_cast<int>(size.height)),
                        stats.clockTicks);
  recorder.Fill();
  stats.observer = &recorder;
  if (options.warmup > 0 &&
      wayland::RunSceneLoop(window, form, stats, zb::ToNanos(options.warmup)) !=
          wayland::LoopEnd::TimeUp) {
    std::fputs("wayland_scene_cost: the scene ended during the warm-up\n", stderr);
    return 1;
  }

  zb::DelayHistogram bare;
  zb::MeasureBareWakeUps(2.0, bare);

  const std::uint64_t framesBefore = window.damagedFrames();
  const std::uint64_t boxesBefore = window.damageBoxes();
  // Each wait the loop makes for the compositor, its timer or input is one voluntary
  // context switch.
  long wakeUps = 0;
  const std::optional<zb::SceneRun> run =
      zb::MeasureSceneRun(stats, recorder, options.compositor, [&] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        wakeUps = -usage.ru_nvcsw;
        const bool timeUp =
            wayland::RunSceneLoop(window, form, stats, zb::ToNanos(options.seconds)) ==
            wayland::LoopEnd::TimeUp;
        getrusage(RUSAGE_SELF, &usage);
        wakeUps += usage.ru_nvcsw;
        return timeUp;
      });
  if (!run) {
    std::fputs("wayland_scene_cost: the scene ended before the measurement did\n", stderr);
    return 1;
  }

  zb::Report report;
  zb::AddSceneFigures(report, *run, recorder, bare, "compositor", "");
  const auto frames = static_cast<double>(window.damagedFrames() - framesBefore);
  report.Add("frames_per_second", frames / run->wall, "1/s", "frames that sent damage, a second");
  report.Add("wake_ups_per_second", static_cast<double>(wakeUps) / run->wall, "1/s",
             "wake-ups a second (voluntary context switches)", "<= 70 at 60 Hz");
  report.Add("damage_boxes_per_frame",
             frames > 0 ? static_cast<double>(window.damageBoxes() - boxesBefore) / frames : 0,
             "1/frame", "damage boxes a frame");
  report.Print(std::string("wayland_scene_cost: the Wayland scene (") +
               (window.surfaceKind() == wayland::SurfaceKind::LayerSurface
                    ? "layer surface"
                    : "fullscreen toplevel") +
               ") at " + std::to_string(static_cast<int>(size.width)) + " x " +
               std::to_string(static_cast<int>(size.height)) + ", pools full");
  return 0;
}

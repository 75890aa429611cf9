// The running cost of the real X11 scene, the code path of `zimoklas /s`, on a virtual
// display with the spark and flake pools held full: ticks delivered a second, CPU per
// tick, the X server's share, the delay from a tick's deadline to its flushed drawing,
// peak RSS and heap allocations per tick.
//
//   scene_cost [--size WxH | --size display] [--seconds N] [--warmup N]
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/x11/posix_clock.hpp"
#include "platform/x11/x11_display.hpp"
#include "platform/x11/x11_loop.hpp"
#include "platform/x11/x11_scene.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"
#include "settings/module1.hpp"
#include "support/alloc_count.hpp"
#include "support/bench_display.hpp"
#include "support/bench_process.hpp"
#include "support/scene_measure.hpp"

using namespace zimoklas;
namespace zb = zimoklas::bench;

int main(int argc, char** argv) {
  zb::SceneOptions options;
  if (!zb::ParseSceneOptions(argc, argv, options) || options.compositor >= 0) {
    std::fputs("usage: scene_cost [--size WxH | --size display] [--seconds N] [--warmup N]\n",
               stderr);
    return 2;
  }
  std::setlocale(LC_ALL, "");
  zb::VirtualDisplay virtualDisplay(options.width, options.height);
  if (!virtualDisplay.ok()) {
    std::fprintf(stderr, "scene_cost: %s\n", virtualDisplay.error().c_str());
    return 1;
  }
  x11::EndingSignals signals;
  Display* display = x11::OpenDisplay();
  if (display == nullptr) {
    std::fprintf(stderr, "scene_cost: cannot open %s\n", virtualDisplay.name().c_str());
    return 1;
  }

  settings::MemoryStore store;
  x11::PosixClock clock;
  zb::ZeroDraws random;
  settings::Module1 module1;
  x11::SceneWindow window(display, [] {});
  saver::Form1 form(window, store, clock, random, module1);
  window.Attach(&form);
  if (form.Form_Load("/s") != saver::Mode::Saver) return 1;
  window.Show();

  const SizeF size = window.ClientSize();
  x11::LoopStats stats;
  zb::Recorder recorder(form,
                        zb::FullLoad(static_cast<int>(size.width), static_cast<int>(size.height)),
                        stats.clockTicks);
  recorder.Fill();
  stats.observer = &recorder;
  if (options.warmup > 0 &&
      x11::RunSceneLoop(window, form, signals, stats, zb::ToNanos(options.warmup)) !=
          x11::LoopEnd::TimeUp) {
    std::fputs("scene_cost: the scene ended during the warm-up\n", stderr);
    return 1;
  }

  // Between the warm-up and the measurement, so that the scene's window stays mapped.
  zb::DelayHistogram bare;
  zb::MeasureBareWakeUps(2.0, bare);

  const std::optional<zb::SceneRun> run =
      zb::MeasureSceneRun(stats, recorder, virtualDisplay.server(), [&] {
        return x11::RunSceneLoop(window, form, signals, stats, zb::ToNanos(options.seconds)) ==
               x11::LoopEnd::TimeUp;
      });
  if (!run) {
    std::fputs("scene_cost: the scene ended before the measurement did\n", stderr);
    return 1;
  }

  zb::Report report;
  zb::AddSceneFigures(report, *run, recorder, bare, "X server", "<= 5 (6 at 4K)");
  report.Add("requests_per_tick", static_cast<double>(window.pixels().lastRequests()), "1/tick",
             "X requests of the last tick's pixels");
  report.Print("scene_cost: the X11 scene at " + std::to_string(static_cast<int>(size.width)) +
               " x " + std::to_string(static_cast<int>(size.height)) + " on " +
               virtualDisplay.name() + ", pools full");
  return 0;
}

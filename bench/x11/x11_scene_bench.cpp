// Runs the native scene on the display for a while and reports what it cost: animation
// ticks delivered a second, the program's CPU (getrusage), the X server's CPU (from
// /proc/<pid>/stat, when its PID is given) and the program's peak RSS.
// Usage: x11_scene_bench [--seconds N] [--full-load] [--server-pid PID]
// With --full-load the pools stay full: 500 sparks and 1500 flakes, put back every 64
// ticks before any flake reaches the bottom.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "animation/random.hpp"
#include "animation/tick.hpp"
#include "platform/headless/full_load.hpp"
#include "platform/x11/posix_clock.hpp"
#include "platform/x11/x11_display.hpp"
#include "platform/x11/x11_loop.hpp"
#include "platform/x11/x11_scene.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"
#include "settings/module1.hpp"

namespace {

using namespace zimoklas;

// User and system time of a process in seconds, from /proc/<pid>/stat; -1 when unreadable.
double ProcessCpuSeconds(long pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double utime = 0, stime = 0;
  // After the name: state is field 3; utime and stime are fields 14 and 15.
  for (int n = 3; n <= 15 && fields >> field; ++n) {
    if (n == 14) utime = std::strtod(field.c_str(), nullptr);
    if (n == 15) stime = std::strtod(field.c_str(), nullptr);
  }
  return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 20;
  bool fullLoad = false;
  long serverPid = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::strtod(argv[++i], nullptr);
    } else if (arg == "--full-load") {
      fullLoad = true;
    } else if (arg == "--server-pid" && i + 1 < argc) {
      serverPid = std::strtol(argv[++i], nullptr, 10);
    } else {
      std::fprintf(stderr,
                   "usage: x11_scene_bench [--seconds N] [--full-load] [--server-pid PID]\n");
      return 2;
    }
  }

  const x11::EndingSignals signals;
  Display* display = x11::OpenDisplay();
  if (display == nullptr) {
    std::fprintf(stderr, "x11_scene_bench: cannot open the display\n");
    return 1;
  }
  settings::MemoryStore store;
  x11::PosixClock clock;
  animation::Pcg32 random;
  settings::Module1 module;
  x11::SceneWindow window(display, [] {});
  saver::Form1 form(window, store, clock, random, module);
  window.Attach(&form);
  form.Form_Load("/s");
  window.Show();

  const auto start = headless::FullLoad();
  auto state = std::make_unique<animation::AnimationState>(*start);
  headless::FullLoadDraws draws;
  int ticks = 0;
  const auto animateFull = [&](x11::PixelBatch& pixels) {
    const SizeF size = window.ClientSize();
    animation::Tick(*state, draws, pixels, {size.width, size.height});
    if (++ticks == 64) {
      ticks = 0;
      *state = *start;
    }
  };

  const double cpuBefore = OwnCpuSeconds();
  const double serverBefore = serverPid > 0 ? ProcessCpuSeconds(serverPid) : -1;
  const auto wallStart = std::chrono::steady_clock::now();
  x11::LoopStats stats;
  x11::RunSceneLoop(
      window, form, signals, stats,
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds)),
      fullLoad ? std::function<void(x11::PixelBatch&)>(animateFull)
               : std::function<void(x11::PixelBatch&)>());
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  const double cpu = OwnCpuSeconds() - cpuBefore;
  const double server = serverPid > 0 ? ProcessCpuSeconds(serverPid) - serverBefore : -1;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);

  std::printf("scene %.0f x %.0f, %s, %.1f s\n", window.ClientSize().width,
              window.ClientSize().height, fullLoad ? "full pools" : "normal animation", wall);
  std::printf("ticks/s        %.1f (%llu ticks, %llu skipped after stalls)\n",
              static_cast<double>(stats.ticks) / wall, static_cast<unsigned long long>(stats.ticks),
              static_cast<unsigned long long>(stats.skipped));
  std::printf("saver CPU      %.2f %% of a core, %.1f us a tick\n", 100.0 * cpu / wall,
              1e6 * cpu / static_cast<double>(stats.ticks));
  if (server >= 0) std::printf("X server CPU   %.2f %% of a core\n", 100.0 * server / wall);
  std::printf("peak RSS       %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
  form.Unload();
  return 0;
}

// The floor under any design that draws 200 ticks a second on X11: a bare program that
// wakes every 5 ms on absolute deadlines and sends as many points a tick as the scene
// with full pools does (500 sparks and 1500 flakes, each erased and drawn: 4000), in two
// colours with one flush, and animates nothing. What the scene costs above it is the
// scene's own.
//
//   floor_cost [--size WxH] [--seconds N] [--points N]
#include <X11/Xlib.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "animation/random.hpp"
#include "support/bench_display.hpp"
#include "support/bench_process.hpp"
#include "support/bench_report.hpp"

namespace zb = zimoklas::bench;

namespace {

constexpr long kPeriod = 5000000;  // ns

void Advance(timespec& t) {
  t.tv_nsec += kPeriod;
  if (t.tv_nsec >= 1000000000) {
    t.tv_nsec -= 1000000000;
    ++t.tv_sec;
  }
}

}  // namespace

int main(int argc, char** argv) {
  int width = 1920, height = 1080, points = 4000;
  double seconds = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--size") == 0) {
      if (std::sscanf(argv[i + 1], "%dx%d", &width, &height) != 2) width = 0;
    } else if (std::strcmp(argv[i], "--seconds") == 0) {
      seconds = std::atof(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--points") == 0) {
      points = std::atoi(argv[i + 1]);
    } else {
      width = 0;
    }
  }
  if (argc % 2 == 0 || width <= 0 || height <= 0 || seconds <= 0 || points <= 0) {
    std::fputs("usage: floor_cost [--size WxH] [--seconds N] [--points N]\n", stderr);
    return 2;
  }
  zb::VirtualDisplay virtualDisplay(width, height);
  Display* display = virtualDisplay.ok() ? XOpenDisplay(nullptr) : nullptr;
  if (display == nullptr) {
    std::fprintf(stderr, "floor_cost: no display: %s\n", virtualDisplay.error().c_str());
    return 1;
  }
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 0, 0, 0);
  XMapRaised(display, window);
  XSync(display, False);
  GC gc = XCreateGC(display, window, 0, nullptr);

  // Two sets of points, so that what one tick draws the next one erases elsewhere.
  zimoklas::animation::Pcg32 random(3);
  std::array<std::vector<XPoint>, 2> sets;
  for (std::vector<XPoint>& set : sets) {
    set.resize(static_cast<std::size_t>(points / 2));
    for (XPoint& p : set) {
      p = {static_cast<short>(random.Draw() * static_cast<float>(width)),
           static_cast<short>(random.Draw() * static_cast<float>(height))};
    }
  }

  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  const double start = zb::MonotonicSeconds();
  const double cpuStart = zb::OwnCpuSeconds();
  const auto serverStart = zb::ProcessCpuSeconds(virtualDisplay.server());
  std::uint64_t ticks = 0;
  while (zb::MonotonicSeconds() - start < seconds) {
    Advance(next);
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    const std::vector<XPoint>& erase = sets[ticks % 2];
    const std::vector<XPoint>& draw = sets[(ticks + 1) % 2];
    XSetForeground(display, gc, 0);
    XDrawPoints(display, window, gc, const_cast<XPoint*>(erase.data()),
                static_cast<int>(erase.size()), CoordModeOrigin);
    XSetForeground(display, gc, 0xFFFFFF);
    XDrawPoints(display, window, gc, const_cast<XPoint*>(draw.data()),
                static_cast<int>(draw.size()), CoordModeOrigin);
    XFlush(display);
    ++ticks;
  }
  const double wall = zb::MonotonicSeconds() - start;
  const double cpu = zb::OwnCpuSeconds() - cpuStart;
  const auto serverEnd = zb::ProcessCpuSeconds(virtualDisplay.server());

  zb::Report report;
  report.Add("ticks_per_second", static_cast<double>(ticks) / wall, "1/s",
             "ticks delivered a second");
  report.Add("cpu_per_tick", cpu / static_cast<double>(ticks) * 1e6, "us",
             "floor CPU per tick (user + sys)");
  report.Add("cpu_share", 100 * cpu / wall, "%", "floor CPU (share of one core)");
  if (serverStart && serverEnd) {
    report.Add("xserver_cpu_share", 100 * (*serverEnd - *serverStart) / wall, "%",
               "X server CPU (share of one core)");
  }
  report.Add("points_per_tick", points, "1/tick", "points sent a tick");
  report.Print("floor_cost: " + std::to_string(points) + " points every 5 ms at " +
               std::to_string(width) + " x " + std::to_string(height) + " on " +
               virtualDisplay.name());
  XFreeGC(display, gc);
  XCloseDisplay(display);
  return 0;
}

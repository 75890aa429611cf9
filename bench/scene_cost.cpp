// The running cost of the real X11 scene, the code path of `zimoklas /s`, on a virtual
// display with the spark and flake pools held full: ticks delivered a second, CPU per
// tick, the X server's share, the delay from a tick's deadline to its flushed drawing,
// peak RSS and heap allocations per tick.
//
//   scene_cost [--size WxH | --size display] [--seconds N] [--warmup N]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "animation/animation_state.hpp"
#include "animation/random.hpp"
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
#include "support/bench_report.hpp"

namespace {

using namespace zimoklas;
namespace zb = zimoklas::bench;
using Nanos = std::chrono::nanoseconds;

// Every draw 0: no rocket launches and no spark dies, so the pools stay as they are set.
class ZeroDraws final : public animation::RandomSource {
 public:
  void Seed(std::uint64_t /*seed*/) override {}
  float Draw() override { return 0.0f; }
};

// 500 sparks in two 250-spark bursts at a third and two thirds of the width, and 1500
// flakes over the top two thirds of the screen, with every speed.
animation::AnimationState FullLoad(int width, int height) {
  animation::AnimationState s;
  animation::Pcg32 random(7);
  s.FireworkColour = static_cast<float>(MakeColour(255, 200, 40));
  s.SnowColour = 0xFFFFFF;
  for (std::size_t i = 0; i < animation::kSparkSlots; ++i) {
    const double angle = random.Draw() * 6.283185307179586;
    const double speed = random.Draw() * 7 + 1;
    s.Sparks[i] = {kTrue,
                   width * (i < 250 ? 1.0 : 2.0) / 3.0,
                   height * 0.4,
                   speed * std::sin(angle),
                   speed * std::cos(angle),
                   0};
  }
  for (animation::Flake& flake : s.Flakes) {
    flake = {kTrue, std::floor(random.Draw() * width), std::floor(random.Draw() * height * 0.6),
             random.Draw() * 4.0 + 1.0};
  }
  return s;
}

// Delays in 1 us steps up to 100 ms; later ones count as 100 ms. Allocated up front.
class DelayHistogram {
 public:
  static constexpr std::size_t kBuckets = 100000;

  DelayHistogram() : counts_(kBuckets, 0) {}
  void Add(Nanos delay) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(delay).count();
    ++counts_[static_cast<std::size_t>(std::clamp<std::int64_t>(micros, 0, kBuckets - 1))];
    ++total_;
  }
  void Clear() {
    std::fill(counts_.begin(), counts_.end(), 0);
    total_ = 0;
  }
  // The delay that the given share of ticks stay within, in milliseconds.
  double Quantile(double share) const {
    const auto wanted = static_cast<std::uint64_t>(std::ceil(share * static_cast<double>(total_)));
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < kBuckets; ++i) {
      seen += counts_[i];
      if (seen >= wanted && seen > 0) return static_cast<double>(i + 1) / 1000.0;
    }
    return 0;
  }

 private:
  std::vector<std::uint64_t> counts_;
  std::uint64_t total_ = 0;
};

// Records each tick's delays, counts the allocations between ticks apart from those of
// the once-a-second clock tick, and puts the full pools back every few ticks, before
// the flakes reach the bottom or the sparks leave the screen.
class Recorder final : public x11::TickObserver {
 public:
  static constexpr int kTicksPerRound = 32;

  Recorder(saver::Form1& form, const animation::AnimationState& full, const x11::LoopStats& stats)
      : form_(form), full_(full), stats_(stats) {}

  void AfterTick(Nanos deadline, Nanos woke, Nanos drawn) override {
    drawn_.Add(drawn - deadline);
    woke_.Add(woke - deadline);
    work_.Add(drawn - woke);
    // Everything since the last tick: the events, a clock tick if one was due, this tick.
    const std::uint64_t allocations = zb::OperatorNewCalls();
    if (stats_.clockTicks == clockTicks_) {
      tickAllocations_ += allocations - allocations_;
    } else {
      clockAllocations_ += allocations - allocations_;
    }
    allocations_ = allocations;
    clockTicks_ = stats_.clockTicks;
    if (++round_ == kTicksPerRound) {
      round_ = 0;
      Fill();
    }
  }

  void Fill() { form_.animationForBenchmark() = full_; }
  void Start() {
    drawn_.Clear();
    woke_.Clear();
    work_.Clear();
    allocations_ = zb::OperatorNewCalls();
    clockTicks_ = stats_.clockTicks;
    tickAllocations_ = clockAllocations_ = 0;
  }
  const DelayHistogram& drawn() const { return drawn_; }
  const DelayHistogram& woke() const { return woke_; }
  const DelayHistogram& work() const { return work_; }
  std::uint64_t tickAllocations() const { return tickAllocations_; }
  std::uint64_t clockAllocations() const { return clockAllocations_; }

 private:
  saver::Form1& form_;
  const animation::AnimationState& full_;
  const x11::LoopStats& stats_;
  DelayHistogram drawn_;
  DelayHistogram woke_;
  DelayHistogram work_;
  std::uint64_t allocations_ = 0;
  std::uint64_t clockTicks_ = 0;
  std::uint64_t tickAllocations_ = 0;
  std::uint64_t clockAllocations_ = 0;
  int round_ = 0;
};

bool Parse(int argc, char** argv, int& width, int& height, double& seconds, double& warmup) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const char* value = argv[i + 1];
    if (std::strcmp(argv[i], "--size") == 0) {
      if (std::strcmp(value, "display") == 0) {
        width = height = 0;
      } else if (std::sscanf(value, "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
        return false;
      }
    } else if (std::strcmp(argv[i], "--seconds") == 0) {
      seconds = std::atof(value);
    } else if (std::strcmp(argv[i], "--warmup") == 0) {
      warmup = std::atof(value);
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && seconds > 0 && warmup >= 0;
}

// The machine's own wake-up delay, for comparison: a process that does nothing but sleep
// to the same 5 ms absolute deadlines, for `seconds`.
void MeasureBareWakeUps(double seconds, DelayHistogram& delays) {
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  const auto toNanos = [](const timespec& t) {
    return std::chrono::seconds(t.tv_sec) + Nanos(t.tv_nsec);
  };
  const Nanos end = toNanos(next) + Nanos(static_cast<std::int64_t>(seconds * 1e9));
  for (;;) {
    next.tv_nsec += 5000000;
    if (next.tv_nsec >= 1000000000) {
      next.tv_nsec -= 1000000000;
      ++next.tv_sec;
    }
    if (toNanos(next) >= end) return;
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    delays.Add(toNanos(now) - toNanos(next));
  }
}

Nanos ToNanos(double seconds) {
  return Nanos(static_cast<std::int64_t>(seconds * 1e9));
}

}  // namespace

int main(int argc, char** argv) {
  int width = 1920;
  int height = 1080;
  double seconds = 20;
  double warmup = 2;
  if (!Parse(argc, argv, width, height, seconds, warmup)) {
    std::fputs("usage: scene_cost [--size WxH | --size display] [--seconds N] [--warmup N]\n",
               stderr);
    return 2;
  }
  std::setlocale(LC_ALL, "");
  zb::VirtualDisplay virtualDisplay(width, height);
  if (!virtualDisplay.ok()) {
    std::fprintf(stderr, "scene_cost: %s\n", virtualDisplay.error().c_str());
    return 1;
  }
  const x11::EndingSignals signals;
  Display* display = x11::OpenDisplay();
  if (display == nullptr) {
    std::fprintf(stderr, "scene_cost: cannot open %s\n", virtualDisplay.name().c_str());
    return 1;
  }

  settings::MemoryStore store;
  x11::PosixClock clock;
  ZeroDraws random;
  settings::Module1 module1;
  x11::SceneWindow window(display, [] {});
  saver::Form1 form(window, store, clock, random, module1);
  window.Attach(&form);
  if (form.Form_Load("/s") != saver::Mode::Saver) return 1;
  window.Show();

  const SizeF size = window.ClientSize();
  const animation::AnimationState full =
      FullLoad(static_cast<int>(size.width), static_cast<int>(size.height));
  x11::LoopStats stats;
  Recorder recorder(form, full, stats);
  recorder.Fill();
  stats.observer = &recorder;
  if (warmup > 0 &&
      x11::RunSceneLoop(window, form, signals, stats, ToNanos(warmup)) != x11::LoopEnd::TimeUp) {
    std::fputs("scene_cost: the scene ended during the warm-up\n", stderr);
    return 1;
  }

  // Between the warm-up and the measurement, so that the scene's window stays mapped.
  DelayHistogram bare;
  MeasureBareWakeUps(2.0, bare);

  const x11::LoopStats before = stats;
  const double start = zb::MonotonicSeconds();
  const double cpuStart = zb::OwnCpuSeconds();
  const auto serverStart = zb::ProcessCpuSeconds(virtualDisplay.server());
  // Last, as reading /proc allocates.
  recorder.Start();
  const std::uint64_t mallocStart = zb::MallocCalls();
  const x11::LoopEnd end = x11::RunSceneLoop(window, form, signals, stats, ToNanos(seconds));
  const std::uint64_t mallocCalls = zb::MallocCalls() - mallocStart;
  const double cpu = zb::OwnCpuSeconds() - cpuStart;
  const auto serverEnd = zb::ProcessCpuSeconds(virtualDisplay.server());
  const double wall = zb::MonotonicSeconds() - start;
  stats.ticks -= before.ticks;
  stats.skipped -= before.skipped;
  stats.clockTicks -= before.clockTicks;
  if (end != x11::LoopEnd::TimeUp || stats.ticks == 0) {
    std::fputs("scene_cost: the scene ended before the measurement did\n", stderr);
    return 1;
  }

  const auto ticks = static_cast<double>(stats.ticks);
  zb::Report report;
  report.Add("seconds", wall, "s", "measured interval");
  report.Add("ticks_per_second", ticks / wall, "1/s", "ticks delivered a second", ">= 198");
  report.Add("skipped_ticks", static_cast<double>(stats.skipped), "ticks",
             "ticks given up after a stall");
  report.Add("cpu_per_tick", cpu / ticks * 1e6, "us", "saver CPU per tick (user + sys)",
             "<= 150 (200 at 4K)");
  report.Add("cpu_share", 100 * cpu / wall, "%", "saver CPU (share of one core)");
  if (serverStart && serverEnd) {
    report.Add("xserver_cpu_share", 100 * (*serverEnd - *serverStart) / wall, "%",
               "X server CPU (share of one core)", "<= 5 (6 at 4K)");
  }
  report.Add("delay_p99", recorder.drawn().Quantile(0.99), "ms", "p99 deadline-to-drawn delay",
             "<= 2");
  report.Add("delay_max", recorder.drawn().Quantile(1.0), "ms", "max deadline-to-drawn delay");
  report.Add("wake_p99", recorder.woke().Quantile(0.99), "ms", "p99 deadline-to-wake-up delay");
  report.Add("work_median", recorder.work().Quantile(0.5) * 1000, "us",
             "median tick from wake-up to drawn (animation, pixels, flush)");
  report.Add("bare_wake_p99", bare.Quantile(0.99), "ms",
             "p99 wake-up delay of a bare 5 ms sleeper (the machine's)");
  report.Add("peak_rss", static_cast<double>(zb::PeakRssBytes(getpid()).value_or(0)) / 1048576.0,
             "MB", "peak RSS", "<= 20 (30 at 4K)");
  report.Add("heap_allocations_per_tick", static_cast<double>(recorder.tickAllocations()) / ticks,
             "1/tick", "heap allocations per tick (operator new)", "0");
  report.Add("heap_allocations_per_clock_tick",
             static_cast<double>(recorder.clockAllocations()) /
                 static_cast<double>(std::max<std::uint64_t>(stats.clockTicks, 1)),
             "1/s", "heap allocations per clock tick (once a second)");
  report.Add("malloc_calls_per_tick", static_cast<double>(mallocCalls) / ticks, "1/tick",
             "malloc calls per tick (Xlib, Pango, cairo too)");
  report.Add("requests_per_tick", static_cast<double>(window.pixels().lastRequests()), "1/tick",
             "X requests of the last tick's pixels");
  report.Print("scene_cost: the X11 scene at " + std::to_string(static_cast<int>(size.width)) +
               " x " + std::to_string(static_cast<int>(size.height)) + " on " +
               virtualDisplay.name() + ", pools full");
  return 0;
}

// What the scene benchmarks share, on X11 and on Wayland alike: the pools held full at a
// screen's size, delay histograms, the recorder of each tick, the command line, the
// machine's own wake-up delay and the figures they print.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "animation/animation_state.hpp"
#include "animation/random.hpp"
#include "saver/form1.hpp"
#include "saver/tick_schedule.hpp"
#include "support/alloc_count.hpp"
#include "support/bench_process.hpp"
#include "support/bench_report.hpp"

namespace zimoklas::bench {

using Nanos = std::chrono::nanoseconds;

// Every draw 0: no rocket launches and no spark dies, so the pools stay as they are set.
class ZeroDraws final : public animation::RandomSource {
 public:
  void Seed(std::uint64_t /*seed*/) override {}
  float Draw() override { return 0.0f; }
};

// 500 sparks in two 250-spark bursts at a third and two thirds of the width, and 1500
// flakes over the top two thirds of the screen, with every speed.
animation::AnimationState FullLoad(int width, int height);

// Delays in 1 us steps up to 100 ms; later ones count as 100 ms. Allocated up front.
class DelayHistogram {
 public:
  static constexpr std::size_t kBuckets = 100000;

  DelayHistogram() : counts_(kBuckets, 0) {}
  void Add(Nanos delay);
  void Clear();
  // The delay that the given share of ticks stay within, in milliseconds.
  double Quantile(double share) const;

 private:
  std::vector<std::uint64_t> counts_;
  std::uint64_t total_ = 0;
};

// Records each tick's delays, counts the allocations between ticks apart from those of
// the once-a-second clock tick (`clockTicks` is the loop's count), and puts the full
// pools back every few ticks, before the flakes reach the bottom or the sparks leave
// the screen.
class Recorder final : public saver::TickObserver {
 public:
  static constexpr int kTicksPerRound = 32;

  Recorder(saver::Form1& form, const animation::AnimationState& full,
           const std::uint64_t& clockTicks)
      : form_(form), full_(full), clockTicks_(clockTicks) {}

  void AfterTick(Nanos deadline, Nanos woke, Nanos drawn) override;
  void Fill() { form_.animationForBenchmark() = full_; }
  // Forgets what was recorded so far.
  void Start();
  const DelayHistogram& drawn() const { return drawn_; }
  const DelayHistogram& woke() const { return woke_; }
  const DelayHistogram& work() const { return work_; }
  std::uint64_t tickAllocations() const { return tickAllocations_; }
  std::uint64_t clockAllocations() const { return clockAllocations_; }

 private:
  saver::Form1& form_;
  animation::AnimationState full_;
  const std::uint64_t& clockTicks_;
  DelayHistogram drawn_;
  DelayHistogram woke_;
  DelayHistogram work_;
  std::uint64_t allocations_ = 0;
  std::uint64_t seenClockTicks_ = 0;
  std::uint64_t tickAllocations_ = 0;
  std::uint64_t clockAllocations_ = 0;
  int round_ = 0;
};

struct SceneOptions {
  int width = 1920;  // 0 x 0: the display as it is
  int height = 1080;
  double seconds = 20;
  double warmup = 2;
  int compositor = -1;    // --compositor PID: whose CPU to read (Wayland)
  bool toplevel = false;  // --surface toplevel: the fallback surface (Wayland)
};
// --size WxH | --size display, --seconds N, --warmup N, --compositor PID,
// --surface layer|toplevel.
bool ParseSceneOptions(int argc, char** argv, SceneOptions& options);

// The machine's own wake-up delay, for comparison: a process that does nothing but sleep
// to the same 5 ms absolute deadlines, for `seconds`.
void MeasureBareWakeUps(double seconds, DelayHistogram& delays);

Nanos ToNanos(double seconds);

// What one measured interval of a scene gave.
struct SceneRun {
  double wall = 0;                  // seconds
  double cpu = 0;                   // the saver's CPU seconds
  std::optional<double> serverCpu;  // the display server's CPU seconds
  std::uint64_t ticks = 0, skipped = 0, clockTicks = 0;
  std::uint64_t mallocCalls = 0;
};

// Measures one run of a scene's loop. `run` runs the loop for the measurement and says
// whether it lasted until its time was up; `stats` are that loop's counters (ticks,
// skipped, clockTicks) and `server` the display server's process. Nothing when the scene
// ended early or ran no tick.
template <class Stats, class Run>
std::optional<SceneRun> MeasureSceneRun(const Stats& stats, Recorder& recorder, pid_t server,
                                        Run run) {
  const Stats before = stats;
  const double start = MonotonicSeconds();
  const double cpuStart = OwnCpuSeconds();
  const auto serverStart = ProcessCpuSeconds(server);
  // Last, as reading /proc allocates.
  recorder.Start();
  const std::uint64_t mallocStart = MallocCalls();
  const bool timeUp = run();
  SceneRun result;
  result.mallocCalls = MallocCalls() - mallocStart;
  result.cpu = OwnCpuSeconds() - cpuStart;
  const auto serverEnd = ProcessCpuSeconds(server);
  result.wall = MonotonicSeconds() - start;
  result.ticks = stats.ticks - before.ticks;
  result.skipped = stats.skipped - before.skipped;
  result.clockTicks = stats.clockTicks - before.clockTicks;
  if (!timeUp || result.ticks == 0) return std::nullopt;
  if (serverStart && serverEnd) result.serverCpu = *serverEnd - *serverStart;
  return result;
}

// The figures both scenes print, from ticks a second to allocations per clock tick.
// `server` names the display server ("X server", "compositor") and `serverTarget` its
// share's target.
void AddSceneFigures(Report& report, const SceneRun& run, const Recorder& recorder,
                     const DelayHistogram& bare, const std::string& server,
                     const std::string& serverTarget);

}  // namespace zimoklas::bench

// The scene benchmarks' shared measuring parts.
#include "support/scene_measure.hpp"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/alloc_count.hpp"
#include "support/bench_process.hpp"

namespace zimoklas::bench {

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

void DelayHistogram::Add(Nanos delay) {
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(delay).count();
  ++counts_[static_cast<std::size_t>(std::clamp<std::int64_t>(micros, 0, kBuckets - 1))];
  ++total_;
}

void DelayHistogram::Clear() {
  std::fill(counts_.begin(), counts_.end(), 0);
  total_ = 0;
}

double DelayHistogram::Quantile(double share) const {
  const auto wanted = static_cast<std::uint64_t>(std::ceil(share * static_cast<double>(total_)));
  std::uint64_t seen = 0;
  for (std::size_t i = 0; i < kBuckets; ++i) {
    seen += counts_[i];
    if (seen >= wanted && seen > 0) return static_cast<double>(i + 1) / 1000.0;
  }
  return 0;
}

void Recorder::AfterTick(Nanos deadline, Nanos woke, Nanos drawn) {
  drawn_.Add(drawn - deadline);
  woke_.Add(woke - deadline);
  work_.Add(drawn - woke);
  // Everything since the last tick: the events, a clock tick if one was due, this tick.
  const std::uint64_t allocations = OperatorNewCalls();
  if (clockTicks_ == seenClockTicks_) {
    tickAllocations_ += allocations - allocations_;
  } else {
    clockAllocations_ += allocations - allocations_;
  }
  allocations_ = allocations;
  seenClockTicks_ = clockTicks_;
  if (++round_ == kTicksPerRound) {
    round_ = 0;
    Fill();
  }
}

void Recorder::Start() {
  drawn_.Clear();
  woke_.Clear();
  work_.Clear();
  allocations_ = OperatorNewCalls();
  seenClockTicks_ = clockTicks_;
  tickAllocations_ = clockAllocations_ = 0;
}

bool ParseSceneOptions(int argc, char** argv, SceneOptions& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const char* value = argv[i + 1];
    if (std::strcmp(argv[i], "--size") == 0) {
      if (std::strcmp(value, "display") == 0) {
        options.width = options.height = 0;
      } else if (std::sscanf(value, "%dx%d", &options.width, &options.height) != 2 ||
                 options.width <= 0 || options.height <= 0) {
        return false;
      }
    } else if (std::strcmp(argv[i], "--seconds") == 0) {
      options.seconds = std::atof(value);
    } else if (std::strcmp(argv[i], "--warmup") == 0) {
      options.warmup = std::atof(value);
    } else if (std::strcmp(argv[i], "--surface") == 0) {
      options.toplevel = std::strcmp(value, "toplevel") == 0;
    } else if (std::strcmp(argv[i], "--compositor") == 0) {
      options.compositor = std::atoi(value);
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && options.seconds > 0 && options.warmup >= 0;
}

void MeasureBareWakeUps(double seconds, DelayHistogram& delays) {
  timespec next{};
  clock_gettime(CLOCK_MONOTONIC, &next);
  const auto toNanos = [](const timespec& t) {
    return std::chrono::seconds(t.tv_sec) + Nanos(t.tv_nsec);
  };
  const Nanos end = toNanos(next) + ToNanos(seconds);
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

void AddSceneFigures(Report& report, const SceneRun& run, const Recorder& recorder,
                     const DelayHistogram& bare, const std::string& server,
                     const std::string& serverTarget) {
  const auto ticks = static_cast<double>(run.ticks);
  report.Add("seconds", run.wall, "s", "measured interval");
  report.Add("ticks_per_second", ticks / run.wall, "1/s", "ticks delivered a second", ">= 198");
  report.Add("skipped_ticks", static_cast<double>(run.skipped), "ticks",
             "ticks given up after a stall");
  report.Add("cpu_per_tick", run.cpu / ticks * 1e6, "us", "saver CPU per tick (user + sys)",
             "<= 150 (200 at 4K)");
  report.Add("cpu_share", 100 * run.cpu / run.wall, "%", "saver CPU (share of one core)");
  if (run.serverCpu) {
    report.Add("xserver_cpu_share", 100 * *run.serverCpu / run.wall, "%",
               server + " CPU (share of one core)", serverTarget);
  }
  report.Add("delay_p99", recorder.drawn().Quantile(0.99), "ms", "p99 deadline-to-drawn delay",
             "<= 2");
  report.Add("delay_max", recorder.drawn().Quantile(1.0), "ms", "max deadline-to-drawn delay");
  report.Add("wake_p99", recorder.woke().Quantile(0.99), "ms", "p99 deadline-to-wake-up delay");
  report.Add("work_median", recorder.work().Quantile(0.5) * 1000, "us",
             "median tick from wake-up to drawn");
  report.Add("bare_wake_p99", bare.Quantile(0.99), "ms",
             "p99 wake-up delay of a bare 5 ms sleeper (the machine's)");
  report.Add("peak_rss", static_cast<double>(PeakRssBytes(getpid()).value_or(0)) / 1048576.0, "MB",
             "peak RSS", "<= 20 (30 at 4K)");
  report.Add("heap_allocations_per_tick", static_cast<double>(recorder.tickAllocations()) / ticks,
             "1/tick", "heap allocations per tick (operator new)", "0");
  report.Add("heap_allocations_per_clock_tick",
             static_cast<double>(recorder.clockAllocations()) /
                 static_cast<double>(std::max<std::uint64_t>(run.clockTicks, 1)),
             "1/s", "heap allocations per clock tick (once a second)");
  report.Add("malloc_calls_per_tick", static_cast<double>(run.mallocCalls) / ticks, "1/tick",
             "malloc calls per tick (libraries too)");
}

}  // namespace zimoklas::bench

// The scene's two timers together, as every backend's loop runs them: which one goes
// first when both are due, how late an animation tick may be before it is a stall, and
// what the statistics learn of each run.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "animation/pixel_sink.hpp"
#include "saver/form1.hpp"
#include "saver/tick_schedule.hpp"

namespace zimoklas::saver {

// What the timers have run, for the program's statistics and the benchmarks.
struct TimerStats {
  std::uint64_t ticks = 0;       // animation ticks run
  std::uint64_t skipped = 0;     // ticks given up after a stall
  std::uint64_t clockTicks = 0;  // clock ticks run
  // Told about each animation tick once its drawing has been handed on.
  TickObserver* observer = nullptr;
};

enum class TimerRun : std::uint8_t { Neither, Animation, Clock };

class SceneTimers {
 public:
  using Nanos = std::chrono::nanoseconds;

  // Both timers' first deadlines are one period after `start`.
  explicit SceneTimers(Nanos start)
      : ticks_(Form1::kTimer1Interval, start, kStallPeriods * Nanos(Form1::kTimer1Interval)),
        clockTicks_(Form1::kTimer2Interval, start, Nanos::zero()) {}

  // The earliest deadline of the two.
  Nanos next() const { return std::min(ticks_.next(), clockTicks_.next()); }

  // Runs at most one timer that is due at `now`, so that input and drawing get their
  // turn between late ticks. The animation tick goes first: a clock tick never delays
  // it. An animation tick more than kStallPeriods late gives up the missed ones; a late
  // clock tick runs once and its next deadline is a second after `now`. `handOn(run)`
  // passes the run's drawing on; `readClock()` gives the monotonic time for the
  // observer once it has.
  template <animation::PixelSink Sink, typename HandOn, typename ReadClock>
  TimerRun RunDue(Form1& form, Sink& sink, Nanos now, TimerStats& stats, HandOn&& handOn,
                  ReadClock&& readClock) {
    if (ticks_.Due(now)) {
      form.Timer1_Timer(sink);
      handOn(TimerRun::Animation);
      ++stats.ticks;
      if (stats.observer != nullptr) stats.observer->AfterTick(ticks_.next(), now, readClock());
      stats.skipped += ticks_.Advance(now);
      return TimerRun::Animation;
    }
    if (clockTicks_.Due(now)) {
      form.Timer2_Timer();
      handOn(TimerRun::Clock);
      ++stats.clockTicks;
      clockTicks_.Advance(now);
      return TimerRun::Clock;
    }
    return TimerRun::Neither;
  }

 private:
  TickSchedule ticks_;
  TickSchedule clockTicks_;
};

}  // namespace zimoklas::saver

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

// Where the compositor paces the animation with its frames, ticks later than this many
// periods at a frame are given up: a compositor down to 20 frames a second still gets
// every tick, and one that asked for no frame for a while (an output switched off) gets
// no burst of catch-up ticks.
inline constexpr int kFrameStallPeriods = 10;

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
    if (RunClock(form, now, stats)) {
      handOn(TimerRun::Clock);
      return TimerRun::Clock;
    }
    return TimerRun::Neither;
  }

  // At a frame the compositor asked for: runs every animation tick due by `now`, oldest
  // first, then the clock tick if it is due, all for one commit. Returns the animation
  // ticks run. Ticks more than kFrameStallPeriods late are given up, so after a long wait
  // for a frame the animation carries on from `now` with one tick.
  template <animation::PixelSink Sink, typename ReadClock>
  std::uint64_t RunFrame(Form1& form, Sink& sink, Nanos now, TimerStats& stats,
                         ReadClock&& readClock) {
    std::uint64_t ran = 0;
    while (ticks_.Due(now)) {
      form.Timer1_Timer(sink);
      ++ran;
      ++stats.ticks;
      if (stats.observer != nullptr) stats.observer->AfterTick(ticks_.next(), now, readClock());
      stats.skipped += ticks_.Advance(now, kFrameStallPeriods * Nanos(Form1::kTimer1Interval));
    }
    RunClock(form, now, stats);
    return ran;
  }

  // Runs the clock tick if it is due at `now`; a late one runs once and its next
  // deadline is a second after `now`. The clock keeps its second while the animation
  // waits for a frame.
  bool RunClock(Form1& form, Nanos now, TimerStats& stats) {
    if (!clockTicks_.Due(now)) return false;
    form.Timer2_Timer();
    ++stats.clockTicks;
    clockTicks_.Advance(now);
    return true;
  }
  Nanos nextClock() const { return clockTicks_.next(); }

 private:
  TickSchedule ticks_;
  TickSchedule clockTicks_;
};

}  // namespace zimoklas::saver

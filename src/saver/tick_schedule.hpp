// The deadlines of the scene's timers on a monotonic clock: each deadline lies one period
// after the last, so ticks do not drift, and after a stall the missed ones are given up
// instead of being run back to back. And what the benchmarks learn of each tick.
#pragma once

#include <chrono>
#include <cstdint>

namespace zimoklas::saver {

// Told about every animation tick once its drawing has been handed on: the deadline it
// ran for, when the loop woke up for it, and when its drawing was done. The benchmarks
// measure the delays with it.
class TickObserver {
 public:
  virtual ~TickObserver() = default;
  virtual void AfterTick(std::chrono::nanoseconds deadline, std::chrono::nanoseconds woke,
                         std::chrono::nanoseconds drawn) = 0;
};

// An animation tick later than this many periods is a stall (suspend, a stopped process).
inline constexpr int kStallPeriods = 4;

class TickSchedule {
 public:
  using Nanos = std::chrono::nanoseconds;

  // The first deadline is one period after `start`. A deadline missed by `maxLag` or
  // more counts as a stall.
  TickSchedule(Nanos period, Nanos start, Nanos maxLag)
      : period_(period), maxLag_(maxLag), next_(start + period) {}

  Nanos next() const { return next_; }
  bool Due(Nanos now) const { return now >= next_; }

  // Moves on once the due tick has run at `now`. Returns how many ticks a stall gave up
  // (0 when none did); the next deadline is then a period after `now`.
  std::uint64_t Advance(Nanos now) { return Advance(now, maxLag_); }
  // The same, with another lag that counts as a stall.
  std::uint64_t Advance(Nanos now, Nanos maxLag) {
    next_ += period_;
    if (now - next_ < maxLag) return 0;
    const auto skipped = static_cast<std::uint64_t>((now - next_) / period_);
    next_ = now + period_;
    return skipped;
  }

 private:
  Nanos period_;
  Nanos maxLag_;
  Nanos next_;
};

}  // namespace zimoklas::saver

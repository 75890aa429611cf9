// The scene's message loop with its animation tick: a high-resolution waitable timer
// wakes the loop, which delivers the ticks that are due and then the window messages.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace zimoklas::win32 {

struct TickStats {
  std::uint64_t delivered = 0;  // ticks run
  std::uint64_t dropped = 0;    // ticks given up because the loop fell too far behind
  bool highResolution = false;  // the timer is a high-resolution one
};

// Runs until WM_QUIT and returns its exit code. `tick` runs once per period on a fixed
// schedule: a late wake runs the ticks it missed, up to a few in a row, and gives up
// the rest. `stats`, when given, is kept up to date.
int RunMessageLoop(const std::function<void()>& tick, std::chrono::microseconds period,
                   TickStats* stats = nullptr);

}  // namespace zimoklas::win32

// The scene's event loop: animation ticks every 5 ms and clock ticks every second on
// absolute CLOCK_MONOTONIC deadlines, with the X connection and the ending signals
// (SIGTERM, SIGINT) waited on together.
#pragma once

#include <chrono>
#include <cstdint>
#include <thread>

#include "platform/x11/x11_scene.hpp"
#include "saver/form1.hpp"
#include "saver/scene_timers.hpp"

namespace zimoklas::x11 {

// SIGTERM and SIGINT as a descriptor to wait on. Blocks both for the whole process, so
// create it before anything else starts a thread. Until the scene loop or the settings
// window takes them over, a thread of its own ends the process by either signal at once,
// however long the start-up takes.
class EndingSignals {
 public:
  EndingSignals();
  EndingSignals(const EndingSignals&) = delete;
  EndingSignals& operator=(const EndingSignals&) = delete;
  ~EndingSignals();
  int fd() const { return fd_; }
  // Leaves the signals to the caller's loop: one that arrives from now on waits on fd().
  void TakeOver();
  // Gives both signals back their usual effect, for code that runs no scene loop (the
  // settings window).
  void Release();
  // Reads the signal that arrived; 0 when none has.
  int Take() const;

 private:
  int fd_ = -1;
  int stop_ = -1;  // an eventfd that tells the start-up thread to end
  std::thread startup_;
};

// Told about every animation tick once its drawing has been flushed.
using TickObserver = saver::TickObserver;

struct LoopStats : saver::TimerStats {
  int signal = 0;  // the ending signal that ended the loop
};

enum class LoopEnd : std::uint8_t { WindowGone, Signalled, TimeUp };

// Takes the signals over, then runs the scene until its window is gone, an ending signal arrives
// (the form is then unloaded) or, when `runFor` is positive, that much time has passed.
LoopEnd RunSceneLoop(SceneWindow& window, saver::Form1& form, EndingSignals& signals,
                     LoopStats& stats,
                     std::chrono::nanoseconds runFor = std::chrono::nanoseconds::zero());

}  // namespace zimoklas::x11

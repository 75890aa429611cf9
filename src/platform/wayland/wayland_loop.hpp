// The scene's loop on Wayland: GTK's main loop, which holds the compositor's connection,
// with animation ticks every 5 ms and clock ticks every second on absolute monotonic
// deadlines, and SIGTERM and SIGINT. Once the scene commits its own buffers, the
// animation runs when the compositor asks for a frame, every tick due by then at once.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/wayland/wayland_scene.hpp"
#include "saver/form1.hpp"
#include "saver/scene_timers.hpp"

namespace zimoklas::wayland {

// The observer is told about each tick once it has written into the frame.
struct LoopStats : saver::TimerStats {
  int signal = 0;  // the ending signal that stopped the loop, if any
};

enum class LoopEnd : std::uint8_t { WindowGone, Signalled, TimeUp };

// Runs the scene until its window is gone, SIGTERM or SIGINT arrives (the form is then
// unloaded) or, when `runFor` is positive, that much time has passed.
LoopEnd RunSceneLoop(SceneWindow& window, saver::Form1& form, LoopStats& stats,
                     std::chrono::nanoseconds runFor = std::chrono::nanoseconds::zero());

}  // namespace zimoklas::wayland

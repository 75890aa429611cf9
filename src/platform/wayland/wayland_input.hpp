// How the scene's input on Wayland reaches the core, as on X11: pointer positions in
// the buffer's device pixels, clicks but not the wheel, and a key only when it yields a
// character.
#pragma once

#include <cstdint>

#include "saver/form1.hpp"

namespace zimoklas::wayland {

struct PointerEvent {
  enum class Kind : std::uint8_t { Enter, Motion, Press, Release };
  Kind kind = Kind::Motion;
  unsigned button = 0;  // for presses and releases: 1 left, 2 middle, 3 right, 4-7 wheel
  double x = 0, y = 0;  // surface coordinates, in logical pixels
};

// `scale` is the surface's scale, whole or fractional: device pixels per logical pixel.
void ForwardPointer(saver::Form1& form, const PointerEvent& event, double scale);

// A key press by its keysym (as the compositor's keymap gives it).
void ForwardKey(saver::Form1& form, std::uint32_t keysym);

}  // namespace zimoklas::wayland

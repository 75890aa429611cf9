// Turning Wayland's pointer and key events into the core's input.
#include "platform/wayland/wayland_input.hpp"

#include <xkbcommon/xkbcommon.h>

namespace zimoklas::wayland {

void ForwardPointer(saver::Form1& form, const PointerEvent& event, double scale) {
  const auto x = static_cast<float>(event.x * scale);
  const auto y = static_cast<float>(event.y * scale);
  switch (event.kind) {
    case PointerEvent::Kind::Enter:
      form.PointerAtShow(x, y);
      break;
    case PointerEvent::Kind::Motion:
      form.PointerMoved(x, y);
      break;
    case PointerEvent::Kind::Press:
      if (!saver::IsWheelButton(event.button)) form.PointerPressed(x, y);
      break;
    case PointerEvent::Kind::Release:
      if (!saver::IsWheelButton(event.button)) form.PointerReleased(x, y);
      break;
  }
}

void ForwardKey(saver::Form1& form, std::uint32_t keysym) {
  // The key's character as a code point, as the X11 scene passes it on; the core decides
  // which characters count.
  const std::uint32_t character = xkb_keysym_to_utf32(keysym);
  if (character != 0) form.Form_KeyPress(character);
}

}  // namespace zimoklas::wayland

// Turning Wayland's pointer and key events into the core's input.
#include "platform/wayland/wayland_input.hpp"

#include <xkbcommon/xkbcommon.h>

#include <array>

namespace zimoklas::wayland {

void ForwardPointer(saver::Form1& form, const PointerEvent& event, int scale) {
  const auto x = static_cast<float>(event.x * scale);
  const auto y = static_cast<float>(event.y * scale);
  switch (event.kind) {
    case PointerEvent::Kind::Enter:
    // The pointer arriving over the scene is a movement there, as one resting over the
    // window when it appears is on other systems.
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
  // The first byte of the key's text, as the X11 scene passes it on.
  std::array<char, 8> text{};
  if (xkb_keysym_to_utf8(keysym, text.data(), text.size()) > 1 && text[0] != '\0') {
    form.Form_KeyPress(static_cast<unsigned char>(text[0]));
  }
}

}  // namespace zimoklas::wayland

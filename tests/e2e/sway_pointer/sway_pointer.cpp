// Pointer input into a headless sway for the end-to-end tests, whose seat has no pointer
// device of its own: a virtual pointer (wlroots' zwlr_virtual_pointer_manager_v1).
// Run with the compositor's WAYLAND_DISPLAY and XDG_RUNTIME_DIR.
//
//   zimoklas_sway_pointer move X Y W H   the pointer to X,Y of a W x H layout
//   zimoklas_sway_pointer click X Y W H  the same, then a left click
//   zimoklas_sway_pointer burst N        N moves of one pixel right, sent in one flush
#include <wayland-client.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

namespace {

// The two interfaces' requests in the protocol's order, as wayland-scanner would list
// them; Debian packages no file of this wlroots protocol.
extern const wl_interface kVirtualPointer;
const wl_interface* kCreateTypes[] = {&wl_seat_interface, &kVirtualPointer};
const wl_message kManagerRequests[] = {{"create_virtual_pointer", "?on", kCreateTypes},
                                       {"destroy", "", nullptr}};
const wl_interface kManager = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, kManagerRequests, 0, nullptr};
const wl_interface* kNoTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_message kPointerRequests[] = {
    {"motion", "uff", kNoTypes},   {"motion_absolute", "uuuuu", kNoTypes},
    {"button", "uuu", kNoTypes},   {"axis", "uuf", kNoTypes},
    {"frame", "", nullptr},        {"axis_source", "u", kNoTypes},
    {"axis_stop", "uu", kNoTypes}, {"axis_discrete", "uufi", kNoTypes},
    {"destroy", "", nullptr}};
const wl_interface kVirtualPointer = {"zwlr_virtual_pointer_v1", 1, 9,
                                      kPointerRequests,          0, nullptr};
enum Request : std::uint32_t {
  kMotion = 0,
  kMotionAbsolute = 1,
  kButton = 2,
  kFrame = 4,
  kDestroy = 8
};

wl_proxy* manager = nullptr;
wl_seat* seat = nullptr;

void OnGlobal(void* /*data*/, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t /*version*/) {
  if (std::strcmp(interface, kManager.name) == 0) {
    manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kManager, 1));
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && seat == nullptr) {
    seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  }
}

void OnGlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

std::uint32_t Now() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "";
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fputs("no Wayland compositor\n", stderr);
    return 1;
  }
  wl_registry* registry = wl_display_get_registry(display);
  static const wl_registry_listener listener = {&OnGlobal, &OnGlobalRemove};
  wl_registry_add_listener(registry, &listener, nullptr);
  wl_display_roundtrip(display);
  if (manager == nullptr) {
    std::fputs("the compositor offers no virtual pointer\n", stderr);
    return 1;
  }
  wl_proxy* pointer = wl_proxy_marshal_constructor(manager, 0, &kVirtualPointer, seat, nullptr);
  // The new device first, then the input, so that the client sees a pointer appear.
  wl_display_roundtrip(display);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  if ((command == "move" || command == "click") && argc == 6) {
    const auto number = [&](int i) { return static_cast<std::uint32_t>(std::atoi(argv[i])); };
    wl_proxy_marshal(pointer, kMotionAbsolute, Now(), number(2), number(3), number(4), number(5));
    wl_proxy_marshal(pointer, kFrame);
    wl_display_roundtrip(display);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (command == "click") {
      constexpr std::uint32_t kLeftButton = 0x110;  // BTN_LEFT
      wl_proxy_marshal(pointer, kButton, Now(), kLeftButton, 1U);
      wl_proxy_marshal(pointer, kFrame);
      wl_proxy_marshal(pointer, kButton, Now(), kLeftButton, 0U);
      wl_proxy_marshal(pointer, kFrame);
    }
  } else if (command == "burst" && argc == 3) {
    for (int i = 0; i < std::atoi(argv[2]); ++i) {
      wl_proxy_marshal(pointer, kMotion, Now(), wl_fixed_from_int(1), wl_fixed_from_int(0));
      wl_proxy_marshal(pointer, kFrame);
    }
  } else {
    std::fputs("usage: zimoklas_sway_pointer move X Y W H | click X Y W H | burst N\n", stderr);
    return 2;
  }
  wl_display_roundtrip(display);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  wl_proxy_marshal(pointer, kDestroy);
  wl_proxy_destroy(pointer);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}

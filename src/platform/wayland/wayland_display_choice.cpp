// Choosing between the Wayland compositor and the X server at start-up.
#include "platform/wayland/wayland_display_choice.hpp"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <wayland-client.h>

#include <cstring>
#include <string_view>

namespace zimoklas::wayland {
namespace {

bool Set(const char* value) {
  return value != nullptr && *value != '\0';
}

struct Reply {
  bool done = false;
  bool layerShell = false;
};

void OnGlobal(void* data, wl_registry* /*registry*/, std::uint32_t /*name*/, const char* interface,
              std::uint32_t /*version*/) {
  if (std::string_view(interface) == "zwlr_layer_shell_v1") {
    static_cast<Reply*>(data)->layerShell = true;
  }
}

void OnGlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

void OnSyncDone(void* data, wl_callback* /*callback*/, std::uint32_t /*serial*/) {
  static_cast<Reply*>(data)->done = true;
}

const wl_registry_listener kRegistryListener = {&OnGlobal, &OnGlobalRemove};
const wl_callback_listener kSyncListener = {&OnSyncDone};

}  // namespace

std::string WaylandSocketPath(const DisplayEnvironment& environment) {
  std::string name = Set(environment.waylandDisplay) ? environment.waylandDisplay : "wayland-0";
  if (name.front() == '/') return name;
  if (!Set(environment.runtimeDir)) return {};
  return std::string(environment.runtimeDir) + "/" + name;
}

WaylandProbe ProbeWayland(const DisplayEnvironment& environment,
                          std::chrono::milliseconds timeout) {
  const std::string path = WaylandSocketPath(environment);
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path) return {};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the socket API's form
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return {};
  }
  // Something listens. The registry's globals, then the reply to a sync, are the first
  // answer; the connection owns the socket from here on.
  wl_display* display = wl_display_connect_to_fd(fd);
  if (display == nullptr) return {};
  Reply reply;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &kRegistryListener, &reply);
  wl_callback* sync = wl_display_sync(display);
  wl_callback_add_listener(sync, &kSyncListener, &reply);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!reply.done) {
    while (wl_display_prepare_read(display) != 0) wl_display_dispatch_pending(display);
    wl_display_flush(display);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{wl_display_get_fd(display), POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      wl_display_cancel_read(display);
      break;
    }
    if (wl_display_read_events(display) != 0) break;
    wl_display_dispatch_pending(display);
  }
  wl_callback_destroy(sync);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return {reply.done ? WaylandAnswer::Answers : WaylandAnswer::Silent, reply.layerShell};
}

DisplayKind ChooseDisplay(DisplayForce force, const DisplayEnvironment& environment,
                          bool waylandReachable) {
  switch (force) {
    case DisplayForce::Wayland:
      return DisplayKind::Wayland;
    case DisplayForce::X11:
      return DisplayKind::X11;
    case DisplayForce::Automatic:
      break;
  }
  if (waylandReachable) return DisplayKind::Wayland;
  if (Set(environment.x11Display)) return DisplayKind::X11;
  return DisplayKind::Neither;
}

std::string NoDisplayMessage(const DisplayEnvironment& environment) {
  std::string wayland;
  if (Set(environment.waylandDisplay)) {
    wayland = "no Wayland compositor answers at WAYLAND_DISPLAY \"" +
              std::string(environment.waylandDisplay) + "\"";
  } else {
    wayland = "WAYLAND_DISPLAY is not set";
    const std::string fallback = WaylandSocketPath(environment);
    if (!fallback.empty()) wayland += " (and no compositor answers at " + fallback + ")";
  }
  const std::string x11 =
      Set(environment.x11Display)
          ? "the X display DISPLAY \"" + std::string(environment.x11Display) + "\" cannot be opened"
          : "DISPLAY is not set";
  return "no display to show on: " + wayland + ", and " + x11;
}

}  // namespace zimoklas::wayland

// Choosing between the Wayland compositor and the X server at start-up.
#include "platform/wayland/wayland_display_choice.hpp"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace zimoklas::wayland {
namespace {

bool Set(const char* value) {
  return value != nullptr && *value != '\0';
}

}  // namespace

std::string WaylandSocketPath(const DisplayEnvironment& environment) {
  std::string name = Set(environment.waylandDisplay) ? environment.waylandDisplay : "wayland-0";
  if (name.front() == '/') return name;
  if (!Set(environment.runtimeDir)) return {};
  return std::string(environment.runtimeDir) + "/" + name;
}

bool WaylandReachable(const DisplayEnvironment& environment) {
  const std::string path = WaylandSocketPath(environment);
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): the socket API's form
  const bool reached =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return reached;
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

// Which display `zimoklas` shows its windows on: a Wayland compositor when one is
// reachable, else the X server, unless a switch forces either; and what to say when
// there is neither.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zimoklas::wayland {

enum class DisplayKind : std::uint8_t { Wayland, X11, Neither };
enum class DisplayForce : std::uint8_t { Automatic, Wayland, X11 };

// The variables that name the displays; null when unset.
struct DisplayEnvironment {
  const char* waylandDisplay = nullptr;  // WAYLAND_DISPLAY
  const char* runtimeDir = nullptr;      // XDG_RUNTIME_DIR
  const char* x11Display = nullptr;      // DISPLAY
};

// Where the compositor's socket would be: WAYLAND_DISPLAY as a path, or that name (by
// default wayland-0) in XDG_RUNTIME_DIR. Empty when it cannot be said.
std::string WaylandSocketPath(const DisplayEnvironment& environment);

// What is at the compositor's socket: nothing that accepts a connection, a compositor
// that accepts one but does not answer in time, or one that answers.
enum class WaylandAnswer : std::uint8_t { Nothing, Silent, Answers };

struct WaylandProbe {
  WaylandAnswer answer = WaylandAnswer::Nothing;
  // The compositor offers layer-shell (zwlr_layer_shell_v1).
  bool layerShell = false;
};

// Connects to the socket and waits up to `timeout` for the compositor's first reply,
// which lists what it offers.
WaylandProbe ProbeWayland(const DisplayEnvironment& environment, std::chrono::milliseconds timeout);

DisplayKind ChooseDisplay(DisplayForce force, const DisplayEnvironment& environment,
                          bool waylandReachable);

// The one line (without the program's name) that says why there is no display.
std::string NoDisplayMessage(const DisplayEnvironment& environment);

}  // namespace zimoklas::wayland

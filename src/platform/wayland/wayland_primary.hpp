// Which output is the primary one, where the desktop says so: GNOME's Mutter marks it in
// its display configuration, KDE Plasma lists it first in kde_output_order_v1. wlroots
// compositors name none, and the compositor's own choice (the output with focus) stands.
#pragma once

#include <wayland-client.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zimoklas::wayland {

// An output as the compositor announces it: its name (wl_output version 4) and the
// top-left corner of its logical area.
struct OutputPlace {
  std::string name;
  int x = 0, y = 0;
};

struct Position {
  int x = 0, y = 0;
  bool operator==(const Position&) const = default;
};

// What the desktop says about its primary output.
struct PrimaryFacts {
  std::optional<Position> mutterPrimary;  // the primary logical monitor's corner
  std::vector<std::string> kdeOrder;      // output names, the primary first
};

// The index in `outputs` of the primary output; none when the desktop names none, or
// names one that is not among them.
std::optional<std::size_t> ChoosePrimaryOutput(const std::vector<OutputPlace>& outputs,
                                               const PrimaryFacts& facts);

// The top-left corner of the primary output, read from the compositor (on a queue of its
// own) and from Mutter on the session bus; none where the desktop names no primary.
std::optional<Position> PrimaryOutputPosition(wl_display* display);

}  // namespace zimoklas::wayland

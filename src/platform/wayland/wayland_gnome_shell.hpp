// GNOME's shell and its compositor Mutter on the session bus, as far as the scene needs
// them: which monitor is the primary one, and leaving the overview, where the scene
// would be a thumbnail and the first key would go to the overview's search.
#pragma once

#include <gio/gio.h>

#include <optional>

#include "platform/wayland/wayland_primary.hpp"

namespace zimoklas::wayland {

class GnomeShell {
 public:
  // Connects to the session bus when there is one; never starts a bus or a service.
  GnomeShell();
  GnomeShell(const GnomeShell&) = delete;
  GnomeShell& operator=(const GnomeShell&) = delete;
  ~GnomeShell();

  // The top-left corner of the monitor Mutter marks primary; none without Mutter.
  std::optional<Position> MutterPrimary();
  // Closes the overview when it is open; nothing without the shell.
  void LeaveOverview();

 private:
  GDBusConnection* bus_ = nullptr;
};

}  // namespace zimoklas::wayland

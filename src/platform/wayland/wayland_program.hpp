// `zimoklas` on a Wayland compositor: the same load step and mode dispatch as on X11,
// with the scene as a Wayland surface and the settings window in GTK on Wayland.
#pragma once

#include <functional>
#include <string_view>

#include "animation/random.hpp"
#include "saver/saver_platform.hpp"
#include "settings/module1.hpp"
#include "settings/store.hpp"

namespace zimoklas::wayland {

struct ProgramParts {
  settings::Store& store;
  saver::Clock& clock;
  animation::RandomSource& random;
  settings::Module1& module;
  // Opens the settings window and runs it until it closes; returns the exit status.
  std::function<int()> runSettingsWindow;
};

// Connects GTK to the compositor (and to nothing else), then runs the mode that
// `argumentText` chooses. `toplevel` asks for the fullscreen toplevel surface (which a
// compositor without layer-shell needs) instead of a layer surface. Returns the
// program's exit status: 1 when the compositor cannot be reached. A connection lost
// later ends the program with status 1 and one line on stderr.
int RunProgram(std::string_view argumentText, bool toplevel, const ProgramParts& parts);

// Keeps GTK, once it starts, off the compositor: for the settings window of a program
// that chose the X server.
void KeepGtkOnX11();

}  // namespace zimoklas::wayland

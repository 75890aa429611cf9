// The settings window on Linux, in GTK 3: the same window as on Windows, carrying out
// the core's Form2.
#pragma once

#include "saver/saver_platform.hpp"
#include "settings/module1.hpp"
#include "settings/store.hpp"

namespace zimoklas::gtk {

// Opens the settings window and runs it until it closes. Returns the program's exit
// status: 0 however the window was closed, 1 when GTK cannot reach the display. An ending
// signal (SIGTERM, SIGINT, SIGHUP) closes it as the close box does; `endingSignal` then
// tells which, so that the program can end by it.
int RunSettingsWindow(settings::Store& store, settings::Module1& module, saver::Clock& clock,
                      int* endingSignal = nullptr);

}  // namespace zimoklas::gtk

// The settings window on Windows: what the program's start-up calls in configuration mode.
#pragma once

#include <windows.h>

#include "saver/saver_platform.hpp"
#include "settings/module1.hpp"
#include "settings/store.hpp"

namespace zimoklas::win32 {

// Shows the settings window, non-modal and without an owner, and runs it until it is
// closed in any way. Returns the process exit code.
int RunSettingsWindow(HINSTANCE instance, settings::Store& store, settings::Module1& module,
                      saver::Clock& clock);

}  // namespace zimoklas::win32

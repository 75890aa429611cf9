// The settings window's entry point until the window itself is built: configuration mode
// ends the program at once, with nothing shown and nothing stored.
#include "platform/win32/win32_settings_window.hpp"

namespace zimoklas::win32 {

int RunSettingsWindow(HINSTANCE /*instance*/, settings::Store& /*store*/,
                      settings::Module1& /*module*/, saver::Clock& /*clock*/) {
  return 0;
}

}  // namespace zimoklas::win32

// The program's entry point on Windows: builds the scene window and its logic, runs the
// load step with the command line's argument text, and in saver mode runs the scene.
#include <windows.h>

#include <chrono>

#include "animation/random.hpp"
#include "platform/win32/win32_clock.hpp"
#include "platform/win32/win32_command_line.hpp"
#include "platform/win32/win32_dll_search.hpp"
#include "platform/win32/win32_message_loop.hpp"
#include "platform/win32/win32_pixels.hpp"
#include "platform/win32/win32_scene.hpp"
#include "platform/win32/win32_settings_window.hpp"
#include "platform/win32/win32_store.hpp"
#include "platform/win32/win32_text.hpp"
#include "saver/form1.hpp"
#include "settings/module1.hpp"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
  using namespace zimoklas;
  // Before anything can load a DLL: none from the current folder or beside the program.
  win32::RestrictDllSearchToSystem32();
  const std::string arguments = win32::WideToUtf8(win32::ArgumentText(GetCommandLineW()));

  win32::RegistryStore store;
  win32::Win32Clock clock;
  animation::Pcg32 random;
  settings::Module1 module;

  int settingsExitCode = 0;
  win32::SceneWindow window(instance, [&] {
    settingsExitCode = win32::RunSettingsWindow(instance, store, module, clock);
  });
  saver::Form1 form(window, store, clock, random, module);
  window.Attach(&form);

  // Preview mode ends the process inside the load step.
  if (form.Form_Load(arguments) != saver::Mode::Saver) return settingsExitCode;

  window.Show();
  const auto tick = [&] {
    if (!window.alive()) return;
    HDC dc = GetDC(window.handle());
    win32::WindowPixels pixels(dc);
    form.Timer1_Timer(pixels);
    ReleaseDC(window.handle(), dc);
  };
  return win32::RunMessageLoop(tick, saver::Form1::kTimer1Interval);
}

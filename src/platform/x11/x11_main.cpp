// The program's entry point on Linux: the switches of `zimoklas` (version, help, the
// module mode, the display), then the same load step and mode dispatch as on Windows,
// on the Wayland compositor or the X server; module mode is always X11.
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "animation/random.hpp"
#include "platform/glib/keyfile_store.hpp"
#include "platform/glib/printable.hpp"
#include "platform/gtk/gtk_settings_window.hpp"
#include "platform/posix/end_by_signal.hpp"
#include "platform/wayland/wayland_display_choice.hpp"
#include "platform/wayland/wayland_program.hpp"
#include "platform/x11/posix_clock.hpp"
#include "platform/x11/x11_command_line.hpp"
#include "platform/x11/x11_display.hpp"
#include "platform/x11/x11_loop.hpp"
#include "platform/x11/x11_scene.hpp"
#include "saver/form1.hpp"
#include "settings/module1.hpp"
#include "x11_version.h"

namespace {

constexpr int kUsageError = 2;

}  // namespace

int main(int argc, char** argv) {
  using namespace zimoklas;
  std::setlocale(LC_ALL, "");  // the clock's formats and the keyboard's characters

  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  // NOLINTNEXTLINE(concurrency-mt-unsafe): read before any thread exists
  const x11::CommandLine command =
      x11::ParseCommandLine(arguments, std::getenv("XSCREENSAVER_WINDOW"));
  switch (command.action) {
    case x11::CommandLine::Action::Version:
      std::puts("zimoklas " ZIMOKLAS_VERSION_TEXT);
      return 0;
    case x11::CommandLine::Action::Help:
      std::fputs(x11::UsageText().c_str(), stdout);
      return 0;
    case x11::CommandLine::Action::Error:
      std::fprintf(stderr, "zimoklas: %s (see zimoklas --help)\n",
                   glib::Printable(command.error).c_str());
      return kUsageError;
    case x11::CommandLine::Action::Dispatch:
    case x11::CommandLine::Action::Module:
      break;
  }
  const bool module = command.action == x11::CommandLine::Action::Module;
  // The preview ends at once, with or without a display.
  if (!module && saver::DispatchMode(command.argumentText) == saver::Mode::Preview) return 0;

  glib::KeyFileStore store;
  x11::PosixClock clock;
  animation::Pcg32 random;
  settings::Module1 module1;

  if (!module) {
    // NOLINTBEGIN(concurrency-mt-unsafe): read before any thread exists
    const wayland::DisplayEnvironment environment{
        std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_RUNTIME_DIR"), std::getenv("DISPLAY")};
    // NOLINTEND(concurrency-mt-unsafe)
    const auto force =
        command.display == x11::CommandLine::Display::Wayland ? wayland::DisplayForce::Wayland
        : command.display == x11::CommandLine::Display::X11   ? wayland::DisplayForce::X11
                                                              : wayland::DisplayForce::Automatic;
    // A compositor that accepts the connection and never answers would hang GTK's start.
    const wayland::WaylandProbe probe =
        force != wayland::DisplayForce::X11
            ? wayland::ProbeWayland(environment, std::chrono::seconds(2))
            : wayland::WaylandProbe{};
    const bool silent = probe.answer == wayland::WaylandAnswer::Silent;
    if (silent && force == wayland::DisplayForce::Wayland) {
      std::fprintf(stderr, "zimoklas: the Wayland compositor at %s does not answer\n",
                   wayland::WaylandSocketPath(environment).c_str());
      return 1;
    }
    const bool reachable = probe.answer == wayland::WaylandAnswer::Answers;
    const wayland::DisplayKind kind = wayland::ChooseDisplay(force, environment, reachable);
    if (silent && kind == wayland::DisplayKind::X11) {
      std::fprintf(stderr,
                   "zimoklas: the Wayland compositor at %s does not answer, so the X display "
                   "is used\n",
                   wayland::WaylandSocketPath(environment).c_str());
    }
    switch (kind) {
      case wayland::DisplayKind::Neither:
        std::fprintf(stderr, "zimoklas: %s\n",
                     glib::Printable(wayland::NoDisplayMessage(environment)).c_str());
        return 1;
      case wayland::DisplayKind::Wayland: {
        // GTK's start and first paint can keep the main loop busy for a frame or more, so
        // the thread of the signals ends the scene by either signal at once, however far
        // it has come; the settings window takes them over.
        x11::EndingSignals signals;
        int settingsSignal = 0;
        const int status = wayland::RunProgram(
            command.argumentText, command.fullscreenToplevel || !probe.layerShell,
            {store, clock, random, module1, [&] {
               signals.Release();
               return gtk::RunSettingsWindow(store, module1, clock, &settingsSignal);
             }});
        if (settingsSignal != 0) posix::EndBySignal(settingsSignal);
        return status;
      }
      case wayland::DisplayKind::X11:
        // GTK's settings window goes to the same X server as the scene.
        wayland::KeepGtkOnX11();
        break;
    }
  }

  x11::EndingSignals signals;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): read before any thread exists
  const char* displayName = std::getenv("DISPLAY");
  if (displayName == nullptr || *displayName == '\0') {
    std::fputs("zimoklas: DISPLAY is not set, so there is no X display to use\n", stderr);
    return 1;
  }
  Display* display = x11::OpenDisplay();
  if (display == nullptr) {
    std::fprintf(stderr, "zimoklas: cannot open the X display \"%s\"\n",
                 glib::Printable(XDisplayName(nullptr)).c_str());
    return 1;
  }

  int settingsExitCode = 0;
  int settingsSignal = 0;
  const auto showSettings = [&] {
    signals.Release();
    settingsExitCode = gtk::RunSettingsWindow(store, module1, clock, &settingsSignal);
  };
  std::optional<x11::SceneWindow> window;
  if (module) {
    const Window target =
        command.window ? static_cast<Window>(*command.window) : DefaultRootWindow(display);
    window.emplace(display, target);
    if (!window->alive()) {
      std::fprintf(stderr, "zimoklas: there is no window 0x%lx on the X display\n", target);
      return 1;
    }
  } else {
    window.emplace(display, showSettings);
  }
  saver::Form1 form(*window, store, clock, random, module1);
  window->Attach(&form);

  // A module always runs the scene; preview mode ends the process inside the load step.
  if (form.Form_Load(module ? "/s" : command.argumentText) != saver::Mode::Saver) {
    if (settingsSignal != 0) posix::EndBySignal(settingsSignal);
    return settingsExitCode;
  }
  window->Show();
  x11::LoopStats stats;
  if (x11::RunSceneLoop(*window, form, signals, stats) == x11::LoopEnd::Signalled &&
      stats.signal != 0) {
    // The form is unloaded and the screen given back; the signal ends the process, in
    // module mode and as the saver alike, as it does before its handling exists.
    XSync(display, False);
    posix::EndBySignal(stats.signal);
  }
  return 0;
}

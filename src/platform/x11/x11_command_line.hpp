// The command line of `zimoklas`: the switches it adds before the mode dispatch
// (--version, --help, the module mode's target window) and the argument text that the
// dispatch reads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zimoklas::x11 {

struct CommandLine {
  enum class Action : std::uint8_t { Dispatch, Module, Version, Help, Error };
  Action action = Action::Dispatch;
  // The arguments joined by one blank: what the mode dispatch reads.
  std::string argumentText;
  // Module mode: the window to draw into; none means the root window.
  std::optional<unsigned long> window;
  // Why the command line cannot be used (Action::Error).
  std::string error;
  // --wayland or --x11 force a display; --fullscreen-toplevel chooses the Wayland scene's
  // fallback surface and no display. None of them is part of the argument text; --x11
  // with --wayland or --fullscreen-toplevel, in any order, is an error.
  enum class Display : std::uint8_t { Automatic, Wayland, X11 };
  Display display = Display::Automatic;
  bool fullscreenToplevel = false;
};

// `environmentWindow` is $XSCREENSAVER_WINDOW, or null when it is not set; only --root
// reads it.
CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments,
                             const char* environmentWindow);

// A window id, decimal or 0x hex; none when the text is not one.
std::optional<unsigned long> ParseWindowId(std::string_view text);

// The text --help prints.
std::string UsageText();

}  // namespace zimoklas::x11

// Reading the command line of `zimoklas`.
#include "platform/x11/x11_command_line.hpp"

#include <charconv>

namespace zimoklas::x11 {
namespace {

// X resource ids have 29 bits.
constexpr unsigned long kMaxXid = 0x1FFFFFFFUL;

}  // namespace

std::optional<unsigned long> ParseWindowId(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  unsigned long value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  if (ec != std::errc() || ptr != end || value == 0 || value > kMaxXid) return std::nullopt;
  return value;
}

CommandLine ParseCommandLine(const std::vector<std::string_view>& arguments,
                             const char* environmentWindow) {
  CommandLine result;
  bool root = false;
  std::optional<unsigned long> window;
  bool joined = false;
  std::string conflict;  // two switches that ask for different displays
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view arg = arguments[i];
    if (arg == "--wayland" || arg == "--x11") {
      const auto display =
          arg == "--x11" ? CommandLine::Display::X11 : CommandLine::Display::Wayland;
      if (result.display != CommandLine::Display::Automatic && result.display != display) {
        conflict = "--x11 and --wayland";
      }
      result.display = display;
      continue;
    }
    if (arg == "--fullscreen-toplevel") {
      result.fullscreenToplevel = true;
      continue;
    }
    if (joined) result.argumentText += ' ';
    result.argumentText += arg;
    joined = true;
    if (arg == "--version") {
      result.action = CommandLine::Action::Version;
      return result;
    }
    if (arg == "--help" || arg == "-h") {
      result.action = CommandLine::Action::Help;
      return result;
    }
    if (arg == "-root" || arg == "--root") {
      root = true;
    } else if (arg == "-window-id" || arg == "--window-id") {
      if (i + 1 == arguments.size()) {
        result.action = CommandLine::Action::Error;
        result.error = std::string(arg) + " needs a window id";
        return result;
      }
      window = ParseWindowId(arguments[++i]);
      if (!window) {
        result.action = CommandLine::Action::Error;
        result.error = "not a window id: \"" + std::string(arguments[i]) + "\"";
        return result;
      }
    }
  }
  // A Wayland surface's kind means nothing on an X display that a switch forces.
  if (result.display == CommandLine::Display::X11 && result.fullscreenToplevel &&
      conflict.empty()) {
    conflict = "--x11 and --fullscreen-toplevel";
  }
  if (!conflict.empty()) {
    result.action = CommandLine::Action::Error;
    result.error = conflict + " contradict each other";
    return result;
  }
  // A window named on the command line comes first. The daemon starts its modules with
  // --root and says in its variable which window "root" means; every other mode leaves
  // the variable alone, however it is set.
  if (root && !window && environmentWindow != nullptr && *environmentWindow != '\0') {
    window = ParseWindowId(environmentWindow);
    if (!window) {
      result.action = CommandLine::Action::Error;
      result.error =
          "XSCREENSAVER_WINDOW is not a window id: \"" + std::string(environmentWindow) + "\"";
      return result;
    }
  }
  if (window || root) {
    result.action = CommandLine::Action::Module;
    result.window = window;
  }
  return result;
}

std::string UsageText() {
  return "Usage: zimoklas [SWITCH]\n"
         "A New Year's Eve screen saver: fireworks, falling snow, the time and a greeting.\n"
         "\n"
         "  /s                    run the saver full screen; it ends on a key that types a\n"
         "                        character, a click outside the text lines, or the 11th\n"
         "                        pointer move\n"
         "  /p                    preview: end at once\n"
         "  (none, or any other)  edit the settings\n"
         "  -root, --root         draw into the root window (screen-saver daemon module)\n"
         "  -window-id ID, --window-id ID\n"
         "                        draw into the window ID (decimal or 0x hex)\n"
         "  --wayland             show the saver and the settings on the Wayland compositor\n"
         "  --x11                 show them on the X server\n"
         "  --fullscreen-toplevel when on Wayland, show the saver as a fullscreen window\n"
         "                        even where the compositor offers an overlay layer\n"
         "  --version             print the version and exit\n"
         "  -h, --help            print this text and exit\n"
         "\n"
         "Without --wayland or --x11 the Wayland compositor named by WAYLAND_DISPLAY (or\n"
         "wayland-0 in XDG_RUNTIME_DIR) is used when it answers within 2 seconds, else\n"
         "the X server named by DISPLAY. --fullscreen-toplevel chooses no display; with\n"
         "--x11 it is refused, as --x11 with --wayland is, whatever their order. The\n"
         "module mode always runs on X11, and /p needs no display.\n"
         "\n"
         "With --root, XSCREENSAVER_WINDOW, when set, names the window to draw into as\n"
         "--window-id does; the other modes ignore it.\n"
         "In a window or the root window the saver runs until it gets SIGTERM or SIGINT or\n"
         "its window is destroyed.\n";
}

}  // namespace zimoklas::x11

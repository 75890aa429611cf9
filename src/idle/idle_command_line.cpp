// Reading zimoklas-idle's arguments; every bad one is an error that names it.
#include "idle/idle_command_line.hpp"

#include <charconv>

namespace zimoklas::idle {

IdleCommandLine ParseIdleCommandLine(const std::vector<std::string_view>& arguments) {
  IdleCommandLine line;
  bool haveSeconds = false;
  const auto fail = [&line](std::string text) {
    line.action = IdleCommandLine::Action::kError;
    line.error = std::move(text);
    return line;
  };
  for (const std::string_view argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      line.action = IdleCommandLine::Action::kHelp;
      return line;
    }
    if (argument == "--version") {
      line.action = IdleCommandLine::Action::kVersion;
      return line;
    }
    if (argument == "--verbose" || argument == "-v") {
      line.verbose = true;
      continue;
    }
    if (argument.starts_with("-")) return fail("unknown option \"" + std::string(argument) + "\"");
    if (haveSeconds) return fail("more than one idle time given");
    int seconds = 0;
    const auto [end, error] =
        std::from_chars(argument.data(), argument.data() + argument.size(), seconds);
    if (error != std::errc{} || end != argument.data() + argument.size() || seconds < 1 ||
        seconds > kMostIdleSeconds) {
      return fail("the idle time must be a whole number of seconds from 1 to " +
                  std::to_string(kMostIdleSeconds) + ", not \"" + std::string(argument) + "\"");
    }
    line.seconds = seconds;
    haveSeconds = true;
  }
  return line;
}

std::string IdleUsage() {
  return "Usage: zimoklas-idle [--verbose] [SECONDS]\n"
         "Starts the screen saver (zimoklas /s) once the seat has been idle for SECONDS\n"
         "(300 unless given), waits for it to end, and waits for the next idle period.\n"
         "Programs that ask the desktop to stay awake, such as a film playing, hold it off.\n"
         "\n"
         "  -v, --verbose  say which idle detection this desktop gives, and each start\n"
         "  -h, --help     print this help and exit\n"
         "      --version  print the version and exit\n"
         "\n"
         "Set up: systemctl --user enable --now zimoklas-idle\n";
}

}  // namespace zimoklas::idle

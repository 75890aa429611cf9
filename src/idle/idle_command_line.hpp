// The command line of zimoklas-idle: [--verbose] [SECONDS], --help, --version.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zimoklas::idle {

struct IdleCommandLine {
  enum class Action { kRun, kHelp, kVersion, kError };
  Action action = Action::kRun;
  int seconds = 300;  // how long the seat must be idle before the saver starts
  bool verbose = false;
  std::string error;  // for kError: what was wrong, for one line on stderr
};

// The most idle time accepted: one day, which keeps every timeout of every desktop's
// idle protocol (32-bit milliseconds) in range.
inline constexpr int kMostIdleSeconds = 86400;

IdleCommandLine ParseIdleCommandLine(const std::vector<std::string_view>& arguments);

// What --help prints.
std::string IdleUsage();

}  // namespace zimoklas::idle

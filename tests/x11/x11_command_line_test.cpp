// The command line of `zimoklas`: which modes read $XSCREENSAVER_WINDOW.
#include "platform/x11/x11_command_line.hpp"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace zimoklas::x11 {
namespace {

using Action = CommandLine::Action;

TEST(X11CommandLineTest, OnlyRootReadsTheDaemonsWindowVariable) {
  struct Row {
    std::vector<std::string_view> arguments;
    const char* variable;
    Action action;
    std::optional<unsigned long> window;
  };
  const std::vector<Row> rows = {
      {{"--root"}, "0x2a", Action::Module, 0x2a},
      {{"-root"}, "42", Action::Module, 42},
      {{"--root"}, nullptr, Action::Module, std::nullopt},
      {{"--root", "--window-id", "7"}, "0x2a", Action::Module, 7},
      {{"--root"}, "junk", Action::Error, std::nullopt},
      // Every other mode ignores the variable, a bad value included.
      {{"/s"}, "0x2a", Action::Dispatch, std::nullopt},
      {{"/p"}, "junk", Action::Dispatch, std::nullopt},
      {{}, "junk", Action::Dispatch, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << (row.arguments.empty() ? "(none)" : row.arguments.front())
                                      << " with " << (row.variable ? row.variable : "(unset)"));
    const CommandLine line = ParseCommandLine(row.arguments, row.variable);
    EXPECT_EQ(line.action, row.action) << line.error;
    EXPECT_EQ(line.window, row.window);
  }
}

}  // namespace
}  // namespace zimoklas::x11

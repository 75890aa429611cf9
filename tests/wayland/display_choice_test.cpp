// Choosing the display at start-up: a compositor that answers wins over the X server,
// the switches force either, a stale socket is no compositor, and with neither the one
// line names both variables.
#include "platform/wayland/wayland_display_choice.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/x11/x11_command_line.hpp"

namespace zimoklas::wayland {
namespace {

TEST(DisplayChoice, AnsweringCompositorFirstThenDisplayUnlessForced) {
  const DisplayEnvironment both{"wayland-1", "/run/user/1000", ":0"};
  const DisplayEnvironment x11Only{nullptr, "/run/user/1000", ":0"};
  const DisplayEnvironment neither{nullptr, nullptr, ""};
  EXPECT_EQ(ChooseDisplay(DisplayForce::Automatic, both, true), DisplayKind::Wayland);
  EXPECT_EQ(ChooseDisplay(DisplayForce::Automatic, both, false), DisplayKind::X11);
  EXPECT_EQ(ChooseDisplay(DisplayForce::Automatic, x11Only, false), DisplayKind::X11);
  EXPECT_EQ(ChooseDisplay(DisplayForce::Automatic, neither, false), DisplayKind::Neither);
  EXPECT_EQ(ChooseDisplay(DisplayForce::X11, both, true), DisplayKind::X11);
  EXPECT_EQ(ChooseDisplay(DisplayForce::Wayland, x11Only, false), DisplayKind::Wayland);

  EXPECT_EQ(WaylandSocketPath(both), "/run/user/1000/wayland-1");
  EXPECT_EQ(WaylandSocketPath(x11Only), "/run/user/1000/wayland-0");
  EXPECT_EQ(WaylandSocketPath({"/tmp/w/sock", nullptr, nullptr}), "/tmp/w/sock");
  EXPECT_EQ(WaylandSocketPath(neither), "");

  const std::string message = NoDisplayMessage(neither);
  EXPECT_NE(message.find("WAYLAND_DISPLAY is not set"), std::string::npos) << message;
  EXPECT_NE(message.find("DISPLAY is not set"), std::string::npos) << message;
  EXPECT_EQ(message.find('\n'), std::string::npos);
}

TEST(DisplayChoice, OnlyASocketThatAnswersInTimeIsACompositor) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("zimoklas-choice-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string dir = folder.string();
  const DisplayEnvironment environment{"wayland-7", dir.c_str(), nullptr};
  constexpr std::chrono::milliseconds kWait{300};
  EXPECT_EQ(ProbeWayland(environment, kWait).answer, WaylandAnswer::Nothing);

  const std::string path = WaylandSocketPath(environment);
  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  // Bound but not listening: what a compositor that died leaves behind.
  EXPECT_EQ(ProbeWayland(environment, kWait).answer, WaylandAnswer::Nothing);
  // Listening, but never answering: the wait ends after its time.
  ASSERT_EQ(listen(server, 1), 0);
  EXPECT_EQ(ProbeWayland(environment, kWait).answer, WaylandAnswer::Silent);
  close(server);
  std::filesystem::remove_all(folder);
}

TEST(DisplayChoice, SwitchesForceADisplayAndStayOutOfTheModeText) {
  using x11::CommandLine;
  const CommandLine wayland = x11::ParseCommandLine({"--wayland", "/s"}, nullptr);
  EXPECT_EQ(wayland.display, CommandLine::Display::Wayland);
  EXPECT_EQ(wayland.argumentText, "/s");
  // The surface's kind chooses no display.
  const CommandLine toplevel = x11::ParseCommandLine({"/S", "--fullscreen-toplevel"}, nullptr);
  EXPECT_EQ(toplevel.display, CommandLine::Display::Automatic);
  EXPECT_TRUE(toplevel.fullscreenToplevel);
  EXPECT_EQ(toplevel.argumentText, "/S");
  const CommandLine x11 = x11::ParseCommandLine({"--x11"}, nullptr);
  EXPECT_EQ(x11.display, CommandLine::Display::X11);
  EXPECT_EQ(x11.argumentText, "");
  EXPECT_EQ(x11::ParseCommandLine({"-h"}, nullptr).action, CommandLine::Action::Help);
  const CommandLine both = x11::ParseCommandLine({"--fullscreen-toplevel", "--wayland"}, nullptr);
  EXPECT_EQ(both.display, CommandLine::Display::Wayland);
  EXPECT_TRUE(both.fullscreenToplevel);
  // Contradictions, whichever comes first.
  for (const std::vector<std::string_view>& arguments :
       {std::vector<std::string_view>{"--x11", "/s", "--fullscreen-toplevel"},
        {"--fullscreen-toplevel", "--x11", "/s"},
        {"--wayland", "--x11"},
        {"--x11", "/s", "--wayland"}}) {
    const CommandLine line = x11::ParseCommandLine(arguments, nullptr);
    EXPECT_EQ(line.action, CommandLine::Action::Error) << arguments.front();
    EXPECT_NE(line.error.find("--x11 and --"), std::string::npos) << line.error;
  }
}

}  // namespace
}  // namespace zimoklas::wayland

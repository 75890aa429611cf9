// zimoklas as a screen-saver daemon's module: drawing into a window it is given (by
// $XSCREENSAVER_WINDOW or --window-id) at that window's size, leaving input to the
// daemon, ending on SIGTERM or when its window goes; and under the real xscreensaver.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "e2e_harness.hpp"

namespace zimoklas::e2e {
namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlue{0, 0, 255};
constexpr Box kTarget{200, 150, 840, 630};  // 640 x 480
// Screen::BackingStore's values.
constexpr int kNotUseful = 0;
constexpr int kAlways = 2;

class ModuleTest : public NativeTest {
 protected:
  void SetUp() override {
    NativeTest::SetUp();
    if (Stopped()) return;
    SeedKeyFile({{"SnihR", "0"}, {"SnihG", "0"}, {"SnihB", "255"}});
    window_ = screen_->CreateWindow(kTarget);
  }
  void TearDown() override {
    if (window_ != 0) screen_->DestroyWindow(window_);
    NativeTest::TearDown();
  }
  std::string WindowId() const { return "0x" + ToHex(window_); }
  static std::string ToHex(unsigned long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lx", value);
    return text;
  }

  // A module ended by SIGTERM ends by it, after cleaning up; one whose window went ends
  // with status 0.
  void ExpectEndsWithin1s(Process& module, int expected = 0) {
    const auto start = Clock::now();
    const std::optional<int> status = module.WaitForExit(1s);
    ASSERT_TRUE(status.has_value()) << "still running 1 s later";
    EXPECT_EQ(*status, expected);
    EXPECT_LE(std::chrono::duration_cast<Milliseconds>(Clock::now() - start).count(), 1000);
  }

  unsigned long window_ = 0;
};

// The clock line's ink within the window's top band.
Box ClockLine(const Image& shot, const Box& window) {
  return shot.BoundsOf(kWhite, Box{window.left, window.top, window.right, window.top + 60});
}

TEST_F(ModuleTest, DrawsSnowInTheGivenWindowIgnoresKeysAndEndsOnSigterm) {
  for (const bool byVariable : {true, false}) {
    SCOPED_TRACE(byVariable ? "XSCREENSAVER_WINDOW" : "--window-id");
    ASSERT_EQ(screen_->BackingStore(window_), kAlways);
    auto module = byVariable ? Start({"--root"}, {"XSCREENSAVER_WINDOW=" + WindowId()})
                             : Start({"--window-id", WindowId()});
    std::this_thread::sleep_for(1500ms);
    // The X server would draw every point off screen and copy it on.
    EXPECT_EQ(screen_->BackingStore(window_), kNotUseful) << "drawn with backing store";
    const Image shot = screen_->Capture();
    shot.SavePng(ArtifactPath(byVariable ? "module-variable.png" : "module-window-id.png"));
    // Snow under the texts, inside the window, and nothing of the scene outside it.
    const Box sky{kTarget.left, kTarget.top + 300, kTarget.right, kTarget.bottom};
    EXPECT_GE(shot.CountColour(kBlue, sky), 30);
    EXPECT_EQ(shot.CountColour(kBlue), shot.CountColour(kBlue, kTarget));
    const Box clock = ClockLine(shot, kTarget);
    EXPECT_NEAR((clock.left + clock.right) / 2, kTarget.left + 320, 30);

    screen_->MovePointer(kTarget.left + 100, kTarget.top + 400);
    screen_->TapKey("a");
    screen_->Click();
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(module->Running()) << "a module leaves input to the daemon";

    module->Signal(SIGTERM);
    ExpectEndsWithin1s(*module, 128 + SIGTERM);
    EXPECT_EQ(screen_->BackingStore(window_), kAlways) << "not given back";
  }
}

TEST_F(ModuleTest, FollowsTheWindowsSizeAndEndsWhenItIsDestroyed) {
  auto module = Start({"--window-id", WindowId()});
  std::this_thread::sleep_for(800ms);
  const Box before = ClockLine(screen_->Capture(), kTarget);
  screen_->ResizeWindow(window_, 1000, 600);
  std::this_thread::sleep_for(300ms);
  const Box wider{kTarget.left, kTarget.top, kTarget.left + 1000, kTarget.top + 600};
  const Image shot = screen_->Capture();
  const Box after = ClockLine(shot, wider);
  EXPECT_NEAR((before.left + before.right) / 2, kTarget.left + 320, 30);
  EXPECT_NEAR((after.left + after.right) / 2, kTarget.left + 500, 30) << "not centred again";
  // The notice moved to the new bottom-right corner.
  EXPECT_GT(shot.CountColour({192, 0, 0},
                             Box{wider.right - 400, wider.bottom - 30, wider.right, wider.bottom}),
            10);

  screen_->DestroyWindow(window_);
  window_ = 0;
  ExpectEndsWithin1s(*module);
}

// Runs a command as the unprivileged account with the given HOME and display.
std::unique_ptr<Process> AsNobody(const std::string& home, const std::string& display,
                                  std::vector<std::string> command, const std::string& log) {
  std::vector<std::string> argv = {"runuser",
                                   "-u",
                                   "nobody",
                                   "--",
                                   "env",
                                   "HOME=" + home,
                                   "DISPLAY=" + display,
                                   "XDG_CONFIG_HOME=" + home + "/.config"};
  argv.insert(argv.end(), command.begin(), command.end());
  return std::make_unique<Process>(argv, std::vector<std::string>{}, log);
}

TEST_F(ModuleTest, RunsUnderTheRealXscreensaverInTheKeyFilesColour) {
  const passwd* nobody = getpwnam("nobody");
  if (geteuid() != 0 || nobody == nullptr || access("/usr/bin/xscreensaver", X_OK) != 0) {
    GTEST_SKIP() << "needs root, the account nobody and xscreensaver";
  }
  VirtualDisplay display;
  ASSERT_TRUE(display.ok());
  Screen screen(display.name());
  const std::filesystem::path home = configHome_ + "/home";
  WriteKeyFile((home / ".config").string(), {{"SnihR", "0"}, {"SnihG", "0"}, {"SnihB", "255"}});
  std::ofstream(home / ".xscreensaver")
      << "mode: one\nselected: 0\ncycle: 0:00:04\nlock: False\nfade: False\nunfade: False\n"
         "splash: False\n"
         "timeout: 0:30:00\ndpmsEnabled: False\nprograms: "
      << program_ << " --root \\n\n";
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
    ASSERT_EQ(chown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
  }
  ASSERT_EQ(chown(home.c_str(), nobody->pw_uid, nobody->pw_gid), 0);

  const std::string log = configHome_ + "/xscreensaver.log";
  auto daemon = AsNobody(home, display.name(), {"xscreensaver", "-no-splash", "-verbose"}, log);
  std::this_thread::sleep_for(1500ms);
  AsNobody(home, display.name(), {"xscreensaver-command", "-activate"}, log)->WaitForExit(10s);
  std::this_thread::sleep_for(2500ms);
  const Image shot = screen.Capture();
  shot.SavePng(ArtifactPath("xscreensaver.png"));
  // The daemon's window, which shows the scene, has backing store Always of its own.
  EXPECT_EQ(screen.BackingStore(screen.TopWindow()), kNotUseful) << "drawn with backing store";
  int cellsWithSnow = 0;
  for (int row = 1; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      const Box cell{column * 320, row * 180, (column + 1) * 320, (row + 1) * 180};
      if (shot.CountColour(kBlue, cell) > 0) ++cellsWithSnow;
    }
  }
  EXPECT_GE(cellsWithSnow, 9) << "snow of the key file's colour in " << cellsWithSnow
                              << " of the 12 cells below the texts";
  EXPECT_GE(shot.CountColour(kWhite, Box{0, 0, 1280, 60}), 50) << "no clock line";

  // Every 4 s the daemon ends the module with SIGTERM to start it again; the module ends
  // by that signal, which the daemon takes as a normal end.
  std::this_thread::sleep_for(2500ms);
  AsNobody(home, display.name(), {"xscreensaver-command", "-exit"}, log)->WaitForExit(10s);
  daemon->Signal(SIGTERM);
  daemon->WaitForExit(5s);
  const std::string said = ReadFile(log);
  EXPECT_NE(said.find("(" + program_ + ") exited normally with SIGTERM"), std::string::npos)
      << said;
  EXPECT_EQ(said.find("abnormally"), std::string::npos) << said;
}

}  // namespace
}  // namespace zimoklas::e2e

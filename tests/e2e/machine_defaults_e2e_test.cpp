// The native zimoklas with machine-wide defaults: the snow takes the colour of the file
// found along XDG_CONFIG_DIRS until the user's own file stores another.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "e2e_harness.hpp"
#include "saver_scene.hpp"

namespace zimoklas::e2e {
namespace {

using MachineDefaultsTest = NativeTest;

TEST_F(MachineDefaultsTest, SnowTakesTheMachineWideColourUntilTheUserStoresTheirOwn) {
  const std::string machine = configHome_ + "/machine";
  WriteKeyFile(machine, {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}});
  constexpr Rgb kGreen{0, 255, 0};
  constexpr Rgb kCyan{0, 255, 255};
  struct Row {
    const char* what;
    Settings user;
    Rgb snow, not_snow;
  };
  const Row rows[] = {
      {"machine-wide green", {}, kGreen, kCyan},
      {"the user's blue over it", {{"SnihB", "255"}}, kCyan, kGreen},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SeedKeyFile(row.user);
    screen_->MovePointer(kLargeX, kLargeY);
    // A missing folder first: the next one in the list is looked at.
    auto saver = Start({"/s"}, {"XDG_CONFIG_DIRS=" + configHome_ + "/none:" + machine});
    ASSERT_TRUE(screen_->WaitForWindow(kSceneTitle, 5s));
    std::this_thread::sleep_for(1500ms);
    const Image shot = screen_->Capture();
    const int snow = shot.CountColour(row.snow, kSky);
    EXPECT_GE(snow, 200);
    EXPECT_LT(shot.CountColour(row.not_snow, kSky), snow / 10);
    ExpectSaverEndsOn(*saver, *screen_, [&] { screen_->TapKey("a"); });
  }
}

}  // namespace
}  // namespace zimoklas::e2e

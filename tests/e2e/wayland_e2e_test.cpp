// zimoklas on a Wayland compositor with no X server anywhere in its environment: the
// scene over the whole output (as a layer surface, and as the fullscreen toplevel the
// switch forces), its keys and endings, the settings window, swayidle starting the
// scene, the scene at a fractional scale, and the start-up without any display.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "e2e_harness.hpp"
#include "wayland_session.hpp"

namespace zimoklas::e2e {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlue{0, 0, 255};
// Below the big P.F. line and above the notice: only snow and fireworks are drawn there.
constexpr Box kSky{0, 330, 1280, 680};

std::string MakeTempFolder(const std::string& name) {
  std::string pattern = (std::filesystem::temp_directory_path() / (name + "-XXXXXX")).string();
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// The native program, or why it cannot run; no display is needed to start it.
std::string NativeProgramMissing() {
  struct stat st {};
  return stat(ZIMOKLAS_NATIVE_PATH, &st) == 0 ? std::string()
                                              : std::string(ZIMOKLAS_NATIVE_PATH) + " is missing";
}

class WaylandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing = NativeProgramMissing();
    if (missing.empty()) {
      sway_.emplace();
      missing = sway_->missing();
      compositor_ = sway_->ClientEnvironment();
    }
    Require(missing);
  }
  // Fails or skips the test for what is missing; else makes its configuration folder.
  void Require(const std::string& missing) {
    if (!missing.empty()) {
      if (EndToEndRequired()) FAIL() << "the end-to-end run is required, but " << missing;
      GTEST_SKIP() << missing;
    }
    configHome_ = MakeTempFolder("zimoklas-wayland-config");
  }
  void TearDown() override {
    sway_.reset();
    if (!configHome_.empty()) std::filesystem::remove_all(configHome_);
  }

  // The program (after `launcher`) with the compositor's variables, the private
  // configuration folder and no DISPLAY.
  std::unique_ptr<Process> Start(const std::vector<std::string>& arguments,
                                 const std::vector<std::string>& launcher = {}) {
    std::vector<std::string> argv{"env", "-u", "DISPLAY"};
    argv.insert(argv.end(), launcher.begin(), launcher.end());
    argv.emplace_back(ZIMOKLAS_NATIVE_PATH);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = compositor_;
    environment.push_back("XDG_CONFIG_HOME=" + configHome_);
    return std::make_unique<Process>(argv, environment, log());
  }
  std::string log() const { return configHome_ + "/output.log"; }

  // Waits until the scene covers the output: no background left, the snow in the
  // stored colour, and a burst in the sky. Returns the last screenshot.
  Image WaitForScene(const std::string& name) {
    Image shot;
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
      shot = sway_->Capture();
      const int sparks = shot.Count(
          [](Rgb c) { return !(c == kBlack) && !(c == kGreen) && !(c == kSwayBackground); }, kSky);
      if (shot.width() > 0 && shot.CountColour(kSwayBackground) == 0 &&
          shot.CountColour(kGreen) >= 200 && sparks >= 20) {
        break;
      }
      std::this_thread::sleep_for(200ms);
    }
    return SaveShot(shot, name);
  }
  void ExpectCovered(const Image& shot) {
    ASSERT_EQ(shot.width(), 1280);
    EXPECT_EQ(shot.CountColour(kSwayBackground), 0) << "the desktop shows through";
    EXPECT_GE(shot.CountColour(kGreen, kSky), 100) << "no snow in the stored colour";
    EXPECT_GE(shot.Count([](Rgb c) { return !(c == kBlack) && !(c == kGreen); }, kSky), 20)
        << "no fireworks";
    // The texts: the clock line centred at the top, the big P.F. line, the notice in the
    // bottom-right corner.
    const Box clock = shot.BoundsOf(kWhite, Box{0, 0, 1280, 50});
    EXPECT_NEAR((clock.left + clock.right) / 2, 640, 30) << "no clock line";
    EXPECT_GE(shot.CountColour(kBlue, Box{0, 100, 1280, 300}), 2000) << "no P.F. line";
    // The notice's small glyphs are mostly shades of its red.
    EXPECT_GE(shot.Count([](Rgb c) { return c.r >= 96 && c.g < 48 && c.b < 48; },
                         Box{900, 680, 1280, 720}),
              40)
        << "no notice";
  }

  std::optional<HeadlessSway> sway_;
  std::vector<std::string> compositor_;  // what reaches the compositor
  std::string configHome_;
};

// KDE Plasma's compositor, which offers fractional scales, over a 1920 x 1080 output at
// scale 1.5: 2880 x 1620 of the output's own pixels.
class WaylandKWinTest : public WaylandTest {
 protected:
  void SetUp() override {
    std::string missing = NativeProgramMissing();
    if (missing.empty()) {
      kwin_.emplace(1920, 1080, "1.5");
      missing = kwin_->missing();
      compositor_ = kwin_->ClientEnvironment();
    }
    Require(missing);
  }
  void TearDown() override {
    kwin_.reset();
    WaylandTest::TearDown();
  }

  std::optional<HeadlessKWin> kwin_;
};

TEST_F(WaylandTest, SaverIsALayerOverTheOutputThatOnlyACharacterKeyEnds) {
  WriteKeyFile(configHome_, {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}});
  auto saver = Start({"/s"});
  ExpectCovered(WaitForScene("wayland-layer"));
  // A layer surface is no window of the compositor's tree.
  EXPECT_EQ(sway_->Tree().find("zimoklas"), std::string::npos);

  sway_->Type({"-k", "Shift_L"});
  sway_->Type({"-k", "Left"});
  std::this_thread::sleep_for(300ms);
  ASSERT_TRUE(saver->Running()) << "Shift or Left ended the saver";
  sway_->Type({"a"});
  EXPECT_EQ(saver->WaitForExit(3s), std::optional<int>(0));
}

// Eleven moves within a millisecond end the scene, as on X11: each wl_pointer.motion
// counts, none merged with the next.
TEST_F(WaylandTest, EveryMotionOfAFastBurstCounts) {
  WriteKeyFile(configHome_, {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}});
  auto saver = Start({"/s"});
  WaitForScene("wayland-before-burst");
  sway_->Point({"move", "640", "360", "1280", "720"});
  ASSERT_TRUE(saver->Running()) << "the pointer's arrival ended the saver";
  sway_->Point({"burst", "11"});
  EXPECT_EQ(saver->WaitForExit(3s), std::optional<int>(0));
}

TEST_F(WaylandTest, FallbackToplevelCoversTheOutputAndEndsOnSigterm) {
  WriteKeyFile(configHome_, {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}});
  auto saver = Start({"/s", "--fullscreen-toplevel"});
  ASSERT_TRUE(sway_->WaitForWindow("zimoklas", 5s)) << ReadFile(log());
  const std::string tree = sway_->Tree();
  EXPECT_NE(tree.find("\"name\": \"Zimoklas\""), std::string::npos) << tree;
  EXPECT_NE(tree.find("\"fullscreen_mode\": 1"), std::string::npos) << tree;
  ExpectCovered(WaitForScene("wayland-toplevel"));
  saver->Signal(SIGTERM);
  EXPECT_EQ(saver->WaitForExit(3s), std::optional<int>(128 + SIGTERM));
}

TEST_F(WaylandTest, EndingSignalsEndTheSceneAtAnyMomentOfItsStartAndTheSettingsWindow) {
  // From the first instant to well after the first frame: each time the signal itself
  // ends the program.
  for (const int signal : {SIGTERM, SIGINT}) {
    for (const Milliseconds after : {0ms, 30ms, 100ms, 250ms, 600ms}) {
      auto saver = Start({"/s"});
      std::this_thread::sleep_for(after);
      saver->Signal(signal);
      EXPECT_EQ(saver->WaitForExit(3s), std::optional<int>(128 + signal)) << after.count();
    }
  }
  // The settings window takes them over: it closes without saving, ended by the signal.
  auto settings = Start({});
  ASSERT_TRUE(sway_->WaitForWindow("Zimoklas  by Ombra Software", 10s)) << ReadFile(log());
  settings->Signal(SIGTERM);
  EXPECT_EQ(settings->WaitForExit(3s), std::optional<int>(128 + SIGTERM));
  EXPECT_FALSE(std::filesystem::exists(configHome_ + "/Ombra/Zimoklas.conf"));
}

TEST_F(WaylandTest, LostCompositorEndsTheSaverWithStatus1AndOneLine) {
  WriteKeyFile(configHome_, {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}});
  auto saver = Start({"/s"});
  WaitForScene("wayland-before-loss");
  sway_->Kill();
  EXPECT_EQ(saver->WaitForExit(3s), std::optional<int>(1));
  const std::string output = ReadFile(log());
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  EXPECT_NE(output.find("Wayland compositor"), std::string::npos) << output;
}

TEST_F(WaylandTest, AnOutputWiderThanTheSceneCanDrawEndsItWithStatus1AndOneLine) {
  // Made that wide while the saver runs, then already that wide when it starts.
  const std::string line =
      "zimoklas: the output is 32768 x 100 pixels, more than the 32767 a side the scene can "
      "draw\n";
  auto saver = Start({"/s"});
  WaitForScene("wayland-before-widening");
  ASSERT_EQ(sway_->Command("output HEADLESS-1 resolution 32768x100"), 0);
  EXPECT_EQ(saver->WaitForExit(3s), std::optional<int>(1));
  EXPECT_EQ(ReadFile(log()), line);
  auto again = Start({"/s"});
  EXPECT_EQ(again->WaitForExit(3s), std::optional<int>(1));
  EXPECT_EQ(ReadFile(log()), line + line);
}

TEST_F(WaylandTest, SettingsWindowOpensWithoutXAndEnterSavesTheSixValues) {
  auto settings = Start({});
  ASSERT_TRUE(sway_->WaitForWindow("Zimoklas  by Ombra Software", 10s)) << ReadFile(log());
  std::this_thread::sleep_for(500ms);
  SaveShot(sway_->Capture(), "wayland-settings");
  sway_->Type({"-k", "Return"});
  ASSERT_EQ(settings->WaitForExit(5s), std::optional<int>(0)) << ReadFile(log());
  const std::string stored = ReadFile(configHome_ + "/Ombra/Zimoklas.conf");
  for (const auto& [key, value] : kDefaults) {
    EXPECT_NE(stored.find(key + "=" + value + "\n"), std::string::npos) << key << "\n" << stored;
  }
}

TEST_F(WaylandTest, SwayidleStartsTheSceneAfterASecondWithoutInput) {
  WriteKeyFile(configHome_, {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}});
  std::vector<std::string> argv{
      "env", "-u",      "DISPLAY", "swayidle",
      "-w",  "timeout", "1",       std::string(ZIMOKLAS_NATIVE_PATH) + " /s"};
  std::vector<std::string> environment = sway_->ClientEnvironment();
  environment.push_back("XDG_CONFIG_HOME=" + configHome_);
  Process idle(argv, environment, log());
  ExpectCovered(WaitForScene("wayland-swayidle"));
  // The scene ends on a key as usual; swayidle goes with the test.
  sway_->Type({"a"});
}

TEST_F(WaylandKWinTest, AtAFractionalScaleTheSceneIsDrawnInTheOutputsOwnPixels) {
  WriteKeyFile(configHome_, {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}});
  auto saver = Start({"/s"});
  std::this_thread::sleep_for(3s);
  const Image shot = SaveShot(kwin_->Capture(), "wayland-kwin-scale-1.5");
  ASSERT_EQ(shot.width(), 2880) << ReadFile(log());
  ASSERT_EQ(shot.height(), 1620);
  // One pixel of the scene to one of the output: each flake is one pixel of exactly the
  // stored green. Drawn at scale 2 and scaled down, the flakes were all blends of green
  // and black.
  const Box sky{0, 750, 2880, 1520};
  const int exact = shot.CountColour(kGreen, sky);
  const int blended =
      shot.Count([](Rgb c) { return c.r == 0 && c.b == 0 && c.g > 0 && c.g < 255; }, sky);
  EXPECT_GE(exact, 100);
  EXPECT_LE(blended, exact / 10);
  // Laid out at 144 DPI: the P.F. line, about 800 pixels wide at 96 DPI, is half as wide
  // again.
  const Box pf = shot.BoundsOf(kBlue, Box{0, 185, 2880, 450});
  EXPECT_NEAR(pf.width(), 1200, 50);
  saver->Signal(SIGTERM);
  EXPECT_EQ(saver->WaitForExit(3s), std::optional<int>(128 + SIGTERM));
}

// KDE Plasma with two outputs: the scene goes on the one kde_output_order_v1 lists first,
// and the other keeps its desktop.
class WaylandKWinTwoOutputsTest : public WaylandKWinTest {
 protected:
  void SetUp() override {
    std::string missing = NativeProgramMissing();
    if (missing.empty()) {
      kwin_.emplace(1280, 720, "1", 2);
      missing = kwin_->missing();
      compositor_ = kwin_->ClientEnvironment();
    }
    Require(missing);
  }
};

TEST_F(WaylandKWinTwoOutputsTest, SceneCoversTheFirstOutputInKdesOrderOnly) {
  WriteKeyFile(configHome_, {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}});
  auto saver = Start({"/s"});
  std::this_thread::sleep_for(3s);
  const Image first = SaveShot(kwin_->Capture("Virtual-0"), "wayland-kwin-first-output");
  const Image second = SaveShot(kwin_->Capture("Virtual-1"), "wayland-kwin-second-output");
  ASSERT_EQ(first.width(), 1280) << ReadFile(log());
  ASSERT_EQ(second.width(), 1280);
  EXPECT_GE(first.CountColour(kGreen, kSky), 100) << "no snow on the first output";
  EXPECT_GE(first.CountColour(kBlue, Box{0, 100, 1280, 300}), 2000) << "no P.F. line";
  EXPECT_LT(second.CountColour(kBlue) + second.CountColour(kGreen), 50)
      << "the scene reaches the second output";
  EXPECT_EQ(ReadFile(log()), "");
  saver->Signal(SIGTERM);
  EXPECT_EQ(saver->WaitForExit(3s), std::optional<int>(128 + SIGTERM));
}

// No compositor and no X server: the preview still ends well, the help needs neither,
// and the saver and the settings window say in one line what is missing.
TEST(WaylandStartUp, WithoutAnyDisplayPreviewEndsWellAndTheOthersSaySo) {
  if (const std::string missing = NativeProgramMissing(); !missing.empty()) {
    if (EndToEndRequired()) FAIL() << "the end-to-end run is required, but " << missing;
    GTEST_SKIP() << missing;
  }
  const std::string runtime = MakeTempFolder("zimoklas-no-display");
  const std::string output = runtime + "/output.log";
  const auto run = [&](const std::vector<std::string>& arguments) {
    std::filesystem::remove(output);
    std::vector<std::string> argv{
        "env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", ZIMOKLAS_NATIVE_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Process program(argv, {"XDG_RUNTIME_DIR=" + runtime, "XDG_CONFIG_HOME=" + runtime}, output);
    return program.WaitForExit(5s);
  };
  EXPECT_EQ(run({"/p"}), std::optional<int>(0));
  EXPECT_EQ(ReadFile(output), "");
  EXPECT_EQ(run({"-h"}), std::optional<int>(0));
  EXPECT_NE(ReadFile(output).find("--wayland"), std::string::npos);
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"/s"}, std::vector<std::string>{}}) {
    EXPECT_EQ(run(arguments), std::optional<int>(1));
    const std::string said = ReadFile(output);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("WAYLAND_DISPLAY is not set"), std::string::npos) << said;
    EXPECT_NE(said.find("DISPLAY is not set"), std::string::npos) << said;
  }
  EXPECT_EQ(run({"/s", "--x11"}), std::optional<int>(1));
  EXPECT_NE(ReadFile(output).find("DISPLAY is not set"), std::string::npos);
  std::filesystem::remove_all(runtime);
}

// The display switches and the compositor's socket against a working X display: a
// socket that accepts and never answers, a dead one with --fullscreen-toplevel, and the
// contradictions, which are refused whatever their order.
TEST(WaylandStartUp, SwitchesAndASilentCompositorLeaveTheSaverOnX11) {
  if (const std::string missing = NativeProgramMissing(); !missing.empty()) {
    if (EndToEndRequired()) FAIL() << "the end-to-end run is required, but " << missing;
    GTEST_SKIP() << missing;
  }
  VirtualDisplay x11;
  ASSERT_TRUE(x11.ok());
  Screen screen(x11.name());
  const std::string runtime = MakeTempFolder("zimoklas-silent");
  const std::string output = runtime + "/output.log";
  const auto start = [&](const std::vector<std::string>& arguments) {
    std::filesystem::remove(output);
    std::vector<std::string> argv{ZIMOKLAS_NATIVE_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<Process>(
        argv,
        std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtime, "XDG_CONFIG_HOME=" + runtime,
                                 "WAYLAND_DISPLAY=wayland-silent", "DISPLAY=" + x11.name()},
        output);
  };
  const auto expectOnX11 = [&](std::unique_ptr<Process> saver, const std::string& said) {
    EXPECT_TRUE(screen.WaitForWindow("Zimoklas", 10s)) << ReadFile(output);
    saver->Signal(SIGTERM);
    EXPECT_EQ(saver->WaitForExit(5s), std::optional<int>(128 + SIGTERM));
    EXPECT_EQ(ReadFile(output), said);
  };

  // No socket at all.
  expectOnX11(start({"--fullscreen-toplevel", "/s"}), "");
  // A socket that accepts but never answers.
  const int server = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = runtime + "/wayland-silent";
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(server, 4), 0);
  expectOnX11(start({"/s"}), "zimoklas: the Wayland compositor at " + path +
                                 " does not answer, so the X display is used\n");
  auto forced = start({"--wayland", "/s"});
  EXPECT_EQ(forced->WaitForExit(10s), std::optional<int>(1));
  EXPECT_EQ(ReadFile(output), "zimoklas: the Wayland compositor at " + path + " does not answer\n");
  close(server);

  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--x11", "--fullscreen-toplevel", "/s"},
        {"--fullscreen-toplevel", "/s", "--x11"},
        {"--wayland", "--x11"}}) {
    auto refused = start(arguments);
    EXPECT_EQ(refused->WaitForExit(5s), std::optional<int>(2)) << arguments.front();
    const std::string said = ReadFile(output);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("contradict"), std::string::npos) << said;
  }
  std::filesystem::remove_all(runtime);
}

}  // namespace
}  // namespace zimoklas::e2e

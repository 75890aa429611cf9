// The native zimoklas as a user meets it on X11: the scene with the stored settings, the
// inputs that end it and those that do not, the preview switch, the primary monitor, the
// command line's own switches, and a display that goes away under it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "e2e_harness.hpp"
#include "saver_scene.hpp"

namespace zimoklas::e2e {
namespace {

int CentreX(const Box& box) {
  return (box.left + box.right) / 2;
}

// The columns of `band` that a line of text of `colour` covers. A snowflake of the same
// colour makes a pixel here and there, so only columns with `ink` such pixels count, and
// of their groups (gaps up to the band's height, wider than a blank of its text) the
// one with the most ink columns is the line.
Box TextColumns(const Image& shot, Rgb colour, const Box& band, int ink) {
  const int maxGap = band.height();
  Box best, group;
  int bestColumns = 0, groupColumns = 0;
  for (int x = band.left; x < band.right; ++x) {
    if (shot.CountColour(colour, Box{x, band.top, x + 1, band.bottom}) < ink) continue;
    if (groupColumns == 0 || x - group.right > maxGap) {
      group = {x, band.top, x + 1, band.bottom};
      groupColumns = 0;
    }
    group.right = x + 1;
    if (++groupColumns > bestColumns) {
      best = group;
      bestColumns = groupColumns;
    }
  }
  return best;
}

class NativeSaverTest : public NativeTest {
 protected:
  // Parks the pointer on the large line (the move counted when the window appears lands
  // there) and starts the saver with snow of (0, 0, 255).
  std::unique_ptr<Process> StartSaver() {
    SeedKeyFile({{"SnihR", "0"}, {"SnihG", "0"}, {"SnihB", "255"}, {"pf", "1"}});
    screen_->MovePointer(kLargeX, kLargeY);
    auto saver = Start({"/s"});
    EXPECT_TRUE(screen_->WaitForWindow(kSceneTitle, 5s)) << "the scene window never appeared";
    std::this_thread::sleep_for(300ms);
    return saver;
  }

  template <class Input>
  void ExpectEndsOn(Process& saver, Input input) {
    ExpectSaverEndsOn(saver, *screen_, input);
  }

  void ExpectStillRunning(Process& saver, const char* after) {
    ExpectSaverStillRunning(saver, 700ms, after);
  }
};

TEST_F(NativeSaverTest, ShowsStoredSnowFireworksAndTextsAndEndsOnlyOnACharacterKey) {
  auto saver = StartSaver();
  std::this_thread::sleep_for(1700ms);  // two seconds after the start
  const Image shot = screen_->Capture();
  shot.SavePng(ArtifactPath("native-saver.png"));
  ASSERT_EQ(shot.width(), 1920);
  EXPECT_EQ(screen_->WindowCardinal(kSceneTitle, "_NET_WM_BYPASS_COMPOSITOR"), 1)
      << "the scene asks a compositing manager to leave it out";

  int cellsWithSnow = 0;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      const Box cell{column * 480, row * 270, (column + 1) * 480, (row + 1) * 270};
      if (shot.CountColour(kBlue, cell) > 0) ++cellsWithSnow;
    }
  }
  EXPECT_GE(cellsWithSnow, 12) << "snow in only " << cellsWithSnow << " of 16 screen cells";
  const int fireworks = shot.Count([](Rgb c) { return !(c == kBlack) && !(c == kBlue); }, kSky);
  EXPECT_GE(fireworks, 3) << "no rocket or spark in the sky";

  const Box clock = shot.BoundsOf(kWhite, kClockBand);
  EXPECT_GE(shot.CountColour(kWhite, kClockBand), 50);
  EXPECT_NEAR(CentreX(clock), 960, 40);
  EXPECT_GE(clock.top, 8) << "the clock line's top is 8 pixels down";
  // The snow has the texts' blue, so the lines are found by their columns of ink.
  EXPECT_NEAR(CentreX(TextColumns(shot, kBlue, kGreetingBand, 3)), 960, 10);
  const Box large = TextColumns(shot, kBlue, kLargeBand, 25);
  EXPECT_GE(shot.CountColour(kBlue, kLargeBand), 5000);
  EXPECT_NEAR(CentreX(large), 960, 10);
  EXPECT_GT(large.width(), 600) << "\"P.F. <year>\" at 150 points";
  const Box notice = shot.BoundsOf(kNoticeRed, kNoticeCorner);
  EXPECT_GE(shot.CountColour(kNoticeRed, kNoticeCorner), 10);
  EXPECT_GE(notice.right, 1895);
  EXPECT_LE(notice.right, 1912) << "8 pixels in from the right edge";
  EXPECT_GE(notice.bottom, 1060);
  EXPECT_LE(notice.bottom, 1072) << "8 pixels up from the bottom edge";

  for (const char* key :
       {"Shift_L", "Control_L", "Left", "Right", "Up", "Down", "F5", "Delete", "KP_Delete"}) {
    screen_->TapKey(key);
  }
  ExpectStillRunning(*saver, "Shift, Ctrl, the arrow keys, F5 and Delete");
  ExpectEndsOn(*saver, [&] { screen_->TapKey("a"); });
}

TEST_F(NativeSaverTest, MovesOverTheNoticeNeverCountAndTheEleventhOverTheSkyEnds) {
  auto saver = StartSaver();
  for (int i = 0; i < 12; ++i) screen_->MovePointer(1700 + 5 * i, 1062);
  screen_->Click();
  ExpectStillRunning(*saver, "moves and a click on the notice");
  for (int i = 0; i < 10; ++i) screen_->MovePointer(kSkyX + 3 * i, kSkyY);
  ExpectStillRunning(*saver, "10 moves over the sky");
  ExpectEndsOn(*saver, [&] { screen_->MovePointer(kSkyX + 40, kSkyY); });
}

TEST_F(NativeSaverTest, AClickOnATextLineKeepsTheSaverAndOneOnTheSkyEndsIt) {
  auto saver = StartSaver();
  screen_->Click();
  ExpectStillRunning(*saver, "a click on the large line");
  screen_->MovePointer(kSkyX, kSkyY);
  ExpectEndsOn(*saver, [&] { screen_->PressButton(1); });
  screen_->ReleaseButton(1);
}

TEST_F(NativeSaverTest, TakesTheKeyboardOnceAnotherClientsGrabEnds) {
  KeyboardGrab shell;
  ASSERT_TRUE(shell.held());
  const auto grabbed = Clock::now();
  auto saver = StartSaver();
  screen_->TapKey("a");
  ExpectStillRunning(*saver, "a key while another client held the keyboard");
  std::this_thread::sleep_until(grabbed + 3s);
  shell.Release();
  std::this_thread::sleep_for(500ms);
  ExpectEndsOn(*saver, [&] { screen_->TapKey("a"); });
}

TEST_F(NativeSaverTest, ShowsARightToLeftGreetingAndASecondLineWiderThanTheScreen) {
  // Snow of green, so that blue is the texts' ink alone.
  const Settings green = {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}};
  {
    Settings hebrew = green;
    hebrew["Text1"] =
        "\u05E9\u05E0\u05D4 \u05D8\u05D5\u05D1\u05D4 \u05D5\u05DE\u05EA\u05D5"
        "\u05E7\u05D4! 2027";
    SeedKeyFile(hebrew);
    auto saver = Start({"/s"});
    ASSERT_TRUE(screen_->WaitForWindow(kSceneTitle, 5s));
    std::this_thread::sleep_for(700ms);
    const Image shot = SaveShot(screen_->Capture(), "hebrew-greeting");
    const Box greeting = shot.BoundsOf(kBlue, kGreetingBand);
    EXPECT_GE(shot.CountColour(kBlue, kGreetingBand), 300) << "no greeting";
    EXPECT_NEAR(CentreX(greeting), 960, 10);
    saver->Signal(SIGTERM);
    saver->WaitForExit(1s);
  }
  Settings wide = green;
  wide["pf"] = "0";
  wide["Text2"].clear();
  while (wide["Text2"].size() < 10000) wide["Text2"] += "P.F. 2027 ";
  SeedKeyFile(wide);
  screen_->MovePointer(kSkyX, kSkyY);
  auto saver = Start({"/s"});
  ASSERT_TRUE(screen_->WaitForWindow(kSceneTitle, 5s));
  std::this_thread::sleep_for(700ms);
  const Image shot = SaveShot(screen_->Capture(), "wide-second-line");
  // Centred and cut at both sides: ink at both edges of the screen and in its middle.
  for (const Box& part :
       {Box{0, 112, 150, 330}, Box{1770, 112, 1920, 330}, Box{885, 112, 1035, 330}}) {
    EXPECT_GE(shot.CountColour(kBlue, part), 1500) << "at " << part.left;
  }
  // The line is text: a click on it keeps the saver.
  screen_->MovePointer(60, 200);
  screen_->Click();
  ExpectStillRunning(*saver, "a click on the second line");
}

TEST_F(NativeSaverTest, PreviewEndsAtOnceAndMapsNoWindow) {
  const auto start = Clock::now();
  auto preview = Start({"/p", "65552"});
  int windowsSeen = 0;
  std::optional<int> status;
  while (!(status = preview->WaitForExit(0ms)) && Clock::now() - start < 1s) {
    windowsSeen += screen_->CountMappedWindows(kSceneTitle);
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_TRUE(status.has_value()) << "/p still running after 1 s";
  EXPECT_EQ(*status, 0);
  EXPECT_EQ(windowsSeen, 0) << "/p mapped a window";
}

TEST_F(NativeSaverTest, VersionHelpABadWindowIdAndOutsideNamesAnswerEscapedWithoutADisplay) {
  const std::vector<std::string> noDisplay = {"DISPLAY=:999"};
  auto version = Start({"--version"}, noDisplay);
  EXPECT_EQ(version->WaitForExit(2s), 0);
  EXPECT_EQ(ReadLog(), "zimoklas 1.00.0009\n");

  auto help = Start({"/s", "--help"}, noDisplay);
  EXPECT_EQ(help->WaitForExit(2s), 0);
  const std::string usage = ReadLog();
  for (const char* word :
       {"/s", "/p", "--root", "-window-id", "--version", "--help", "XSCREENSAVER_WINDOW"}) {
    EXPECT_NE(usage.find(word), std::string::npos) << word << " missing from --help";
  }

  auto bad = Start({"--window-id", "0x12zz"}, noDisplay);
  EXPECT_EQ(bad->WaitForExit(2s), 2);

  // Window ids and display names from outside reach stderr escaped.
  const std::string red = "\x1b[31mRED\a";
  using Run = std::pair<std::vector<std::string>, std::vector<std::string>>;
  for (const auto& [arguments, environment] :
       {Run{{"--window-id", red}, noDisplay},
        Run{{"--root"}, {"XSCREENSAVER_WINDOW=" + red, "DISPLAY=:999"}},
        Run{{"/s"}, {"DISPLAY=" + red}}, Run{{"/s", "--wayland"}, {"WAYLAND_DISPLAY=" + red}},
        Run{{"/s"}, {"DISPLAY=", "WAYLAND_DISPLAY=" + red}}}) {
    SCOPED_TRACE(arguments.front() + " " + environment.front());
    auto program = Start(arguments, environment);
    EXPECT_NE(program->WaitForExit(2s).value_or(0), 0);
    const std::string said = ReadLog();
    EXPECT_NE(said.find("\\x1B[31mRED\\x07"), std::string::npos) << said;
    EXPECT_EQ(said.find_first_of("\x1b\a"), std::string::npos) << said;
  }
}

TEST_F(NativeSaverTest, CoversThePrimaryMonitorOnlyAndInputOverTheOtherOneDoesNotEndIt) {
  VirtualDisplay twoMonitors("2560x720x24");
  ASSERT_TRUE(twoMonitors.ok());
  const std::string on = "DISPLAY=" + twoMonitors.name();
  // Connected first: the server forgets the monitors when its last client leaves.
  Screen screen(twoMonitors.name());
  Process({"xrandr", "--setmonitor", "left", "1280/340x720/190+0+0", "none"}, {on}).WaitForExit(5s);
  Process({"xrandr", "--setmonitor", "*right", "1280/340x720/190+1280+0", "none"}, {on})
      .WaitForExit(5s);
  const Box left{0, 0, 1280, 720};
  const Image before = screen.Capture().Crop(left);
  auto saver = Start({"/s"}, {on});
  ASSERT_TRUE(screen.WaitForWindow(kSceneTitle, 5s));
  const Box box = screen.WindowBox(kSceneTitle);
  EXPECT_EQ(box.left, 1280);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.width(), 1280);
  EXPECT_EQ(box.height(), 720);

  // The saver grabs the pointer, so it hears of all of this; none of it is over its window.
  for (int i = 0; i < 15; ++i) screen.MovePointer(300 + 20 * i, 400);
  screen.Click();
  ExpectStillRunning(*saver, "15 moves and a click over the other monitor");
  const Image during = SaveShot(screen.Capture(), "native-two-monitors");
  int changed = 0;
  for (int y = 0; y < left.bottom; ++y) {
    for (int x = 0; x < left.right; ++x) changed += during.at(x, y) == before.at(x, y) ? 0 : 1;
  }
  EXPECT_EQ(changed, 0) << "pixels of the other monitor changed";
  EXPECT_GE(during.Count([](Rgb c) { return !(c == kBlack); }, Box{1280, 0, 2560, 720}), 100)
      << "no scene on the primary monitor";
  ExpectSaverEndsOn(*saver, screen, [&] { screen.TapKey("a"); });
}

TEST_F(NativeSaverTest, FollowsTheScreenAndThePrimaryMonitorAsTheyChange) {
  VirtualDisplay display("2560x1440x24");
  ASSERT_TRUE(display.ok());
  const std::string on = "DISPLAY=" + display.name();
  Screen screen(display.name());  // keeps the server's monitors while the test runs
  const auto xrandr = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "xrandr");
    Process(arguments, {on}).WaitForExit(5s);
  };
  const auto expectWindowAt = [&](const Box& want, const char* when) {
    Box box;
    for (const auto start = Clock::now(); Clock::now() - start < 2s;) {
      box = screen.WindowBox(kSceneTitle);
      if (box.left == want.left && box.top == want.top && box.right == want.right &&
          box.bottom == want.bottom) {
        break;
      }
      std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(box.left, want.left) << when;
    EXPECT_EQ(box.top, want.top) << when;
    EXPECT_EQ(box.width(), want.width()) << when;
    EXPECT_EQ(box.height(), want.height()) << when;
  };
  // A laptop's screen of 1280 x 720 ...
  xrandr({"--output", "screen", "--off"});
  xrandr({"--fb", "1280x720"});
  auto saver = Start({"/s"}, {on});
  ASSERT_TRUE(screen.WaitForWindow(kSceneTitle, 5s));
  expectWindowAt({0, 0, 1280, 720}, "at the start");
  // ... docked to a monitor of 2560 x 1440: the screen grows.
  xrandr({"--output", "screen", "--auto"});
  expectWindowAt({0, 0, 2560, 1440}, "after the screen grew");
  std::this_thread::sleep_for(300ms);
  const Image grown = SaveShot(screen.Capture(), "screen-grown");
  EXPECT_GE(grown.CountColour(kWhite, Box{0, 0, 2560, 60}), 50) << "no clock line";
  EXPECT_NEAR(CentreX(grown.BoundsOf(kWhite, Box{0, 0, 2560, 60})), 1280, 40)
      << "the clock line is not centred again";
  // The primary monitor moves to the bottom right quarter.
  xrandr({"--setmonitor", "*moved", "1280/340x720/190+1280+720", "none"});
  xrandr({"--output", "screen", "--off"});
  expectWindowAt({1280, 720, 2560, 1440}, "after the primary monitor moved");
  EXPECT_TRUE(saver->Running());
  saver->Signal(SIGTERM);
  EXPECT_EQ(saver->WaitForExit(1s), 128 + SIGTERM);
}

TEST_F(NativeSaverTest, DrawsSnowSparksAndTextOnAnEightBitColourTable) {
  VirtualDisplay display("1280x720x8");  // PseudoColor
  ASSERT_TRUE(display.ok());
  Screen screen(display.name());
  SeedKeyFile({{"SnihR", "255"}, {"SnihG", "255"}, {"SnihB", "0"}});
  auto saver = Start({"/s"}, {"DISPLAY=" + display.name()});
  ASSERT_TRUE(screen.WaitForWindow(kSceneTitle, 5s));
  int sparks = 0, snow = 0;
  Image shot;
  // The sky holds a rocket or sparks most of the time; a few looks find them.
  for (int look = 0; look < 10 && sparks < 3; ++look) {
    std::this_thread::sleep_for(400ms);
    shot = screen.Capture();
    const Box sky{0, 250, 1280, 700};
    snow = shot.CountColour({255, 255, 0}, sky);
    sparks = shot.Count([](Rgb c) { return !(c == kBlack) && !(c == Rgb{255, 255, 0}); }, sky);
  }
  SaveShot(shot, "eight-bit");
  EXPECT_GE(snow, 30) << "no snow of the stored yellow";
  EXPECT_GE(sparks, 3) << "no rocket or spark";
  EXPECT_GE(
      shot.Count([](Rgb c) { return c.r > 128 && c.g > 128 && c.b > 128; }, Box{0, 0, 1280, 60}),
      50)
      << "no clock line";
}

TEST_F(NativeSaverTest, SigtermAtAnyMomentEndsEachModeByTheSignalAndWritesNothing) {
  SeedKeyFile(DefaultsWith({{"Text1", "kept"}}));
  const std::string before = ReadFile(keyFile());
  const std::string folder = configHome_ + "/Ombra";
  for (const std::vector<std::string>& mode :
       std::vector<std::vector<std::string>>{{"/s"}, {"--root"}, {}}) {
    for (const int delay : {0, 10, 25, 60, 400}) {
      SCOPED_TRACE((mode.empty() ? std::string("settings window") : mode.front()) + " after " +
                   std::to_string(delay) + " ms");
      auto program = Start(mode);
      std::this_thread::sleep_for(Milliseconds(delay));
      program->Signal(SIGTERM);
      // Before its handling exists or after, the signal ends it.
      EXPECT_EQ(program->WaitForExit(2s), 128 + SIGTERM);
      EXPECT_EQ(ReadFile(keyFile()), before);
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                              std::filesystem::directory_iterator()),
                1)
          << "a file left beside the key file";
    }
  }
  EXPECT_EQ(screen_->CountMappedWindows(kSceneTitle), 0);
  // Held up in its start-up by an X server that takes the connection and never answers,
  // the saver and the module still end at once by the signal.
  const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int number = 40;
  for (; number < 100; ++number) {
    address.sin_port = htons(static_cast<std::uint16_t>(6000 + number));
    if (bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) break;
  }
  ASSERT_EQ(listen(server, 4), 0);
  for (const char* mode : {"/s", "--root"}) {
    SCOPED_TRACE(mode);
    auto program = Start({mode}, {"DISPLAY=127.0.0.1:" + std::to_string(number)});
    std::this_thread::sleep_for(300ms);
    program->Signal(SIGINT);
    EXPECT_EQ(program->WaitForExit(500ms), 128 + SIGINT);
  }
  close(server);
}

TEST_F(NativeSaverTest, ALostDisplayEndsTheSaverAndTheModuleWithStatus1AndOneLine) {
  VirtualDisplay doomed;
  ASSERT_TRUE(doomed.ok());
  const std::string on = "DISPLAY=" + doomed.name();
  auto saver = Start({"/s"}, {on});
  auto module = Start({"--root"}, {on});
  std::this_thread::sleep_for(1s);
  ASSERT_TRUE(saver->Running());
  ASSERT_TRUE(module->Running());
  doomed.Kill();
  EXPECT_EQ(saver->WaitForExit(1s), 1);
  EXPECT_EQ(module->WaitForExit(1s), 1);
  // One line from each, and no core dump or spinning: both ended within the second.
  const std::string output = ReadLog();
  const std::string line = "zimoklas: lost the connection to the X display\n";
  EXPECT_EQ(output, line + line);
}

}  // namespace
}  // namespace zimoklas::e2e

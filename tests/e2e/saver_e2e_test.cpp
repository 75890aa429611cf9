// Zimoklas.scr under Wine as a user meets it: the saver's scene with the stored settings,
// the inputs that end it and those that do not, and the preview switch.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "e2e_harness.hpp"
#include "saver_scene.hpp"

namespace zimoklas::e2e {
namespace {

constexpr Rgb kSnow{255, 0, 0};

class SaverTest : public WineTest {
 protected:
  // Seeds the settings, parks the pointer on the large line (so that the move the
  // system reports when the window appears counts there) and starts the saver.
  std::unique_ptr<WineProcess> StartSaver(const std::map<std::string, std::string>& settings) {
    registry::SeedTexts(registry::kSettingsKey, settings);
    return Launch();
  }
  std::unique_ptr<WineProcess> Launch() {
    screen_->MovePointer(kLargeX, kLargeY);
    auto saver = std::make_unique<WineProcess>(program_, std::vector<std::string>{"/s"});
    EXPECT_TRUE(screen_->WaitForWindow(kSceneTitle, 20s)) << "the scene window never appeared";
    std::this_thread::sleep_for(500ms);
    return saver;
  }

  template <class Input>
  void ExpectEndsOn(WineProcess& saver, Input input) {
    ExpectSaverEndsOn(saver, *screen_, input);
  }

  void ExpectStillRunning(WineProcess& saver, const char* after) {
    ExpectSaverStillRunning(saver, 1s, after);
  }

  Image Shot(const std::string& name) { return SaveShot(screen_->Capture(), name); }
};

int CentreX(const Box& box) {
  return (box.left + box.right) / 2;
}

TEST_F(SaverTest, ShowsSnowFireworksAndTextsAndEndsOnAKey) {
  auto saver = StartSaver({{"SnihR", "255"}, {"SnihG", "0"}, {"SnihB", "0"}, {"pf", "1"}});
  std::this_thread::sleep_for(1500ms);  // two seconds after the window appeared
  const Image shot = Shot("saver-red-snow");
  ASSERT_EQ(shot.width(), 1920);
  ASSERT_EQ(shot.height(), 1080);

  // Snow of exactly the stored colour, over the whole screen.
  EXPECT_GE(shot.CountColour(kSnow), 300);
  int cellsWithSnow = 0;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      const Box cell{column * 480, row * 270, (column + 1) * 480, (row + 1) * 270};
      if (shot.CountColour(kSnow, cell) > 0) ++cellsWithSnow;
    }
  }
  EXPECT_GE(cellsWithSnow, 12) << "snow in only " << cellsWithSnow << " of 16 screen cells";

  // Fireworks: pixels of another colour in the open sky, below the texts.
  const int fireworks = shot.Count([](Rgb c) { return !(c == kBlack) && !(c == kSnow); }, kSky);
  EXPECT_GE(fireworks, 3) << "no rocket or spark in the sky";

  // The texts, centred, in their colours and places.
  const Box clock = shot.BoundsOf(kWhite, kClockBand);
  EXPECT_GE(shot.CountColour(kWhite, kClockBand), 50);
  EXPECT_NEAR(CentreX(clock), 960, 40) << "the clock line is centred at the first layout";
  const Box greeting = shot.BoundsOf(kBlue, kGreetingBand);
  EXPECT_GE(shot.CountColour(kBlue, kGreetingBand), 100);
  EXPECT_NEAR(CentreX(greeting), 960, 10);
  const Box large = shot.BoundsOf(kBlue, kLargeBand);
  EXPECT_GE(shot.CountColour(kBlue, kLargeBand), 5000);
  EXPECT_NEAR(CentreX(large), 960, 10);
  EXPECT_GT(large.width(), 600) << "\"P.F. <year>\" at 150 points";
  const Box notice = shot.BoundsOf(kNoticeRed, kNoticeCorner);
  EXPECT_GE(shot.CountColour(kNoticeRed, kNoticeCorner), 20);
  // The label's box ends 8 pixels in from the corner; Wine draws small text a few pixels
  // wider than it measures it, so the ink may run slightly past the box.
  EXPECT_GE(notice.right, 1900);
  EXPECT_LE(notice.right, 1918);
  EXPECT_GE(notice.bottom, 1060);
  EXPECT_LE(notice.bottom, 1072) << "8 pixels up from the bottom edge";

  ExpectEndsOn(*saver, [&] { screen_->TapKey("a"); });
}

TEST_F(SaverTest, SecondTextReplacesTheYearWhenPfIsOff) {
  auto withYear = StartSaver({{"pf", "1"}, {"Text2", "Ahoj"}});
  const Image year = Shot("saver-pf-1");
  ExpectEndsOn(*withYear, [&] { screen_->TapKey("a"); });

  auto withText = StartSaver({{"pf", "0"}, {"Text2", "Ahoj"}});
  const Image text = Shot("saver-pf-0-ahoj");
  ExpectEndsOn(*withText, [&] { screen_->TapKey("a"); });

  const Box yearBox = year.BoundsOf(kBlue, kLargeBand);
  const Box textBox = text.BoundsOf(kBlue, kLargeBand);
  ASSERT_FALSE(textBox.empty()) << "no large line with pf 0";
  EXPECT_NEAR(CentreX(textBox), 960, 10);
  // "Ahoj" is four letters against the nine characters of "P.F. <year>".
  EXPECT_LT(textBox.width(), yearBox.width() * 6 / 10);
  EXPECT_GT(textBox.width(), yearBox.width() * 3 / 10);
  int differing = 0;
  for (int y = kLargeBand.top; y < kLargeBand.bottom; ++y) {
    for (int x = 0; x < 1920; ++x) {
      if ((year.at(x, y) == kBlue) != (text.at(x, y) == kBlue)) ++differing;
    }
  }
  EXPECT_GT(differing, 5000);
  // The greeting line is the same in both. Snow and sparks erase some of its pixels in
  // each run, so its extent is compared, and its ink only roughly.
  const Box greetingWithYear = year.BoundsOf(kBlue, kGreetingBand);
  const Box greetingWithText = text.BoundsOf(kBlue, kGreetingBand);
  EXPECT_NEAR(greetingWithYear.left, greetingWithText.left, 3);
  EXPECT_NEAR(greetingWithYear.right, greetingWithText.right, 3);
  const int inkWithYear = year.CountColour(kBlue, kGreetingBand);
  EXPECT_NEAR(inkWithYear, text.CountColour(kBlue, kGreetingBand), inkWithYear / 10);
}

TEST_F(SaverTest, AStoredValueOfAnotherTypeGivesItsDefaultAndIsLeftAlone) {
  const std::string greeting = "\u0160\u0165astn\u00FD \"nov\u00FD\" rok \\ 2027";
  registry::SeedTexts(registry::kSettingsKey,
                      {{"SnihG", "0"}, {"SnihB", "0"}, {"Text1", greeting}});
  registry::Import({std::string("[") + registry::kSettingsKey + "]", "\"SnihR\"=dword:00000000"});
  auto saver = Launch();
  std::this_thread::sleep_for(1s);
  const Image shot = Shot("saver-dword-red");
  EXPECT_GE(shot.CountColour(kSnow), 300) << "red falls back to 255: the snow is (255, 0, 0)";
  ExpectEndsOn(*saver, [&] { screen_->TapKey("a"); });

  // The saver only reads the store.
  const auto stored = registry::Read(registry::kSettingsKey);
  ASSERT_EQ(stored.size(), 4u);
  EXPECT_EQ(stored.at("SnihR").type, "REG_DWORD");
  EXPECT_EQ(stored.at("SnihR").text, "00000000");
  EXPECT_EQ(stored.at("SnihG").type, "REG_SZ");
  EXPECT_EQ(stored.at("SnihG").text, "0");
  EXPECT_EQ(stored.at("SnihB").text, "0");
  EXPECT_EQ(stored.at("Text1").text, greeting);
}

TEST_F(SaverTest, TenMovesOverTheSkyKeepTheSaverAndTheEleventhEndsIt) {
  auto saver = StartSaver({});
  for (int i = 0; i < 10; ++i) screen_->MovePointer(kSkyX + 3 * i, kSkyY);
  ExpectStillRunning(*saver, "10 moves");
  ExpectEndsOn(*saver, [&] { screen_->MovePointer(kSkyX + 40, kSkyY); });
}

TEST_F(SaverTest, AClickOnTheLargeLineKeepsTheSaverAndOneOnTheSkyEndsIt) {
  auto saver = StartSaver({});
  screen_->Click();
  ExpectStillRunning(*saver, "a click on the large line");
  screen_->MovePointer(kSkyX, kSkyY);
  ExpectEndsOn(*saver, [&] { screen_->PressButton(1); });
  screen_->ReleaseButton(1);
}

TEST_F(SaverTest, KeysWithoutACharacterKeepTheSaverAndEscapeEndsIt) {
  auto saver = StartSaver({});
  for (const char* key : {"Shift_L", "Control_L", "Left", "Right", "Up", "Down"}) {
    screen_->TapKey(key);
  }
  ExpectStillRunning(*saver, "Shift, Ctrl and the arrow keys");
  ExpectEndsOn(*saver, [&] { screen_->TapKey("Escape"); });
}

TEST_F(SaverTest, TheNoticeIgnoresMovesAndClicks) {
  auto saver = StartSaver({});
  const Image shot = Shot("saver-notice");
  const Box notice = shot.BoundsOf(kNoticeRed, kNoticeCorner);
  ASSERT_FALSE(notice.empty());
  const int y = (notice.top + notice.bottom) / 2;
  for (int i = 0; i < 12; ++i) screen_->MovePointer(notice.left + 2 + 4 * i, y);
  screen_->Click();
  ExpectStillRunning(*saver, "moves and a click on the notice");
  ExpectEndsOn(*saver, [&] { screen_->TapKey("space"); });
}

TEST_F(SaverTest, TextsFollowTheScreenDpi) {
  const std::map<std::string, std::string> redSnow = {
      {"SnihR", "255"}, {"SnihG", "0"}, {"SnihB", "0"}};
  auto at96 = StartSaver(redSnow);
  const Image shot96 = Shot("saver-96dpi");
  ExpectEndsOn(*at96, [&] { screen_->TapKey("a"); });

  // 120 dots per inch: 12 twips a pixel, fonts a quarter larger.
  const registry::ScopedScreenDpi dpi120(120);
  auto at120 = StartSaver(redSnow);
  const Image shot120 = Shot("saver-120dpi");
  ExpectEndsOn(*at120, [&] { screen_->TapKey("a"); });

  // The clock line's top goes from 8 to 10 pixels, the large line's from 88 to 110; the
  // glyphs inside them grow by 1.25.
  const Box clock96 = shot96.BoundsOf(kWhite, Box{0, 0, 1920, 60});
  const Box clock120 = shot120.BoundsOf(kWhite, Box{0, 0, 1920, 75});
  ASSERT_FALSE(clock96.empty());
  ASSERT_FALSE(clock120.empty());
  EXPECT_NEAR(clock120.top, 10 + (clock96.top - 8) * 1.25, 3);
  EXPECT_NEAR(clock120.height(), clock96.height() * 1.25, 4);
  const Box large96 = shot96.BoundsOf(kBlue, kLargeBand);
  const Box large120 = shot120.BoundsOf(kBlue, Box{0, 142, 1920, 420});
  ASSERT_FALSE(large120.empty());
  EXPECT_NEAR(large120.top, 110 + (large96.top - 88) * 1.25, 5);
  EXPECT_NEAR(large120.width(), large96.width() * 1.25, large96.width() * 0.04);
  EXPECT_NEAR(CentreX(large120), 960, 10);
}

TEST_F(SaverTest, PreviewEndsAtOnceAndShowsNothing) {
  const auto start = Clock::now();
  WineProcess preview(program_, {"/p", "65552"});
  int windowsSeen = 0;
  std::optional<int> status;
  while (!(status = preview.WaitForExit(0ms)) && Clock::now() - start < 1s) {
    windowsSeen += screen_->CountMappedWindows(kSceneTitle);
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_TRUE(status.has_value()) << "/p still running after 1 s";
  EXPECT_EQ(*status, 0);
  EXPECT_EQ(windowsSeen, 0) << "/p mapped a window";
}

}  // namespace
}  // namespace zimoklas::e2e

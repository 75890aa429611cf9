// The settings window of Zimoklas.scr under Wine as a user meets it: the stored settings
// in the controls, OK and Enter saving all six, Storno, Esc and the close box saving
// nothing, Default, the check box and second text, the keyboard on a colour bar, a save
// the registry refuses, the about panel folding out, and the system's text colours.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e_harness.hpp"
#include "settings_window.hpp"

namespace zimoklas::e2e {
namespace {

class SettingsTest : public WineTest {
 protected:
  // Seeds the settings and opens the settings window, as the display settings do.
  void Open(const Settings& settings) {
    registry::SeedTexts(registry::kSettingsKey, settings);
    screen_->MovePointer(screen_->width() - 10, screen_->height() - 10);
    program = std::make_unique<WineProcess>(program_, std::vector<std::string>{"/c"});
    ASSERT_TRUE(screen_->WaitForWindow(kSettingsTitle, 20s))
        << "the settings window never appeared";
    std::this_thread::sleep_for(500ms);
    window = screen_->WindowBox(kSettingsTitle);
    ASSERT_FALSE(window.empty());
    // The window opens with the design's client area, framed by the border and title.
    const Box client = WineClientBox(kSettingsTitle);
    ASSERT_FALSE(client.empty()) << "the client area could not be measured";
    EXPECT_EQ(client.width(), Px(kClientWidth));
    EXPECT_EQ(client.height(), Px(kClientHeight));
    EXPECT_TRUE(window.Contains(client.left, client.top) &&
                window.Contains(client.right - 1, client.bottom - 1));
    EXPECT_GT(client.top - window.top, client.left - window.left) << "no title bar";
    border = client.left - window.left;
    origin = {client.left, client.top};
    // Keys go to the window under the pointer: park it on the title bar.
    screen_->MovePointer(window.left + window.width() / 3, window.top + 4);
  }

  // Pixels for twips at the display's DPI, rounded as the window rounds them.
  int Px(int twips) const {
    return static_cast<int>(std::lrint(static_cast<double>(twips) / twipsPerPixel));
  }
  // A point of the client area, given in twips.
  void ClickAt(int xTwips, int yTwips) {
    screen_->MovePointer(origin.x + Px(xTwips), origin.y + Px(yTwips));
    screen_->Click();
  }
  void ClickDefault() { ClickAt(kDefaultButton.x, kDefaultButton.y); }
  void ClickOk() { ClickAt(kOkButton.x, kOkButton.y); }
  void ClickChevron() { ClickAt(kChevron.x, kChevron.y); }

  void ExpectEnds() { ExpectSettingsEnded(*program, *screen_, 10s); }

  Settings Stored() {
    Settings texts;
    for (const auto& [name, value] : registry::Read(registry::kSettingsKey)) {
      EXPECT_EQ(value.type, "REG_SZ") << name;
      texts[name] = value.text;
    }
    return texts;
  }

  Image Shot(const std::string& name) {
    return SaveShot(screen_->Capture().Crop(screen_->WindowBox(kSettingsTitle)), name);
  }

  std::unique_ptr<WineProcess> program;
  int twipsPerPixel = 15;  // 96 dots per inch
  Box window;
  int border = 0;
  struct {
    int x = 0, y = 0;
  } origin;
};

TEST_F(SettingsTest, EnterWritesTheSixValuesBackUnchanged) {
  const Settings stored = {{"SnihR", "10"},   {"SnihG", "200"},         {"SnihB", "0"},
                           {"Text1", "Ahoj"}, {"Text2", "Šťastný rok"}, {"pf", "0"}};
  Open(stored);
  // The swatch and the three labels show the stored colour in their tints.
  const Image shot = Shot("settings-stored-colour");
  const Box client{border, origin.y - window.top, border + Px(kClientWidth),
                   origin.y - window.top + Px(kClientHeight)};
  const int swatchX = client.left + Px(120 + 3360 + 367);
  const int swatchY = client.top + Px(120 + 240 + 487);
  EXPECT_EQ(shot.at(swatchX, swatchY), (Rgb{10, 200, 0}));
  const Box labels{client.left + Px(240), client.top + Px(360), client.left + Px(840),
                   client.top + Px(1260)};
  EXPECT_GT(shot.CountColour({133, 0, 0}, labels), 0) << "R = 10 in its tint";
  EXPECT_GT(shot.CountColour({0, 132, 0}, labels), 0) << "G = 200 in its tint";
  EXPECT_GT(shot.CountColour({0, 0, 128}, labels), 0) << "B = 0 in its tint";

  // With the store emptied behind the window's back, Enter writes back what it loaded.
  registry::SeedTexts(registry::kSettingsKey, {});
  screen_->TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored(), stored);
}

TEST_F(SettingsTest, EscAndTheCloseBoxWriteNothing) {
  Open(kDefaults);
  registry::SeedTexts(registry::kSettingsKey, {});
  screen_->TapKey("Escape");
  ExpectEnds();
  EXPECT_TRUE(Stored().empty()) << "Esc wrote to the store";

  Open(kDefaults);
  registry::SeedTexts(registry::kSettingsKey, {});
  // The close box sits at the right end of the title bar.
  screen_->MovePointer(window.right - border - 8, window.top + border + 7);
  screen_->Click();
  ExpectEnds();
  EXPECT_TRUE(Stored().empty()) << "the close box wrote to the store";
}

TEST_F(SettingsTest, DefaultThenOkWritesTheDefaults) {
  Open({{"SnihR", "0"},
        {"SnihG", "1"},
        {"SnihB", "2"},
        {"Text1", "první"},
        {"Text2", "druhý"},
        {"pf", "0"}});
  ClickDefault();
  ClickOk();
  ExpectEnds();
  EXPECT_EQ(Stored(), kDefaults);
}

TEST_F(SettingsTest, UntickingAndTypingTheSecondTextIsSaved) {
  Open({});
  ClickAt(120 + 90, 1920 + 97);  // the check box's square
  ClickAt(360 + 600, 2160 + 142);
  screen_->TapKey("End");
  for (int i = 0; i < 4; ++i) screen_->TapKey("BackSpace");  // "P.F."
  for (const char* key : {"n", "o", "v", "y", "space", "r", "o", "k"}) screen_->TapKey(key);
  ClickOk();
  ExpectEnds();
  EXPECT_EQ(Stored(), DefaultsWith({{"pf", "0"}, {"Text2", "novy rok"}}));
}

TEST_F(SettingsTest, KeyboardMovesTheColourBars) {
  Open({});
  // The red bar has the focus when the window opens; Tab moves on to the green one.
  for (int i = 0; i < 3; ++i) screen_->TapKey("Left");
  screen_->TapKey("Tab");
  screen_->TapKey("Home");
  screen_->TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored(), DefaultsWith({{"SnihR", "252"}, {"SnihG", "0"}}));
}

TEST_F(SettingsTest, DraggedThumbRecoloursTheSwatchBeforeItIsLetGo) {
  Open({});
  // The red bar's thumb sits at its right end, just left of the right arrow.
  const int barY = origin.y + Px(120 + 240 + 127);
  const int thumbX = origin.x + Px(120 + 840 + 2415) - 17 - 8;
  screen_->MovePointer(thumbX, barY);
  screen_->PressButton(1);
  screen_->MovePointer(thumbX - 40, barY);
  screen_->MovePointer(thumbX - 80, barY);
  std::this_thread::sleep_for(300ms);
  const Image dragging = Shot("settings-dragging");
  const int top = origin.y - window.top;
  const Rgb swatch = dragging.at(border + Px(120 + 3360 + 367), top + Px(120 + 240 + 487));
  screen_->ReleaseButton(1);
  EXPECT_LT(swatch.r, 255) << "the swatch followed the thumb while it was held";
  EXPECT_EQ(swatch.g, 255);
  EXPECT_EQ(swatch.b, 255);

  screen_->MovePointer(window.left + window.width() / 3, window.top + 4);
  screen_->TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored()["SnihR"], std::to_string(swatch.r)) << "the release kept that position";
}

TEST_F(SettingsTest, ARefusedSaveIsReportedAndTheEditsStayInTheWindow) {
  // While Software\Ombra is volatile, the registry refuses to create the settings key.
  struct Unblock {
    ~Unblock() { registry::Import({"[-HKEY_CURRENT_USER\\Software\\Ombra]"}); }
  } unblock;
  WineProcess block(ZIMOKLAS_VOLATILE_KEY_PATH, {});
  ASSERT_EQ(block.WaitForExit(60s), std::optional<int>(0)) << "no volatile key";

  Open({});
  for (int i = 0; i < 3; ++i) screen_->TapKey("Left");  // red to 252
  screen_->TapKey("Return");
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(program->Running()) << "the window closed and lost the edits";
  const std::vector<Box> boxes = screen_->WindowBoxes(kSettingsTitle);
  ASSERT_EQ(boxes.size(), 2u) << "the settings window and a message box";
  const Box& message = boxes.back();
  screen_->Capture().Crop(message).SavePng(ArtifactPath("settings-save-refused.png"));
  EXPECT_TRUE(Stored().empty());

  // Once the message is read and the store takes writes again, OK saves the kept edits.
  screen_->MovePointer((message.left + message.right) / 2, message.top + 4);
  screen_->TapKey("Return");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(screen_->CountMappedWindows(kSettingsTitle), 1);
  registry::Import({"[-HKEY_CURRENT_USER\\Software\\Ombra]"});
  screen_->MovePointer(window.left + window.width() / 3, window.top + 4);
  screen_->TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored(), DefaultsWith({{"SnihR", "252"}}));
}

TEST_F(SettingsTest, ChevronFoldsTheAboutPanelOutAndIn) {
  // A title bar far taller than the design's: the fold sets client heights, so the panel
  // still shows down to its last line.
  constexpr const char* kMetrics = "[HKEY_CURRENT_USER\\Control Panel\\Desktop\\WindowMetrics]";
  registry::Import({kMetrics, "\"CaptionHeight\"=\"-600\"", "\"SmCaptionHeight\"=\"-600\""});
  struct Restore {
    ~Restore() { registry::Import({kMetrics, "\"CaptionHeight\"=-", "\"SmCaptionHeight\"=-"}); }
  } restore;

  Open({});
  ASSERT_GT(origin.y - window.top, 25 + 10) << "the title bar kept the design's height";
  const Image folded = Shot("settings-folded");
  const Rgb kMaroon{128, 0, 0};
  EXPECT_EQ(folded.CountColour(kMaroon), 0);

  ClickChevron();
  std::this_thread::sleep_for(300ms);
  Box unfolded = screen_->WindowBox(kSettingsTitle);
  EXPECT_EQ(unfolded.height(), window.height() + Px(kUnfoldedClientHeight) - Px(kClientHeight));
  EXPECT_EQ(unfolded.left, window.left) << "the window keeps its place";
  EXPECT_EQ(unfolded.width(), window.width());
  // Unfolded, the client area reaches past the version line (5400 + 195).
  EXPECT_GE(WineClientBox(kSettingsTitle).height(), Px(5595));
  screen_->MovePointer(screen_->width() - 10, screen_->height() - 10);  // no tooltip
  std::this_thread::sleep_for(300ms);
  const Image open = Shot("settings-unfolded");
  const int top = origin.y - window.top;
  // The paragraph in maroon, and the title, author, ownership and version lines in black.
  const Box paragraph{border + Px(120), top + Px(4680), border + Px(4365), top + Px(5355)};
  EXPECT_GT(open.CountColour(kMaroon, paragraph), 200);
  for (int labelTop : {3360, 3720, 3960, 5400}) {
    const Box line{border + Px(120), top + Px(labelTop), border + Px(4300),
                   top + Px(labelTop + 195)};
    EXPECT_GT(open.CountColour({0, 0, 0}, line), 20) << "text at " << labelTop;
  }
  // The version line whole: its lower half too, above the window's lower frame.
  const Box versionFoot{border + Px(120), top + Px(5400 + 97), border + Px(4300), top + Px(5595)};
  EXPECT_GT(open.CountColour({0, 0, 0}, versionFoot), 10);
  EXPECT_LE(top + Px(5595), unfolded.height() - border);

  ClickChevron();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(screen_->WindowBox(kSettingsTitle).height(), window.height());
  // Folded, it ends between the buttons' lower edge (2640 + 375) and the rule (3240).
  const Box foldedClient = WineClientBox(kSettingsTitle);
  EXPECT_GE(foldedClient.height(), Px(3015));
  EXPECT_LT(foldedClient.height(), Px(3240));
  screen_->TapKey("Escape");
  ExpectEnds();
}

TEST_F(SettingsTest, LabelsWithoutAColourOfTheirOwnTakeTheButtonTextColour) {
  // Distinct system colours: labels and the frame follow the button text, never the
  // window text; the frame's caption keeps its own black.
  const Rgb kButtonText{160, 0, 160};
  const Rgb kWindowText{0, 160, 160};
  const registry::ScopedSystemColour buttonText("ButtonText", 160, 0, 160);
  const registry::ScopedSystemColour windowText("WindowText", 0, 160, 160);
  Open({});
  ClickChevron();
  screen_->MovePointer(screen_->width() - 10, screen_->height() - 10);  // no tooltip
  std::this_thread::sleep_for(500ms);
  const Image shot = Shot("settings-system-colours");
  const int top = origin.y - window.top;
  // Title, author, ownership, web address and version lines, left of the two circles.
  for (int labelTop : {3360, 3720, 3960, 4320, 5400}) {
    const Box line{border + Px(120), top + Px(labelTop), border + Px(3100),
                   top + Px(labelTop + 240)};
    EXPECT_GT(shot.CountColour(kButtonText, line), 20) << "text at " << labelTop;
    EXPECT_EQ(shot.CountColour(kWindowText, line), 0) << "text at " << labelTop;
  }
  const Box caption{border + Px(240), top + Px(120), border + Px(1800), top + Px(120 + 195)};
  EXPECT_GT(shot.CountColour({0, 0, 0}, caption), 20);
  EXPECT_EQ(shot.CountColour(kButtonText, caption), 0);
  screen_->MovePointer(window.left + window.width() / 3, window.top + 4);
  screen_->TapKey("Escape");
  ExpectEnds();
}

TEST_F(SettingsTest, SizesAndPlacesFollowTheScreenDpi) {
  // 120 dots per inch: 12 twips a pixel.
  const registry::ScopedScreenDpi dpi120(120);
  twipsPerPixel = 12;

  Open({});
  EXPECT_EQ(Px(kClientWidth), 371);
  EXPECT_GE(border, 1);
  EXPECT_LE(border, 12);
  // The chevron, found at its scaled place, sets the client height in scaled twips.
  ClickChevron();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(screen_->WindowBox(kSettingsTitle).height(),
            window.height() + Px(kUnfoldedClientHeight) - Px(kClientHeight));
  ClickChevron();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(screen_->WindowBox(kSettingsTitle).height(), window.height());
  ClickDefault();
  ClickOk();
  ExpectEnds();
  EXPECT_EQ(Stored(), kDefaults) << "OK, at its scaled place, saved";
}

}  // namespace
}  // namespace zimoklas::e2e

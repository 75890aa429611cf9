// The settings window of the native zimoklas (GTK) as a user meets it: the stored
// settings in the controls, Enter, Esc and the close box, Default, the check box and
// second text, the keyboard, the arrows and a dragged thumb on the colour bars, the tab
// order, a save the key file refuses, the about panel folding out, the boxes and whole
// labels at three DPIs, the frame a window manager gives it, and missing or broken key
// files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e_harness.hpp"
#include "settings_window.hpp"

namespace zimoklas::e2e {
namespace {

// Controls of fixed size and their design boxes on the client area, in twips.
struct DesignBox {
  const char* name;
  int left, top, width, height;
};
constexpr DesignBox kBoxes[] = {
    {"Frame1", 120, 120, 4215, 1335},    {"HScroll1", 960, 360, 2415, 255},
    {"HScroll2", 960, 720, 2415, 255},   {"HScroll3", 960, 1080, 2415, 255},
    {"Shape1", 3480, 360, 735, 975},     {"Text1", 120, 1560, 4215, 285},
    {"Check1", 120, 1920, 4215, 195},    {"Text2", 360, 2160, 1215, 285},
    {"Command1", 2040, 2640, 1095, 375}, {"Command2", 3240, 2640, 1095, 375},
    {"Command3", 120, 2640, 1095, 375},  {"Image1", 1380, 2640, 480, 375},
    {"Shape2", 3120, 4080, 615, 615},    {"Shape3", 3480, 4080, 495, 495},
    {"Label15", 120, 4680, 4245, 675},
};

bool Dark(Rgb c) {
  return c.r + c.g + c.b < 200;
}
// Any ink of text on the window's light face, smoothed edges included.
bool Inked(Rgb c) {
  return c.r + c.g + c.b < 500;
}
// Maroon text, smoothed at its edges.
bool Maroonish(Rgb c) {
  return c.r >= 100 && c.r <= 170 && c.g < 60 && c.b < 60;
}

class GtkSettingsTest : public NativeTest {
 protected:
  Screen& on() { return other_ != nullptr ? *other_ : *screen_; }

  // Starts the settings window, as the desktop's menu entry does, and waits for it. The
  // window reports the boxes GTK gave its controls.
  void Open(std::vector<std::string> environment = {}, bool asNobody = false) {
    on().MovePointer(on().width() - 10, on().height() - 10);
    environment.push_back("ZIMOKLAS_SETTINGS_LAYOUT=1");
    std::vector<std::string> launcher;
    if (asNobody) launcher = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
    std::filesystem::remove(log());
    program = Start({"/c"}, environment, launcher);
    ASSERT_TRUE(on().WaitForWindow(kSettingsTitle, 10s)) << "the settings window never appeared";
    std::this_thread::sleep_for(500ms);
    window = on().WindowBox(kSettingsTitle);
    ASSERT_FALSE(window.empty());
    Park();
  }

  // Keys go to the window under the pointer: park it beside the frame, on no control.
  void Park() { on().MovePointer(window.left + Px(4400), window.top + Px(600)); }
  int Px(int twips) const {
    return static_cast<int>(std::lrint(static_cast<double>(twips) * dpi / 1440.0));
  }
  void ClickAt(int xTwips, int yTwips) {
    on().MovePointer(window.left + Px(xTwips), window.top + Px(yTwips));
    on().Click();
  }
  void ClickDefault() { ClickAt(kDefaultButton.x, kDefaultButton.y); }
  void ClickOk() { ClickAt(kOkButton.x, kOkButton.y); }
  void ClickChevron() { ClickAt(kChevron.x, kChevron.y); }
  Rgb SwatchCentre(const Image& shot) const {
    return shot.at(window.left + Px(3480 + 367), window.top + Px(360 + 487));
  }

  void ExpectEnds() { ExpectSettingsEnded(*program, on(), 5s); }

  // The boxes the window reported, by control name, on the screen.
  std::map<std::string, Box> Layout() {
    std::map<std::string, Box> boxes;
    std::istringstream lines(ReadLog());
    std::string word, name;
    while (lines >> word) {
      if (word != "layout") continue;
      int x = 0, y = 0, w = 0, h = 0;
      lines >> name;
      if (name == "dpi") {
        lines >> word >> word >> w >> h;
        boxes["client"] = {0, 0, w, h};
        continue;
      }
      lines >> x >> y >> w >> h;
      boxes[name] = {x, y, x + w, y + h};
    }
    return boxes;
  }

  std::string Bytes() const { return ReadFile(keyFile()); }
  Settings Stored() const {
    Settings values;
    std::istringstream lines(Bytes());
    std::string line;
    bool inGroup = false;
    while (std::getline(lines, line)) {
      if (!line.empty() && line[0] == '[') inGroup = line == "[Zimoklas]";
      const auto equals = line.find('=');
      if (inGroup && equals != std::string::npos) {
        values[line.substr(0, equals)] = line.substr(equals + 1);
      }
    }
    return values;
  }

  Image Shot(const std::string& name) {
    return SaveShot(on().Capture().Crop(on().WindowBox(kSettingsTitle)), name);
  }

  // From here on the window opens on a display of its own whose resources say
  // Xft.dpi: `screenDpi`, or on the test's display at 96. The screen connects first:
  // the server forgets its resources when its last client leaves.
  std::vector<std::string> UseDpi(int screenDpi) {
    other_ = nullptr;
    dpi = 96;
    ownScreen_.reset();
    ownDisplay_.reset();
    if (screenDpi == 96) return {};
    ownDisplay_ = std::make_unique<VirtualDisplay>();
    EXPECT_TRUE(ownDisplay_->ok());
    ownScreen_ = std::make_unique<Screen>(ownDisplay_->name());
    const std::string resources = configHome_ + "/resources";
    std::ofstream(resources) << "Xft.dpi: " << screenDpi << "\n";
    std::vector<std::string> environment{"DISPLAY=" + ownDisplay_->name()};
    Process xrdb({"xrdb", "-nocpp", "-merge", resources}, environment);
    EXPECT_EQ(xrdb.WaitForExit(5s), 0);
    other_ = ownScreen_.get();
    dpi = static_cast<float>(screenDpi);
    return environment;
  }

  // Clicks at a bar's left or right arrow, in twips of the client area, and holds the
  // button down for `hold` before letting go.
  void PressArrow(int bar, bool right, Milliseconds hold = 0ms) {
    const int y = 360 + 360 * bar + 127;
    const int x = right ? 960 + 2415 - 127 : 960 + 127;
    on().MovePointer(window.left + Px(x), window.top + Px(y));
    on().PressButton(1);
    std::this_thread::sleep_for(hold);
    on().ReleaseButton(1);
  }

  std::unique_ptr<Process> program;
  Box window;
  float dpi = 96;
  Screen* other_ = nullptr;
  std::unique_ptr<VirtualDisplay> ownDisplay_;
  std::unique_ptr<Screen> ownScreen_;
};

TEST_F(GtkSettingsTest, EnterWritesTheSixBackAndTheControlsShowThem) {
  const Settings stored = {{"SnihR", "10"},   {"SnihG", "200"},         {"SnihB", "0"},
                           {"Text1", "Ahoj"}, {"Text2", "Šťastný rok"}, {"pf", "0"}};
  SeedKeyFile(stored);
  Open();
  const Image shot = on().Capture().Crop(window);
  window = {0, 0, window.width(), window.height()};  // the shot's own corner
  EXPECT_EQ(SwatchCentre(shot), (Rgb{10, 200, 0}));
  const Box swatch = shot.BoundsOf({10, 200, 0});
  EXPECT_NEAR(swatch.left, Px(3480), 2);
  EXPECT_NEAR(swatch.top, Px(360), 2);
  EXPECT_NEAR(swatch.right, Px(3480 + 735), 2);
  EXPECT_NEAR(swatch.bottom, Px(360 + 975), 2);
  const Box labels{Px(240), Px(360), Px(960), Px(1260)};
  EXPECT_GT(shot.CountColour({133, 0, 0}, labels), 0) << "R = 10 in its tint";
  EXPECT_GT(shot.CountColour({0, 132, 0}, labels), 0) << "G = 200 in its tint";
  EXPECT_GT(shot.CountColour({0, 0, 128}, labels), 0) << "B = 0 in its tint";

  // With the file gone behind the window's back, Enter writes back what it loaded.
  std::filesystem::remove(keyFile());
  on().TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored(), stored);
}

TEST_F(GtkSettingsTest, EscAndTheCloseBoxWriteNothing) {
  SeedKeyFile(DefaultsWith({{"SnihR", "1"}}));
  const std::string before = Bytes();
  Open();
  on().TapKey("Right");  // an edit that must not be saved
  on().TapKey("Escape");
  ExpectEnds();
  EXPECT_EQ(Bytes(), before);

  Open();
  on().TapKey("Right");
  ASSERT_TRUE(on().RequestClose(kSettingsTitle));
  ExpectEnds();
  EXPECT_EQ(Bytes(), before);
}

TEST_F(GtkSettingsTest, DefaultThenOkWritesTheDefaults) {
  SeedKeyFile({{"SnihR", "0"},
               {"SnihG", "1"},
               {"SnihB", "2"},
               {"Text1", "první"},
               {"Text2", "druhý"},
               {"pf", "0"}});
  Open();
  ClickDefault();
  ClickOk();
  ExpectEnds();
  EXPECT_EQ(Stored(), kDefaults);
}

TEST_F(GtkSettingsTest, UntickingAndTypingTheSecondTextIsSaved) {
  Open();
  ClickAt(120 + 90, 1920 + 97);  // the check box's square
  ClickAt(360 + 600, 2160 + 142);
  on().TapKey("End");
  for (int i = 0; i < 4; ++i) on().TapKey("BackSpace");  // "P.F."
  for (const char* key : {"n", "o", "v", "y", "space", "r", "o", "k"}) on().TapKey(key);
  ClickOk();
  ExpectEnds();
  EXPECT_EQ(Stored(), DefaultsWith({{"pf", "0"}, {"Text2", "novy rok"}}));
}

TEST_F(GtkSettingsTest, KeyboardMovesTheColourBars) {
  Open();
  // The red bar has the focus when the window opens; Tab moves on bar by bar.
  for (int i = 0; i < 3; ++i) on().TapKey("Left");  // 252
  on().TapKey("Prior");                             // 236
  on().TapKey("Tab");
  on().TapKey("Home");   // 0
  on().TapKey("Next");   // 16
  on().TapKey("Right");  // 17
  on().TapKey("Tab");
  on().TapKey("Home");
  on().TapKey("End");
  on().TapKey("Left");  // 254
  on().TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored(), DefaultsWith({{"SnihR", "236"}, {"SnihG", "17"}, {"SnihB", "254"}}));
}

TEST_F(GtkSettingsTest, DraggedThumbRecoloursTheSwatchBeforeItIsLetGo) {
  Open();
  // The red bar's thumb sits at its right end, just left of the right arrow.
  const int barY = window.top + Px(360 + 127);
  const int thumbX = window.left + Px(960 + 2415 - 255 - 127);
  on().MovePointer(thumbX, barY);
  on().PressButton(1);
  on().MovePointer(thumbX - 40, barY);
  on().MovePointer(thumbX - 80, barY);
  std::this_thread::sleep_for(300ms);
  const Rgb swatch = SwatchCentre(on().Capture());
  on().ReleaseButton(1);
  EXPECT_LT(swatch.r, 200) << "the swatch followed the thumb while it was held";
  EXPECT_EQ(swatch.g, 255);
  EXPECT_EQ(swatch.b, 255);

  Park();
  on().TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored()["SnihR"], std::to_string(swatch.r)) << "the release kept that position";
}

TEST_F(GtkSettingsTest, ARefusedSaveIsReportedAndTheEditsStayInTheWindow) {
  // Root writes into read-only folders, so the program runs as nobody here.
  SeedKeyFile(kDefaults);
  const std::string folder = configHome_ + "/Ombra";
  const bool root = geteuid() == 0;
  for (const std::string& path : {configHome_, folder, keyFile()}) {
    if (root) {
      ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0) << path;
    }
  }
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  const std::string before = Bytes();

  Open({}, root);
  for (int i = 0; i < 3; ++i) on().TapKey("Left");  // red to 252
  on().TapKey("Return");
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(program->Running()) << "the window closed and lost the edits";
  const std::vector<Box> boxes = on().WindowBoxes(kSettingsTitle);
  ASSERT_EQ(boxes.size(), 2u) << "the settings window and a message";
  const Box& message = boxes.back();
  on().Capture().Crop(message).SavePng(ArtifactPath("gtk-settings-save-refused.png"));
  EXPECT_EQ(Bytes(), before);

  // Once the message is read and the folder takes writes again, OK saves the kept edits.
  on().MovePointer((message.left + message.right) / 2, message.top + 10);
  on().TapKey("Return");
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(on().CountMappedWindows(kSettingsTitle), 1);
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  Park();
  on().TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored(), DefaultsWith({{"SnihR", "252"}}));
}

TEST_F(GtkSettingsTest, ChevronFoldsTheAboutPanelOutAndIn) {
  Open();
  EXPECT_EQ(window.width(), Px(kClientWidth));
  EXPECT_EQ(window.height(), Px(kClientHeight))
      << "folded: the client ends between buttons and rule";
  const Image folded = Shot("gtk-settings-folded");
  EXPECT_EQ(folded.Count(Maroonish), 0);

  ClickChevron();
  std::this_thread::sleep_for(300ms);
  const Box unfolded = on().WindowBox(kSettingsTitle);
  EXPECT_EQ(unfolded.height(), Px(kUnfoldedClientHeight));
  EXPECT_EQ(unfolded.left, window.left) << "the window keeps its place";
  EXPECT_EQ(unfolded.width(), window.width());
  on().MovePointer(on().width() - 10, on().height() - 10);  // no tooltip
  std::this_thread::sleep_for(300ms);
  const Image open = Shot("gtk-settings-unfolded");
  const Box paragraph{Px(120), Px(4680), Px(4365), Px(5355)};
  EXPECT_GT(open.Count(Maroonish, paragraph), 200);
  for (int labelTop : {3360, 3720, 3960, 5400}) {
    const Box line{Px(120), Px(labelTop), Px(4300), Px(labelTop + 195)};
    EXPECT_GT(open.Count(Dark, line), 20) << "text at " << labelTop;
  }
  // The version line whole: its lower half too.
  EXPECT_GT(open.Count(Dark, Box{Px(120), Px(5400 + 97), Px(4300), Px(5595)}), 10);

  ClickChevron();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(on().WindowBox(kSettingsTitle).height(), Px(kClientHeight));
  on().TapKey("Escape");
  ExpectEnds();
}

TEST_F(GtkSettingsTest, TheLinkSaysSoWhenNoBrowserOpensIt) {
  // Data folders without any application: nothing handles web addresses.
  const std::string empty = configHome_ + "/no-applications";
  std::filesystem::create_directories(empty);
  Open({"XDG_DATA_DIRS=" + empty, "XDG_DATA_HOME=" + empty});
  ClickChevron();
  std::this_thread::sleep_for(300ms);
  ClickAt(360 + 600, 4320 + 120);
  std::this_thread::sleep_for(1s);
  const std::vector<Box> boxes = on().WindowBoxes(kSettingsTitle);
  ASSERT_EQ(boxes.size(), 2u) << "the settings window and a message";
  on().MovePointer((boxes.back().left + boxes.back().right) / 2, boxes.back().top + 10);
  on().TapKey("Return");
  std::this_thread::sleep_for(500ms);
  ASSERT_EQ(on().CountMappedWindows(kSettingsTitle), 1);
  EXPECT_EQ(on().WindowBox(kSettingsTitle).height(), Px(kUnfoldedClientHeight))
      << "the panel stays open";
  Park();
  on().TapKey("Escape");
  ExpectEnds();
}

TEST_F(GtkSettingsTest, ControlsKeepTheirDesignBoxesAt96And120Dpi) {
  for (const int screenDpi : {96, 120}) {
    SCOPED_TRACE(screenDpi);
    const std::vector<std::string> environment = UseDpi(screenDpi);
    ASSERT_FALSE(HasFailure());
    std::filesystem::remove(keyFile());
    Open(environment);
    std::map<std::string, Box> layout = Layout();
    EXPECT_EQ(layout["client"].width(), Px(kClientWidth));
    EXPECT_EQ(layout["client"].height(), Px(kClientHeight));
    EXPECT_EQ(window.width(), Px(kClientWidth));
    for (const DesignBox& design : kBoxes) {
      const Box& box = layout[design.name];
      EXPECT_EQ(box.left, Px(design.left)) << design.name;
      EXPECT_EQ(box.top, Px(design.top)) << design.name;
      EXPECT_EQ(box.width(), Px(design.width)) << design.name;
      EXPECT_EQ(box.height(), Px(design.height)) << design.name;
    }
    // The chevron, Default and OK, found at their scaled places.
    ClickChevron();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(on().WindowBox(kSettingsTitle).height(), Px(kUnfoldedClientHeight));
    ClickChevron();
    ClickDefault();
    ClickOk();
    ExpectEnds();
    EXPECT_EQ(Stored(), kDefaults) << "OK, at its scaled place, saved";
  }
  UseDpi(96);
}

TEST_F(GtkSettingsTest, EveryLabelShowsWholeAt96120And144Dpi) {
  for (const int screenDpi : {96, 120, 144}) {
    SCOPED_TRACE(screenDpi);
    const std::vector<std::string> environment = UseDpi(screenDpi);
    ASSERT_FALSE(HasFailure());
    Open(environment);
    ClickChevron();
    std::this_thread::sleep_for(300ms);
    if (screenDpi == 120) {
      on().MovePointer(on().width() - 10, on().height() - 10);  // no tooltip
      std::this_thread::sleep_for(300ms);
      Shot("gtk-settings-120dpi");
    }
    // A label sizes itself to its text; the window shows it only where it lies inside
    // the unfolded client area.
    std::map<std::string, Box> layout = Layout();
    const Box client{0, 0, Px(kClientWidth), Px(kUnfoldedClientHeight)};
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label7",
                             "Label8", "Label15"}) {
      ASSERT_TRUE(layout.count(name) == 1) << name;
      const Box& label = layout[name];
      EXPECT_LE(label.right, client.right) << name << " is cut at the right";
      EXPECT_LE(label.bottom, client.bottom) << name << " is cut at the bottom";
    }
    // The version line's last glyph, "7", stands whole, clear of the window's edge.
    const Box& version = layout["Label8"];
    const Image shot = on().Capture().Crop(on().WindowBox(kSettingsTitle));
    const Box lastColumns{client.right - 2, version.top, client.right, version.bottom};
    EXPECT_EQ(shot.Count(Inked, lastColumns), 0);
    EXPECT_GT(
        shot.Count(Inked, Box{version.right - Px(90), version.top, version.right, version.bottom}),
        5)
        << "the line's end is drawn";
    Park();
    on().TapKey("Escape");
    ExpectEnds();
  }
  UseDpi(96);
}

TEST_F(GtkSettingsTest, ArrowsStepABarByOneAndRepeatWhileHeld) {
  SeedKeyFile(DefaultsWith({{"SnihG", "100"}}));
  Open();
  PressArrow(0, false);  // red 255 to 254
  PressArrow(1, true);   // green 100 to 101
  // Held for a second: the first step, then a repeat every 50 ms after 200 ms.
  PressArrow(2, false, 1000ms);
  std::this_thread::sleep_for(300ms);
  Park();
  on().TapKey("Return");
  ExpectEnds();
  Settings stored = Stored();
  const int blue = std::stoi(stored["SnihB"]);
  EXPECT_LE(blue, 250) << "the held arrow repeated";
  EXPECT_GE(blue, 230) << "no faster than a step each 50 ms";
  stored.erase("SnihB");
  Settings expected = DefaultsWith({{"SnihR", "254"}, {"SnihG", "101"}});
  expected.erase("SnihB");
  EXPECT_EQ(stored, expected);
}

TEST_F(GtkSettingsTest, TabVisitsTheControlsInTheDesignsOrder) {
  Open();
  // Red bar, green, blue, then the greeting, the check box, the second text, OK,
  // Storno, Default, and round to the red bar again.
  for (int i = 0; i < 3; ++i) on().TapKey("Tab");
  on().TapKey("End");
  on().TapKey("x");
  on().TapKey("Tab");
  on().TapKey("space");  // unticks: the second text takes the focus next
  on().TapKey("Tab");
  on().TapKey("End");
  on().TapKey("y");
  for (int i = 0; i < 4; ++i) on().TapKey("Tab");
  on().TapKey("Left");  // on the red bar again: 254
  on().TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored(), DefaultsWith({{"SnihR", "254"},
                                    {"Text1", "Veselé vánoce a šťastný nový rok...x"},
                                    {"pf", "0"},
                                    {"Text2", "P.F.y"}}));
}

TEST_F(GtkSettingsTest, UnderOpenboxTheFrameOffersCloseOnly) {
  if (access("/usr/bin/openbox", X_OK) != 0) {
    if (EndToEndRequired()) FAIL() << "openbox is not installed";
    GTEST_SKIP() << "needs openbox";
  }
  VirtualDisplay display;
  ASSERT_TRUE(display.ok());
  Screen screen(display.name());
  const std::vector<std::string> environment{"DISPLAY=" + display.name()};
  Process manager({"openbox", "--sm-disable"}, environment, configHome_ + "/openbox.log");
  std::this_thread::sleep_for(1s);
  other_ = &screen;
  Open(environment);
  // What the window manager lets the user do with the window.
  std::string actions;
  for (int attempt = 0; attempt < 25 && actions.find("CLOSE") == std::string::npos; ++attempt) {
    const std::string out = configHome_ + "/actions.txt";
    Process xprop({"xprop", "-name", kSettingsTitle, "_NET_WM_ALLOWED_ACTIONS"}, environment, out);
    xprop.WaitForExit(5s);
    actions = ReadFile(out);
    std::this_thread::sleep_for(200ms);
  }
  EXPECT_NE(actions.find("_NET_WM_ACTION_CLOSE"), std::string::npos) << actions;
  EXPECT_NE(actions.find("_NET_WM_ACTION_MOVE"), std::string::npos) << actions;
  for (const char* offered : {"MINIMIZE", "MAXIMIZE", "RESIZE", "FULLSCREEN"}) {
    EXPECT_EQ(actions.find(offered), std::string::npos) << offered << " in " << actions;
  }
  // The frame too: a title bar with the close box alone.
  const Box client = screen.WindowBox(kSettingsTitle);
  SaveShot(screen.Capture().Crop(Box{std::max(client.left - 8, 0), std::max(client.top - 30, 0),
                                     client.right + 8, client.bottom + 8}),
           "gtk-settings-openbox");
  // The close box at the title bar's right end closes it, as Storno does.
  screen.MovePointer(client.right - 8, client.top - 10);
  screen.Click();
  ExpectEnds();
  other_ = nullptr;
}

TEST_F(GtkSettingsTest, AMissingOrBrokenFileOpensWithTheDefaults) {
  // No file: the defaults, which OK writes.
  Open();
  on().TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored(), kDefaults);

  // A file that is no key file: the defaults, and the file stays as it is until OK.
  const std::string broken("\x89PNG\r\n\x1a\n\0\0[[[=]]]\nSnihR=1\n", 25);
  std::ofstream(keyFile(), std::ios::binary | std::ios::trunc) << broken;
  Open();
  for (int i = 0; i < 2; ++i) on().TapKey("Left");  // red to 253
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Bytes(), broken);
  on().TapKey("Return");
  ExpectEnds();
  EXPECT_EQ(Stored(), DefaultsWith({{"SnihR", "253"}}));
}

TEST_F(GtkSettingsTest, LettersUnderThousandsOfMarksOpenAndAreWrittenBackWhole) {
  // 450,000 marks on one letter, more than a text box holds, and 30,000 on another, which
  // the text box once took a quarter of a minute to lay out: together nearly all a file
  // may hold. Both open at once; typing after the second keeps all its marks, and OK
  // writes both back byte for byte.
  std::string huge = "a";
  for (int i = 0; i < 450000; ++i) huge += "\u0301";
  std::string held = "e";
  for (int i = 0; i < 30000; ++i) held += "\u0301";
  SeedKeyFile(DefaultsWith({{"Text1", huge}, {"Text2", held}, {"pf", "0"}}));
  Open();
  ClickAt(360 + 600, 2160 + 142);
  on().TapKey("End");
  on().TapKey("x");
  ClickOk();
  ExpectEnds();
  EXPECT_EQ(Stored(), DefaultsWith({{"Text1", huge}, {"Text2", held + "x"}, {"pf", "0"}}));
}

TEST_F(GtkSettingsTest, ALostDisplayEndsTheWindowWithStatus1AndOneLine) {
  VirtualDisplay doomed;
  ASSERT_TRUE(doomed.ok());
  // No connection of the test's own to that display: it would go down with it.
  auto settings = Start({"/c"}, {"DISPLAY=" + doomed.name()});
  std::this_thread::sleep_for(1500ms);
  ASSERT_TRUE(settings->Running());
  doomed.Kill();
  // Within the second, without spinning or dumping core, and one line on stderr.
  const auto start = Clock::now();
  EXPECT_EQ(settings->WaitForExit(1s), 1);
  EXPECT_LE(std::chrono::duration_cast<Milliseconds>(Clock::now() - start).count(), 1000);
  EXPECT_EQ(ReadLog(), "zimoklas: lost the connection to the X display\n");
}

}  // namespace
}  // namespace zimoklas::e2e

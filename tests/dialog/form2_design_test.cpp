// The settings window's design table, as the backends read it: creation order gives the
// tab order, the frame holds its contents, and the fold hides exactly the about panel.
#include <gtest/gtest.h>

#include "dialog/form2_design.hpp"
#include "dialog/form2_layout.hpp"

namespace zimoklas::dialog {
namespace {

TEST(Form2Design, CreationOrderIsTheTabOrder) {
  int last = -1;
  for (const ControlDesign& c : kForm2Design) {
    if (c.tabIndex < 0) continue;
    EXPECT_EQ(c.tabIndex, last + 1) << c.name;
    last = c.tabIndex;
  }
  EXPECT_EQ(last, 18);
  for (const ControlDesign& c : kForm2Design) {
    EXPECT_EQ(FindDesign(c.name), &c) << c.name << " appears once";
  }
}

TEST(Form2Design, FrameHoldsItsContentsAndTheFoldHidesOnlyThePanel) {
  const ControlDesign& frame = *FindDesign("Frame1");
  for (const ControlDesign& c : kForm2Design) {
    if (c.container == Container::Frame1) {
      EXPECT_LE(c.left + c.width, frame.width) << c.name;
      EXPECT_LE(c.top + c.height, frame.height) << c.name;
      continue;
    }
    if (!c.visible) continue;
    const bool inPanel = c.top >= FindDesign("Line1")->top;
    EXPECT_EQ(c.top + c.height > kClientHeight, inPanel) << c.name;
    EXPECT_LE(c.left + c.width, kClientWidth) << c.name;
  }
  const ControlDesign* defaults = FindDesign("Command1");
  EXPECT_TRUE(defaults->isDefault);
  EXPECT_TRUE(FindDesign("Command2")->isCancel);
}

TEST(Form2Design, FoldedClientEndsBetweenButtonsAndRuleUnfoldedShowsEverything) {
  const ControlDesign& ok = *FindDesign("Command1");
  EXPECT_GE(kFoldedClientHeight, ok.top + ok.height);
  EXPECT_LE(kFoldedClientHeight, FindDesign("Line1")->top);
  EXPECT_EQ(kFoldedClientHeight, kClientHeight) << "the window opens folded";
  for (const ControlDesign& c : kForm2Design) {
    if (c.visible) {
      EXPECT_LE(c.top + c.height, kUnfoldedClientHeight) << c.name;
    }
  }
}

TEST(Form2Layout, BoxesScaleWithTheDpiAndRoundHalvesToEven) {
  EXPECT_EQ(TwipsToPixels(kClientWidth, 96), 297);
  EXPECT_EQ(TwipsToPixels(kClientWidth, 120), 371);
  // Inside the frame: (120 + 840, 120 + 240), 2415 x 255.
  const PixelBox bar = DesignBox(*FindDesign("HScroll1"), 120);
  EXPECT_EQ(bar.left, 80);
  EXPECT_EQ(bar.top, 30);
  EXPECT_EQ(bar.width, 201);
  EXPECT_EQ(bar.height, 21);
  // 570 twips at 12 a pixel is 47.5: up to the even 48. At 90 DPI, 16 twips a pixel.
  EXPECT_EQ(DesignBox(*FindDesign("Label1"), 120).width, 48);
  EXPECT_EQ(TwipsToPixels(360, 90), 22) << "22.5 to the even 22";
  EXPECT_EQ(TwipsToPixels(392, 90), 24) << "24.5 to the even 24";
}

TEST(Form2Design, AboutTextsHaveTheirLengths) {
  const auto chars = [](std::string_view utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
    return n;
  };
  EXPECT_EQ(chars(FindDesign("Label8")->caption), 84u);
  EXPECT_EQ(FindDesign("Label8")->caption.substr(0, 5), "v1.0.");
  EXPECT_EQ(chars(FindDesign("Label6")->caption), 31u);
  EXPECT_NE(FindDesign("Label6")->caption.find("2007"), std::string_view::npos);
  EXPECT_EQ(chars(FindDesign("Label5")->caption), 43u);
}

}  // namespace
}  // namespace zimoklas::dialog

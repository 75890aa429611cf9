// The settings window's logic through the headless window: loading from the store, the
// buttons and the check box, the colour chooser, the fold and the link.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog/form2.hpp"
#include "dialog/form2_design.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/headless_settings_window.hpp"
#include "settings/memory_store.hpp"

namespace zimoklas::dialog {
namespace {

using C = Form2Control;

struct Dialog {
  explicit Dialog(int year = 2026) : clock("1.1.2026", "0:00:00", year) {}
  Form2& Load() {
    form.Form_Load();
    return form;
  }
  std::vector<std::string> WrittenKeys() const {
    std::vector<std::string> keys;
    for (const auto& w : store.writes()) keys.push_back(w.key);
    return keys;
  }
  std::vector<std::string> WrittenValues() const {
    std::vector<std::string> values;
    for (const auto& w : store.writes()) values.push_back(w.value);
    return values;
  }
  void SeedColour(const char* r, const char* g, const char* b) {
    store.Seed("SnihR", r);
    store.Seed("SnihG", g);
    store.Seed("SnihB", b);
  }

  headless::HeadlessSettingsWindow view;
  settings::MemoryStore store;
  headless::FakeClock clock;
  settings::Module1 module;
  Form2 form{view, store, module, clock};
};

const std::vector<std::string> kKeyOrder = {"SnihR", "SnihG", "SnihB", "Text1", "Text2", "pf"};

TEST(Form2Load, EmptyStoreKeepsTheDesignLook) {
  Dialog d;
  const Form2& f = d.Load();
  for (ScrollBarId bar : {ScrollBarId::HScroll1, ScrollBarId::HScroll2, ScrollBarId::HScroll3}) {
    EXPECT_EQ(f.scrollBar(bar).Value, 255);
  }
  EXPECT_EQ(f.Label1().Caption, "R = 255");
  EXPECT_EQ(f.Label1().ForeColor, MakeColour(192, 0, 0)) << "design colour, not the tint";
  EXPECT_EQ(f.Label2().ForeColor, MakeColour(0, 128, 0));
  EXPECT_EQ(f.Label3().ForeColor, MakeColour(0, 0, 192));
  EXPECT_EQ(d.view.CountOf(C::Shape1), 0u) << "no colour handler runs";
  EXPECT_EQ(f.Text1().Text, "Veselé vánoce a šťastný nový rok...");
  EXPECT_EQ(f.Text2().Text, "P.F.");
  EXPECT_FALSE(f.Text2().Enabled);
  EXPECT_EQ(f.Check1Value(), 1);
  EXPECT_EQ(d.module.UsePfYear, kTrue);
  EXPECT_EQ(d.module.SnowRed, 255);
  EXPECT_EQ(d.module.SnowBlue, 255);
  EXPECT_EQ(f.PanelOpen(), kFalse);
  EXPECT_EQ(f.Image1Picture(), Picture::ChevronsDown);
  EXPECT_FALSE(f.Height()) << "the window keeps the size it opens with";
  EXPECT_TRUE(d.store.writes().empty());
  EXPECT_EQ(d.view.ended, 0);
}

TEST(Form2Load, CheckBoxCaptionCarriesTheClocksYearInQuotes) {
  Dialog d(2031);
  EXPECT_EQ(d.form.Check1Caption(), "Místo hruhého textu použít PF.200x") << "design caption";
  d.Load();
  EXPECT_EQ(d.form.Check1Caption(), "Místo druhého textu použít text \"P.F. 2031\"");
  EXPECT_EQ(d.view.CountOf(C::Check1), 1u) << "the caption is shown; the state did not change";
}

TEST(Form2Load, StoredBlueRunsOnlyThatBarsHandlerAndRecoloursAllLabels) {
  Dialog d;
  d.SeedColour("255", "255", "100");
  const Form2& f = d.Load();
  EXPECT_EQ(d.view.CountOf(C::HScroll1), 0u);
  EXPECT_EQ(d.view.CountOf(C::HScroll2), 0u);
  EXPECT_EQ(d.view.CountOf(C::HScroll3), 1u);
  EXPECT_EQ(d.view.CountOf(C::Shape1), 1u) << "one handler ran";
  EXPECT_EQ(f.scrollBar(ScrollBarId::HScroll3).Value, 100);
  EXPECT_EQ(f.Shape1FillColor(), MakeColour(255, 255, 100));
  EXPECT_EQ(f.Label1().Caption, "R = 255");
  EXPECT_EQ(f.Label3().Caption, "B = 100");
  EXPECT_EQ(f.Label1().ForeColor, MakeColour(255, 0, 0));
  EXPECT_EQ(f.Label2().ForeColor, MakeColour(0, 159, 0));
  EXPECT_EQ(f.Label3().ForeColor, MakeColour(0, 0, 178));
}

TEST(Form2Load, EachChangedBarsHandlerRunsInsideItsSetter) {
  Dialog d;
  d.SeedColour("0", "10", "255");
  d.Load();
  // The red bar's handler runs (swatch, then the three labels) before the green bar moves.
  // Text2 shows the stored default "P.F." in place of the design's "PF".
  const std::vector<C> expected = {C::Check1, C::Text2,  C::HScroll1, C::Shape1,
                                   C::Label1, C::Label2, C::Label3,   C::HScroll2,
                                   C::Shape1, C::Label1, C::Label2,   C::Label3};
  EXPECT_EQ(d.view.changes, expected);
  EXPECT_EQ(d.form.Shape1FillColor(), MakeColour(0, 10, 255));
  EXPECT_EQ(d.form.Label2().ForeColor, MakeColour(0, 37, 0));
}

TEST(Form2Load, StoredTextsAndUntickedBox) {
  Dialog d;
  d.store.Seed("Text1", "");
  d.store.Seed("Text2", "Šťastný rok 2027");
  d.store.Seed("pf", "0");
  d.module.UsePfYear = kTrue;
  const Form2& f = d.Load();
  EXPECT_EQ(f.Text1().Text, "") << "an empty stored text stays empty";
  EXPECT_EQ(f.Text2().Text, "Šťastný rok 2027");
  EXPECT_EQ(f.Check1Value(), 0);
  EXPECT_TRUE(f.Text2().Enabled);
  EXPECT_EQ(d.module.UsePfYear, kFalse);
}

TEST(Form2Load, GreyedOrUnreadableCheckState) {
  Dialog greyed;
  greyed.store.Seed("pf", "2");
  greyed.Load();
  EXPECT_EQ(greyed.form.Check1Value(), 2);
  EXPECT_TRUE(greyed.form.Text2().Enabled);
  EXPECT_EQ(greyed.module.UsePfYear, kFalse);

  Dialog junk;
  junk.store.Seed("pf", "ano");
  junk.store.Seed("SnihR", "-4");
  junk.Load();
  EXPECT_EQ(junk.form.Check1Value(), 1) << "falls back to the default";
  EXPECT_EQ(junk.module.SnowRed, 255);
}

TEST(Form2Check, TickingTogglesTheSecondTextAndTheSharedFlag) {
  Dialog d;
  d.Load();
  d.form.UserEditedText2("Moje přání");
  d.form.UserClickedCheck1();
  EXPECT_EQ(d.form.Check1Value(), 0);
  EXPECT_TRUE(d.form.Text2().Enabled);
  EXPECT_EQ(d.module.UsePfYear, kFalse);
  EXPECT_EQ(d.form.Text2().Text, "Moje přání");
  d.form.UserClickedCheck1();
  EXPECT_EQ(d.form.Check1Value(), 1);
  EXPECT_FALSE(d.form.Text2().Enabled);
  EXPECT_EQ(d.module.UsePfYear, kTrue);
  EXPECT_EQ(d.form.Text2().Text, "Moje přání");

  Dialog greyed;
  greyed.store.Seed("pf", "2");
  greyed.Load();
  greyed.form.UserClickedCheck1();
  EXPECT_EQ(greyed.form.Check1Value(), 1) << "a click ticks a greyed box";
}

TEST(Form2Check, SettingTheSameStateRunsNothing) {
  Dialog d;
  d.Load();
  d.view.changes.clear();
  d.form.SetCheck1Value(1);
  d.form.SetScrollValue(ScrollBarId::HScroll2, 255);
  d.form.SetText1("Veselé vánoce a šťastný nový rok...");
  EXPECT_TRUE(d.view.changes.empty());
}

TEST(Form2Buttons, OkWithoutChangesWritesTheSameSixValuesInOrderAndEnds) {
  Dialog d;
  d.SeedColour("12", "0", "255");
  d.store.Seed("Text1", "Ahoj");
  d.store.Seed("Text2", "");
  d.store.Seed("pf", "0");
  d.Load();
  d.form.Command1_Click();
  EXPECT_EQ(d.WrittenKeys(), kKeyOrder);
  EXPECT_EQ(d.WrittenValues(), (std::vector<std::string>{"12", "0", "255", "Ahoj", "", "0"}));
  for (const auto& w : d.store.writes()) {
    EXPECT_EQ(w.app, "Ombra");
    EXPECT_EQ(w.section, "Zimoklas");
  }
  EXPECT_EQ(d.view.ended, 1);
  EXPECT_TRUE(d.form.unloaded());
}

TEST(Form2Buttons, DefaultRestoresTheControlsAndWritesNothing) {
  Dialog d;
  d.SeedColour("1", "2", "3");
  d.store.Seed("pf", "0");
  d.Load();
  d.form.UserEditedText1("jiný text");
  d.form.UserEditedText2("druhý");
  d.form.UserScrolled(ScrollBarId::HScroll2, ScrollAction::PageRight);
  d.form.Command3_Click();
  EXPECT_TRUE(d.store.writes().empty());
  EXPECT_EQ(d.form.scrollBar(ScrollBarId::HScroll1).Value, 255);
  EXPECT_EQ(d.form.scrollBar(ScrollBarId::HScroll3).Value, 255);
  EXPECT_EQ(d.module.SnowGreen, 255) << "the change handlers ran";
  EXPECT_EQ(d.form.Shape1FillColor(), MakeColour(255, 255, 255));
  EXPECT_EQ(d.form.Label3().ForeColor, MakeColour(0, 0, 255));
  EXPECT_EQ(d.form.Text1().Text, "Veselé vánoce a šťastný nový rok...");
  EXPECT_EQ(d.form.Text2().Text, "P.F.");
  EXPECT_EQ(d.form.Check1Value(), 1);
  EXPECT_FALSE(d.form.Text2().Enabled);
  EXPECT_EQ(d.module.UsePfYear, kTrue);
  EXPECT_EQ(d.view.ended, 0);

  d.form.Command1_Click();
  EXPECT_EQ(d.WrittenValues(),
            (std::vector<std::string>{"255", "255", "255", "Veselé vánoce a šťastný nový rok...",
                                      "P.F.", "1"}));
}

TEST(Form2Buttons, StornoAndCloseEndWithoutWriting) {
  Dialog d;
  d.SeedColour("7", "7", "7");
  d.Load();
  d.form.Command3_Click();
  d.form.Command2_Click();
  EXPECT_TRUE(d.store.writes().empty());
  EXPECT_EQ(d.store.Get("SnihR"), "7");
  EXPECT_EQ(d.view.ended, 1);
  d.form.Unload();  // the native window's destruction follows; the unload step ran once
  EXPECT_EQ(d.view.ended, 1);
}

TEST(Form2Buttons, RefusedWriteKeepsTheWindowAndTheEdits) {
  Dialog d;
  d.Load();
  d.form.UserEditedText1("Nový pozdrav");
  d.form.UserScrolled(ScrollBarId::HScroll1, ScrollAction::ToLeft);
  d.store.RefuseWrites(true);
  d.form.Command1_Click();
  ASSERT_EQ(d.view.errors.size(), 1u);
  EXPECT_NE(d.view.errors[0].find("SnihR"), std::string::npos) << d.view.errors[0];
  EXPECT_NE(d.view.errors[0].find("nepodařilo uložit"), std::string::npos);
  EXPECT_EQ(d.view.ended, 0);
  EXPECT_FALSE(d.form.unloaded());
  EXPECT_EQ(d.form.Text1().Text, "Nový pozdrav");
  EXPECT_EQ(d.module.SnowRed, 0);

  d.store.RefuseWrites(false);
  d.form.Command1_Click();
  EXPECT_EQ(d.view.ended, 1);
  EXPECT_EQ(d.store.Get("SnihR"), "0");
  EXPECT_EQ(d.store.Get("Text1"), "Nový pozdrav");
}

TEST(Form2Buttons, SaveFailureSaysWhichSettingWhyAndWhatIsStoredNow) {
  const std::string full = SaveFailureMessage({"pf", "No space left on device", true, false});
  EXPECT_TRUE(full.starts_with(
      "Nastavení se nepodařilo uložit: úložiště odmítlo zápis hodnoty „pf“ (volba P.F."))
      << full;
  EXPECT_NE(full.find("Důvod: No space left on device"), std::string::npos) << full;
  EXPECT_NE(full.find("zůstalo beze změny"), std::string::npos) << full;
  const std::string undone = SaveFailureMessage({"Text2", "Access denied", true, true});
  EXPECT_NE(undone.find("druhý text"), std::string::npos) << undone;
  EXPECT_NE(undone.find("byly vráceny"), std::string::npos) << undone;
  const std::string partial = SaveFailureMessage({"SnihB", "Access denied", false, false});
  EXPECT_NE(partial.find("mohla být uložena"), std::string::npos) << partial;
  EXPECT_EQ(partial.find("beze změny"), std::string::npos) << partial;
}

TEST(Form2Colour, TintsHalveDownwardsOverTheirBases) {
  Dialog d;
  d.SeedColour("0", "0", "0");
  d.Load();
  EXPECT_EQ(d.form.Shape1FillColor(), MakeColour(0, 0, 0));
  EXPECT_EQ(d.form.Label1().Caption, "R = 0");
  EXPECT_EQ(d.form.Label2().Caption, "G = 0");
  EXPECT_EQ(d.form.Label1().ForeColor, MakeColour(128, 0, 0));
  EXPECT_EQ(d.form.Label2().ForeColor, MakeColour(0, 32, 0));
  EXPECT_EQ(d.form.Label3().ForeColor, MakeColour(0, 0, 128));

  d.form.SetScrollValue(ScrollBarId::HScroll1, 101);
  d.form.SetScrollValue(ScrollBarId::HScroll2, 101);
  EXPECT_EQ(d.form.Label1().ForeColor, MakeColour(178, 0, 0));
  EXPECT_EQ(d.form.Label2().ForeColor, MakeColour(0, 82, 0));

  d.form.Command3_Click();
  EXPECT_EQ(d.form.Label2().ForeColor, MakeColour(0, 159, 0));
  EXPECT_EQ(d.form.Label2().Caption, "G = 255");
}

TEST(Form2Colour, MovingOneBarRepaintsEveryLabel) {
  Dialog d;
  d.Load();
  d.view.changes.clear();
  d.form.UserScrolled(ScrollBarId::HScroll2, ScrollAction::LineLeft);
  EXPECT_EQ(d.module.SnowGreen, 254);
  EXPECT_EQ(d.form.Label1().ForeColor, MakeColour(255, 0, 0)) << "left its design colour";
  EXPECT_EQ(d.form.Label3().ForeColor, MakeColour(0, 0, 255));
  EXPECT_EQ(d.form.Label2().Caption, "G = 254");
  EXPECT_EQ(d.view.CountOf(C::Label1), 1u);
  EXPECT_EQ(d.view.CountOf(C::Label3), 1u);
}

TEST(Form2Colour, DraggingFollowsEveryStepAndReleasingRaisesTheChange) {
  Dialog d;
  d.Load();
  d.view.changes.clear();
  d.form.UserScrolled(ScrollBarId::HScroll3, ScrollAction::ThumbTrack, 200);
  EXPECT_EQ(d.module.SnowBlue, 200);
  EXPECT_EQ(d.form.Label3().Caption, "B = 200") << "the labels follow while dragging";
  d.form.UserScrolled(ScrollBarId::HScroll3, ScrollAction::ThumbTrack, 200);
  d.form.UserScrolled(ScrollBarId::HScroll3, ScrollAction::ThumbTrack, 150);
  EXPECT_EQ(d.form.Shape1FillColor(), MakeColour(255, 255, 150));
  EXPECT_EQ(d.view.CountOf(C::Shape1), 2u) << "an unmoved step raises nothing";
  d.form.UserScrolled(ScrollBarId::HScroll3, ScrollAction::ThumbRelease, 150);
  EXPECT_EQ(d.view.CountOf(C::Shape1), 3u) << "the change at the end of the drag";
  d.form.UserScrolled(ScrollBarId::HScroll3, ScrollAction::EndScroll);
  EXPECT_EQ(d.view.CountOf(C::Shape1), 3u);

  // A drag that ends where it began changes nothing.
  d.form.UserScrolled(ScrollBarId::HScroll3, ScrollAction::ThumbTrack, 10);
  d.form.UserScrolled(ScrollBarId::HScroll3, ScrollAction::ThumbTrack, 150);
  d.form.UserScrolled(ScrollBarId::HScroll3, ScrollAction::ThumbRelease, 150);
  EXPECT_EQ(d.view.CountOf(C::Shape1), 5u);
}

TEST(Form2Colour, BarsStayWithinTheirRange) {
  Dialog d;
  d.Load();
  d.form.UserScrolled(ScrollBarId::HScroll1, ScrollAction::LineRight);
  d.form.UserScrolled(ScrollBarId::HScroll1, ScrollAction::PageRight);
  EXPECT_EQ(d.view.CountOf(C::HScroll1), 0u) << "at the end already: nothing moves";
  d.form.UserScrolled(ScrollBarId::HScroll1, ScrollAction::ThumbTrack, 400);
  EXPECT_EQ(d.form.scrollBar(ScrollBarId::HScroll1).Value, 255);
  d.form.UserScrolled(ScrollBarId::HScroll1, ScrollAction::PageLeft);
  EXPECT_EQ(d.module.SnowRed, 239);
  d.form.UserScrolled(ScrollBarId::HScroll1, ScrollAction::ToLeft);
  d.form.UserScrolled(ScrollBarId::HScroll1, ScrollAction::LineLeft);
  EXPECT_EQ(d.module.SnowRed, 0);
  d.form.UserScrolled(ScrollBarId::HScroll1, ScrollAction::ToRight);
  EXPECT_EQ(d.module.SnowRed, 255);
  d.form.SetScrollValue(ScrollBarId::HScroll2, -5);
  EXPECT_EQ(d.module.SnowGreen, 0);
}

TEST(Form2About, FoldTogglesHeightAndPicture) {
  Dialog d;
  d.Load();
  d.form.Image1_Click();
  EXPECT_EQ(d.form.PanelOpen(), kTrue);
  EXPECT_EQ(d.form.Image1Picture(), Picture::ChevronsUp);
  EXPECT_EQ(d.form.Height(), 5610.0f) << "the client height, frame not included";
  d.form.Image1_Click();
  EXPECT_EQ(d.form.PanelOpen(), kFalse);
  EXPECT_EQ(d.form.Image1Picture(), Picture::ChevronsDown);
  EXPECT_EQ(d.view.heights, (std::vector<float>{5610, 3105}));
  EXPECT_EQ(d.view.CountOf(C::Image1), 2u);
}

TEST(Form2About, LinkOpensTheWebPageAndKeepsTheWindow) {
  Dialog d;
  d.Load();
  d.form.Image1_Click();
  d.form.Label7_Click();
  EXPECT_TRUE(d.view.errors.empty()) << "the shell took the address";
  d.view.shellResult = 2;  // no handler for the address
  d.form.Label7_Click();
  ASSERT_EQ(d.view.shellCalls.size(), 2u);
  const auto& call = d.view.shellCalls[1];
  EXPECT_EQ(call.owner, 0);
  EXPECT_FALSE(call.operation);
  EXPECT_EQ(call.file, "http://www.ombra.example/");
  EXPECT_FALSE(call.parameters);
  EXPECT_FALSE(call.directory);
  EXPECT_EQ(call.showCommand, 1);
  EXPECT_EQ(d.view.errors, std::vector<std::string>{LinkFailureMessage()}) << "told, not ignored";
  EXPECT_EQ(d.view.ended, 0);
  EXPECT_EQ(d.form.PanelOpen(), kTrue);
}

}  // namespace
}  // namespace zimoklas::dialog

// The scene window's logic through the headless window: start-up and mode dispatch,
// the layout, the clock line, and ending on user input.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "animation/random.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/headless_window.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"

namespace zimoklas::saver {
namespace {

class SeedRecorder final : public animation::RandomSource {
 public:
  void Seed(std::uint64_t seed) override { seeds.push_back(seed); }
  float Draw() override { return 0.0f; }
  std::vector<std::uint64_t> seeds;
};

struct Scene {
  explicit Scene(SizeF screen = {1920, 1080}, float dpi = 96,
                 const std::map<std::string, SizeF>& extents = {})
      : window(WithExtents(screen, dpi, extents)), form(window, store, clock, random, module) {
    window.Attach(&form);
  }
  static headless::HeadlessWindow WithExtents(SizeF screen, float dpi,
                                              const std::map<std::string, SizeF>& extents) {
    headless::HeadlessWindow w(screen, dpi);
    for (const auto& [text, extent] : extents) w.SetExtent(text, extent);
    return w;
  }
  // Loads with the argument text and, as the platform does in saver mode, shows.
  Mode Start(std::string_view args) {
    const Mode mode = form.Form_Load(args);
    if (mode == Mode::Saver) window.Show();
    return mode;
  }
  headless::HeadlessWindow window;
  settings::MemoryStore store;
  headless::FakeClock clock;
  SeedRecorder random;
  settings::Module1 module;
  Form1 form;
};

TEST(Dispatch, FirstTwoCharactersLowerCasedChooseTheMode) {
  for (const char* args : {"/s", "/S", "/s 123", "/sx"}) {
    EXPECT_EQ(DispatchMode(args), Mode::Saver) << args;
  }
  for (const char* args : {"/p", "/P", "/p 99"}) {
    EXPECT_EQ(DispatchMode(args), Mode::Preview) << args;
  }
  for (const char* args : {"", "/c", "/c:123", "/a", "-s", "/", " /s"}) {
    EXPECT_EQ(DispatchMode(args), Mode::Configuration) << args;
  }
}

TEST(Dispatch, SaverGoesTopmostAndHidesTheCursorOnce) {
  Scene s;
  EXPECT_EQ(s.Start("/S 123"), Mode::Saver);
  ASSERT_EQ(s.window.setWindowPosCalls.size(), 1u);
  const auto& call = s.window.setWindowPosCalls[0];
  EXPECT_EQ(call.window, s.window.hWnd());
  EXPECT_EQ(call.insertAfter, kHwndTopmost);
  EXPECT_EQ(call.flags, 3u);
  EXPECT_EQ(call.x + call.y + call.cx + call.cy, 0);
  EXPECT_EQ(s.window.cursorCalls, std::vector<bool>{false});
  EXPECT_TRUE(s.window.visible);
  EXPECT_EQ(s.window.settingsWindowsShown, 0);
}

TEST(Dispatch, PreviewEndsAtOnceWithoutCursorOrUnload) {
  for (const char* args : {"/p", "/P", "/p 99"}) {
    Scene s;
    EXPECT_EQ(s.Start(args), Mode::Preview);
    EXPECT_TRUE(s.window.ended);
    EXPECT_FALSE(s.window.visible);
    EXPECT_TRUE(s.window.cursorCalls.empty());
    EXPECT_EQ(s.window.destroyed, 0) << "no unload step in preview";
    EXPECT_TRUE(s.window.setWindowPosCalls.empty());
  }
}

TEST(Dispatch, ConfigurationOpensTheSettingsWindowAndNeverTouchesTheCursor) {
  for (const char* args : {"", "/c", "/c:123", "/a", "-s"}) {
    Scene s;
    EXPECT_EQ(s.Start(args), Mode::Configuration);
    EXPECT_EQ(s.window.settingsWindowsShown, 1) << args;
    EXPECT_FALSE(s.window.visible);
    EXPECT_FALSE(s.window.ended);
    EXPECT_TRUE(s.window.cursorCalls.empty());
    EXPECT_TRUE(s.window.setWindowPosCalls.empty());
    EXPECT_EQ(s.window.destroyed, 0) << "Form1 stays loaded";
  }
}

TEST(Dispatch, FailedTopmostPlacementDoesNotStopTheSaver) {
  Scene s;
  s.window.FailSetWindowPos(true);
  EXPECT_EQ(s.Start("/s"), Mode::Saver);
  EXPECT_TRUE(s.window.visible);
  EXPECT_EQ(s.window.cursorCalls.size(), 1u);
}

TEST(Dispatch, VzdyNahoreReportsTheResultThroughOnTop) {
  Scene s;
  VbBool onTop = kTrue;
  s.form.VzdyNahore(s.window, onTop);
  EXPECT_EQ(onTop, kTrue);
  s.window.FailSetWindowPos(true);
  s.form.VzdyNahore(s.window, onTop);
  EXPECT_EQ(onTop, kFalse);
}

TEST(StartUp, EmptyStoreShowsTheDefaultsWithTheClocksYear) {
  Scene s;
  s.clock.Set("1.1.2027", "0:00:01", 2027);
  s.Start("/s");
  EXPECT_EQ(s.form.snowColour(), 0xFFFFFFu);
  EXPECT_EQ(s.form.label(LabelId::Label2).caption, "P.F. 2027");
  EXPECT_EQ(s.form.label(LabelId::Label3).caption, "Veselé vánoce a šťastný nový rok...");
  EXPECT_EQ(s.form.label(LabelId::Label1).caption, "1.1.2027     0:00:01");
  EXPECT_EQ(s.module.UsePfYear, kTrue);
  EXPECT_EQ(s.random.seeds, std::vector<std::uint64_t>{86399}) << "seeded once, from the clock";
}

TEST(StartUp, StoredTextsAndColourReachTheScene) {
  Scene s;
  s.store.Seed("SnihR", "0");
  s.store.Seed("SnihG", "0");
  s.store.Seed("SnihB", "0");
  s.store.Seed("pf", "0");
  s.store.Seed("Text2", "");
  s.store.Seed("Text1", "Ahoj");
  s.Start("/s");
  EXPECT_EQ(s.form.snowColour(), 0u);
  EXPECT_EQ(s.form.label(LabelId::Label2).caption, "") << "an empty second text stays empty";
  EXPECT_EQ(s.form.label(LabelId::Label3).caption, "Ahoj");

  Scene t;
  t.store.Seed("SnihR", "255");
  t.store.Seed("SnihG", "0");
  t.store.Seed("SnihB", "16");
  t.store.Seed("pf", "0");
  t.store.Seed("Text2", "Ahoj");
  t.Start("/s");
  EXPECT_EQ(t.form.snowColour(), 0x1000FFu);
  EXPECT_EQ(t.form.label(LabelId::Label2).caption, "Ahoj");
}

TEST(StartUp, SettingsAreReadInEveryModeBeforeTheDispatch) {
  for (const char* args : {"/p", "/s", "/c"}) {
    Scene s;
    s.Start(args);
    EXPECT_EQ(s.store.reads(), 6u) << args;
  }
}

TEST(Layout, CentresTheMainLinesAndPutsTheNoticeInTheCorner) {
  Scene s({1024, 768}, 96, {{"P.F. 2026", {301, 231}}, {std::string(kNoticeText), {300, 13}}});
  s.Start("/s");
  EXPECT_EQ(s.window.ClientSize().width, 1024);
  EXPECT_EQ(s.window.ClientSize().height, 768);
  EXPECT_EQ(s.window.left, 0);
  EXPECT_EQ(s.window.top, 0);
  const SceneLabel& second = s.form.label(LabelId::Label2);
  EXPECT_FLOAT_EQ(second.left, 361.5f);
  EXPECT_FLOAT_EQ(second.top, 88.0f) << "tops of the main lines never move";
  EXPECT_FLOAT_EQ(s.form.label(LabelId::Label4).left, 716.0f);
  EXPECT_FLOAT_EQ(s.form.label(LabelId::Label4).top, 747.0f);
}

TEST(Layout, WideLineGetsANegativeLeftAndALayoutTwiceChangesNothing) {
  Scene s({1024, 768});
  s.store.Seed("Text1", "wide");
  s.window.SetExtent("wide", {1500, 37});
  s.Start("/s");
  EXPECT_FLOAT_EQ(s.form.label(LabelId::Label3).left, -238.0f);
  std::vector<float> before;
  for (const SceneLabel* l : s.form.LabelsInPaintOrder()) {
    before.insert(before.end(), {l->left, l->top, l->width, l->height});
  }
  const std::size_t repaints = s.window.repaints.size();
  s.form.Form_Resize();
  std::vector<float> after;
  for (const SceneLabel* l : s.form.LabelsInPaintOrder()) {
    after.insert(after.end(), {l->left, l->top, l->width, l->height});
  }
  EXPECT_EQ(before, after);
  EXPECT_EQ(s.window.repaints.size(), repaints) << "nothing moved, nothing to repaint";
}

TEST(Layout, TwipsFollowTheRealDpi) {
  Scene s({1920, 1080}, 120);
  s.Start("/s");
  EXPECT_FLOAT_EQ(s.form.label(LabelId::Label1).top, 10.0f);
  EXPECT_FLOAT_EQ(s.form.label(LabelId::Label3).top, 90.0f);
  EXPECT_FLOAT_EQ(s.form.label(LabelId::Label2).top, 110.0f);
  Scene t;
  t.Start("/s");
  EXPECT_FLOAT_EQ(t.form.label(LabelId::Label1).top, 8.0f);
  EXPECT_FLOAT_EQ(t.form.label(LabelId::Label3).top, 72.0f);
  EXPECT_FLOAT_EQ(t.form.label(LabelId::Label2).top, 88.0f);
}

TEST(Clock, DateIsReadBeforeTheTime) {
  Scene s;
  s.Start("/s");
  // The clock passes midnight between the two reads of one tick.
  s.clock.Set("31.12.2026", "23:59:59", 2026);
  s.clock.OnRead([](headless::FakeClock& c) { c.Set("1.1.2027", "0:00:00", 2027); });
  s.clock.reads.clear();
  s.form.Timer2_Timer();
  EXPECT_EQ(s.clock.reads, (std::vector<std::string>{"date", "time"}));
  EXPECT_EQ(s.form.label(LabelId::Label1).caption, "31.12.2026     0:00:00");
  s.form.Timer2_Timer();
  EXPECT_EQ(s.form.label(LabelId::Label1).caption, "1.1.2027     0:00:00");
  EXPECT_EQ(s.form.label(LabelId::Label2).caption, "P.F. 2026") << "the year of start-up stays";
}

TEST(Clock, TickRepaintsTheNoticeAndLeavesItInPlace) {
  Scene s({1366, 768}, 96, {{std::string(kNoticeText), {301, 13}}});
  s.Start("/s");
  const SceneLabel& notice = s.form.label(LabelId::Label4);
  const float left = notice.left, top = notice.top;
  const float clockLeft = s.form.label(LabelId::Label1).left;
  for (int i = 0; i < 1000; ++i) {
    s.window.repaints.clear();
    s.form.Timer2_Timer();
    bool noticeRepainted = false;
    for (const RectF& r : s.window.repaints) {
      noticeRepainted |= r.left <= left && r.right() >= left + notice.width && r.top <= top &&
                         r.bottom() >= top + notice.height;
    }
    ASSERT_TRUE(noticeRepainted) << "tick " << i;
  }
  EXPECT_EQ(notice.left, left);
  EXPECT_EQ(notice.top, top);
  EXPECT_EQ(s.form.label(LabelId::Label1).left, clockLeft) << "the clock tick does no layout";
}

TEST(Exit, EleventhMovementOfOneTargetEndsTheSaver) {
  Scene s;
  s.Start("/s");
  for (int i = 0; i < 10; ++i) s.form.Form_MouseMove();
  EXPECT_FALSE(s.form.unloaded());
  for (int i = 0; i < 10; ++i) s.form.Label3_MouseMove();
  EXPECT_FALSE(s.form.unloaded()) << "counters are not added up";
  s.form.Label3_MouseMove();
  EXPECT_TRUE(s.form.unloaded());
  EXPECT_EQ(s.window.destroyed, 1);
  EXPECT_EQ(s.window.cursorCalls, (std::vector<bool>{false, true}));
  EXPECT_EQ(s.window.cursorCount, 0) << "the cursor is visible again";
  s.form.Form_MouseMove();
  s.form.Form_KeyPress('a');
  EXPECT_EQ(s.window.destroyed, 1) << "no second unload";
  EXPECT_EQ(s.window.cursorCalls.size(), 2u);
}

TEST(Exit, PointerRoutingByLabel) {
  Scene s({1024, 768});
  s.Start("/s");
  const SceneLabel& notice = s.form.label(LabelId::Label4);
  const SceneLabel& second = s.form.label(LabelId::Label2);
  const float nx = notice.left + 2, ny = notice.top + 2;
  const float sx = second.left + second.width / 2, sy = second.top + second.height / 2;
  for (int i = 0; i < 50; ++i) s.form.PointerMoved(nx, ny);
  s.form.PointerPressed(nx, ny);
  s.form.PointerReleased(nx, ny);
  EXPECT_FALSE(s.form.unloaded()) << "the notice never ends the saver";
  for (LabelId id : {LabelId::Label1, LabelId::Label2, LabelId::Label3}) {
    const SceneLabel& l = s.form.label(id);
    s.form.PointerPressed(l.left + 1, l.top + 1);
    s.form.PointerReleased(l.left + 1, l.top + 1);
  }
  EXPECT_FALSE(s.form.unloaded()) << "clicks on the text lines do nothing";
  for (int i = 0; i < 10; ++i) s.form.PointerMoved(sx, sy);
  EXPECT_EQ(s.form.moveCount(MoveTarget::Label2), 10);
  EXPECT_EQ(s.form.moveCount(MoveTarget::Window), 0);
  s.form.PointerMoved(sx, sy);
  EXPECT_TRUE(s.form.unloaded());
}

TEST(Exit, OnlyInputOverTheWindowCountsAndTheRestingPointerOnce) {
  Scene s({1024, 768});
  s.Start("/s");
  // A grabbed pointer on a second monitor, left, right, above or below the window.
  const std::vector<std::pair<float, float>> outside = {
      {-1, 100}, {1024, 100}, {3000, 500}, {100, -0.5F}, {100, 768}};
  for (int i = 0; i < 20; ++i) {
    for (const auto& [x, y] : outside) s.form.PointerMoved(x, y);
  }
  for (const auto& [x, y] : outside) {
    s.form.PointerPressed(x, y);
    s.form.PointerReleased(x, y);
  }
  EXPECT_FALSE(s.form.unloaded());
  EXPECT_EQ(s.form.moveCount(MoveTarget::Window), 0);

  s.form.PointerAtShow(1023, 767);
  s.form.PointerAtShow(1023, 767);
  EXPECT_EQ(s.form.moveCount(MoveTarget::Window), 1) << "the resting pointer counts once";
  s.form.PointerReleased(1023.5F, 767.5F);
  EXPECT_TRUE(s.form.unloaded()) << "the last pixel is still over the window";
}

TEST(Exit, EveryCharacterButDelNulAndC1ControlsEnds) {
  const std::vector<std::uint32_t> ending = {'a', ' ', 27, 13, 9, 8, 10, 3, 0x10D, 0xA0, 0x1F600};
  const std::vector<std::uint32_t> ignored = {0x7F, 0x00, 0x80, 0x85, 0x9F};
  for (const std::uint32_t c : ending) EXPECT_TRUE(IsKeyCharacter(c)) << c;
  for (const std::uint32_t c : ignored) EXPECT_FALSE(IsKeyCharacter(c)) << c;
  Scene s;
  s.Start("/s");
  for (const std::uint32_t c : ignored) s.form.Form_KeyPress(c);
  EXPECT_FALSE(s.form.unloaded()) << "Delete does nothing, as on Windows";
  s.form.Form_KeyPress(8);
  EXPECT_TRUE(s.form.unloaded()) << "Backspace ends it";
}

TEST(Exit, KeyAndClickOnTheSkyEndAtOnce) {
  {
    Scene s;
    s.Start("/s");
    s.form.Form_KeyPress(27);
    EXPECT_TRUE(s.form.unloaded());
  }
  {
    Scene s;
    s.Start("/s");
    s.form.PointerPressed(5, 1000);
    EXPECT_TRUE(s.form.unloaded()) << "on the press already";
    EXPECT_EQ(s.window.cursorCount, 0);
  }
}

}  // namespace
}  // namespace zimoklas::saver

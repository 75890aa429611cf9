// Where Wayland's pointer and key events become the core's input (the headless
// compositor of the end-to-end tests has no pointer): positions scaled to the buffer's
// device pixels, the wheel ignored, and only keys that yield a character counted.
#include "platform/wayland/wayland_input.hpp"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include "animation/random.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/headless_window.hpp"
#include "settings/memory_store.hpp"

namespace zimoklas::wayland {
namespace {

using saver::LabelId;
using saver::MoveTarget;
using Kind = PointerEvent::Kind;

// A scene on an output of scale 2: 2560 x 1440 device pixels at 192 DPI.
struct Scene {
  Scene() : window({2560, 1440}, 192), form(window, store, clock, random, module) {
    window.Attach(&form);
    form.Form_Load("/s");
    window.Show();
  }
  headless::HeadlessWindow window;
  settings::MemoryStore store;
  headless::FakeClock clock;
  animation::Pcg32 random;
  settings::Module1 module;
  saver::Form1 form;
};

TEST(WaylandInput, PointerPositionsAreScaledToDevicePixelsAndTheWheelIsNoClick) {
  Scene scene;
  const RectF clock = scene.form.label(LabelId::Label1).Bounds();
  // Half the device position is the surface's logical one at scale 2; only the scaled
  // position lies over the clock line.
  const double x = (clock.left + clock.width / 2) / 2;
  const double y = (clock.top + clock.height / 2) / 2;
  ForwardPointer(scene.form, {Kind::Enter, 0, x, y}, 2);
  ForwardPointer(scene.form, {Kind::Motion, 0, x, y}, 2);
  // Only the first entry is the pointer resting there as the scene appears.
  ForwardPointer(scene.form, {Kind::Enter, 0, x, y}, 2);
  EXPECT_EQ(scene.form.moveCount(MoveTarget::Label1), 2);
  EXPECT_EQ(scene.form.moveCount(MoveTarget::Window), 0);
  ForwardPointer(scene.form, {Kind::Motion, 0, 640, 700}, 2);
  EXPECT_EQ(scene.form.moveCount(MoveTarget::Window), 1);
  for (const unsigned wheel : {4U, 5U, 6U, 7U}) {
    ForwardPointer(scene.form, {Kind::Press, wheel, 640, 700}, 2);
    ForwardPointer(scene.form, {Kind::Release, wheel, 640, 700}, 2);
  }
  EXPECT_FALSE(scene.form.unloaded());
  ForwardPointer(scene.form, {Kind::Press, 1, 640, 700}, 2);
  EXPECT_TRUE(scene.form.unloaded());
}

TEST(WaylandInput, OnlyKeysThatYieldACharacterEndTheSaver) {
  for (const std::uint32_t keysym : {XKB_KEY_Shift_L, XKB_KEY_Control_R, XKB_KEY_Left, XKB_KEY_F1,
                                     XKB_KEY_Caps_Lock, XKB_KEY_Delete}) {
    Scene scene;
    ForwardKey(scene.form, keysym);
    EXPECT_FALSE(scene.form.unloaded()) << keysym;
  }
  for (const std::uint32_t keysym :
       {XKB_KEY_a, XKB_KEY_Return, XKB_KEY_Escape, XKB_KEY_space, XKB_KEY_eacute}) {
    Scene scene;
    ForwardKey(scene.form, keysym);
    EXPECT_TRUE(scene.form.unloaded()) << keysym;
  }
}

}  // namespace
}  // namespace zimoklas::wayland

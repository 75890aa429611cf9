// The scene window's animation timer: the tick runs on the window's client size, the
// window's random source and the snow colour made at start-up.
#include <gtest/gtest.h>

#include <vector>

#include "../animation/recording_sink.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/headless_window.hpp"
#include "platform/headless/scripted_random.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"

namespace zimoklas::saver {
namespace {

using animation::PixelWrite;
using animation::RecordingSink;

TEST(Timer1, TicksOnTheClientSizeWithTheStartUpSnowColour) {
  headless::HeadlessWindow window({1280, 720});
  settings::MemoryStore store;
  headless::FakeClock clock;
  headless::ScriptedRandom random;
  settings::Module1 module;
  Form1 form(window, store, clock, random, module);
  window.Attach(&form);
  store.Seed("SnihR", "16");
  ASSERT_EQ(form.Form_Load("/s"), Mode::Saver);
  window.Show();
  ASSERT_EQ(form.ScaleWidth(), 1280.0f);

  // Launch in the middle of the width, red; ten flakes in column 640 with speed 1.
  random.Add({0.9f, 0.5f, 0.5f, 0.99999994f, 0.0f, 0.0f});
  for (int i = 0; i < 10; ++i) random.Add({0.5f, 0.0f});
  RecordingSink sink;
  form.Timer1_Timer(sink);
  EXPECT_EQ(sink.writes[0], (PixelWrite{640, 718, 0}));
  EXPECT_EQ(sink.writes[3], (PixelWrite{640, 707, 0x0000FF}));

  sink.writes.clear();
  random.Add({0.0f});
  for (int i = 0; i < 10; ++i) random.Add({0.5f, 0.0f});
  form.Timer1_Timer(sink);
  ASSERT_EQ(sink.writes.size(), 6u + 20u);
  // 5 * sin(10) is -2.7201, so a speed-1 flake steps to column 637.
  EXPECT_EQ(sink.writes[6], (PixelWrite{640, 0, 0}));
  EXPECT_EQ(sink.writes[7], (PixelWrite{637, 1, 0xFFFF10}));
  EXPECT_EQ(form.animation().Flakes[19].Active, kTrue);
}

}  // namespace
}  // namespace zimoklas::saver

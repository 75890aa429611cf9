// The snowfall through whole ticks and through its own step: starts per tick, the first
// erase at row 0, the bottom edge in single precision, slot reuse, the shared start
// count with a burst, and the sideways step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "animation/snowfall.hpp"
#include "animation/tick.hpp"
#include "platform/headless/scripted_random.hpp"
#include "recording_sink.hpp"

namespace zimoklas::animation {
namespace {

using headless::ScriptedRandom;

constexpr ScaleSize kScale{640, 480};
constexpr Colour kSnow = 0xC0FFEE;

TEST(Snowfall, FirstTickStartsTenFlakesUnseenAndTheSecondMovesThem) {
  AnimationState s;
  s.SnowColour = kSnow;
  ScriptedRandom random({0.0f});                           // no launch
  for (int i = 0; i < 10; ++i) random.Add({0.25f, 0.5f});  // column 160, speed 3
  RecordingSink sink;
  Tick(s, random, sink, kScale);
  EXPECT_EQ(random.remaining(), 0u);
  EXPECT_TRUE(sink.writes.empty());
  for (std::size_t i = 0; i < kFlakeSlots; ++i) {
    ASSERT_EQ(s.Flakes[i].Active, i < 10 ? kTrue : kFalse) << i;
  }
  EXPECT_EQ(s.Flakes[9].X, 160.0);
  EXPECT_EQ(s.Flakes[9].Y, 0.0);
  EXPECT_EQ(s.Flakes[9].Speed, 3.0);

  random.Add({0.0f});
  for (int i = 0; i < 10; ++i) random.Add({0.5f, 0.0f});  // column 320, speed 1
  Tick(s, random, sink, kScale);
  EXPECT_EQ(random.remaining(), 0u);
  // A flake of speed 3 steps 4.9402 to the left: 155.0598 rounds to 155.
  std::vector<PixelWrite> expected;
  for (int i = 0; i < 10; ++i) {
    expected.push_back({160, 0, 0});
    expected.push_back({155, 3, kSnow});
  }
  EXPECT_EQ(sink.writes, expected);
  for (std::size_t i = 10; i < 20; ++i) {
    EXPECT_EQ(s.Flakes[i].Active, kTrue);
    EXPECT_EQ(s.Flakes[i].X, 320.0);
    EXPECT_EQ(s.Flakes[i].Speed, 1.0);
  }
  EXPECT_EQ(s.Flakes[20].Active, kFalse);
}

TEST(Snowfall, AStartColumnIsTheDrawTimesTheWidthRoundedDown) {
  AnimationState s;
  ScriptedRandom random({0.0f, 0.0f, 0.99999994f, 0.99999994f});
  RecordingSink sink;
  int spawnCount = 8;
  SnowfallStep(s, random, sink, kScale, spawnCount);
  EXPECT_EQ(spawnCount, 10);
  EXPECT_EQ(s.Flakes[0].X, 0.0);
  EXPECT_EQ(s.Flakes[0].Speed, 1.0);
  EXPECT_EQ(s.Flakes[1].X, 639.0);
  EXPECT_EQ(s.Flakes[1].Speed, static_cast<double>(0.99999994f) * 4.0 + 1.0);
}

TEST(Snowfall, AFlakeOnTheBottomRowIsDrawnAndPassesTheEdgeLater) {
  AnimationState s;
  s.SnowColour = kSnow;
  // 480.000001 is 480 in single precision, so this flake stays for a tick too.
  s.Flakes[0] = {kTrue, 100, 477, 3};
  s.Flakes[1] = {kTrue, 200, 477.000001, 3};
  ScriptedRandom random;
  RecordingSink sink;
  int spawnCount = 10;  // no starts
  SnowfallStep(s, random, sink, kScale, spawnCount);
  const double step = 5.0 * std::sin(30.0);
  const auto col = [](double x) { return static_cast<std::int32_t>(std::nearbyint(x)); };
  EXPECT_EQ(sink.writes, (std::vector<PixelWrite>{{100, 477, 0},
                                                  {col(100 + step), 480, kSnow},
                                                  {200, 477, 0},
                                                  {col(200 + step), 480, kSnow}}));
  EXPECT_EQ(s.Flakes[0].Active, kTrue);
  EXPECT_EQ(s.Flakes[1].Active, kTrue);

  sink.writes.clear();
  SnowfallStep(s, random, sink, kScale, spawnCount);
  EXPECT_EQ(sink.writes,
            (std::vector<PixelWrite>{{col(100 + step), 480, 0}, {col(200 + step), 480, 0}}));
  EXPECT_EQ(s.Flakes[0].Active, kFalse);
  EXPECT_EQ(s.Flakes[1].Active, kFalse);
  EXPECT_EQ(random.used(), 0u);
}

TEST(Snowfall, ASlotFreedOnATickIsReusedOnlyOnTheNext) {
  AnimationState s;
  for (Flake& flake : s.Flakes) flake = {kTrue, 10, 0, 1};
  s.Flakes[4] = {kTrue, 10, 479, 2};  // passes the bottom on this tick
  ScriptedRandom random;
  RecordingSink sink;
  int spawnCount = 0;
  SnowfallStep(s, random, sink, kScale, spawnCount);
  EXPECT_EQ(s.Flakes[4].Active, kFalse);
  EXPECT_EQ(spawnCount, 0);

  random.Add({0.5f, 0.5f});
  spawnCount = 0;
  SnowfallStep(s, random, sink, kScale, spawnCount);
  EXPECT_EQ(spawnCount, 1);
  EXPECT_EQ(s.Flakes[4].Active, kTrue);
  EXPECT_EQ(s.Flakes[4].Y, 0.0);
  EXPECT_EQ(random.remaining(), 0u);
}

// A tick whose rocket bursts into the free spark slots left by `liveSparks`.
struct BurstTick {
  explicit BurstTick(std::size_t liveSparks) {
    for (std::size_t i = 0; i < liveSparks; ++i) s.Sparks[i] = {kTrue, 50, 50, 0, 0, 0};
    s.RocketActive = kTrue;
    s.RocketX = 300;
    s.RocketY = 100;
    s.RocketSpeed = 0.35;
  }
  AnimationState s;
  ScriptedRandom random;
  RecordingSink sink;
};

TEST(Snowfall, ShareTheTicksStartCountWithTheBurst) {
  BurstTick ten(490);
  ten.random.Add({0.0f});        // no launch
  ten.random.Add(0.5f, 3 * 10);  // ten sparks started
  ten.random.Add(0.0f, 500);     // every spark moves and lives
  Tick(ten.s, ten.random, ten.sink, kScale);
  EXPECT_EQ(ten.random.remaining(), 0u);
  for (const Flake& flake : ten.s.Flakes) ASSERT_EQ(flake.Active, kFalse);

  // The count starts again from 0 on the next tick.
  ten.random.Add({0.0f});
  ten.random.Add(0.0f, 500);
  ten.random.Add(0.5f, 2 * 10);
  Tick(ten.s, ten.random, ten.sink, kScale);
  EXPECT_EQ(ten.random.remaining(), 0u);
  EXPECT_EQ(ten.s.Flakes[9].Active, kTrue);
  EXPECT_EQ(ten.s.Flakes[10].Active, kFalse);

  BurstTick nine(491);
  nine.random.Add({0.0f});
  nine.random.Add(0.5f, 3 * 9);
  nine.random.Add(0.0f, 500);
  nine.random.Add({0.5f, 0.5f});  // room for one flake
  Tick(nine.s, nine.random, nine.sink, kScale);
  EXPECT_EQ(nine.random.remaining(), 0u);
  EXPECT_EQ(nine.s.Flakes[0].Active, kTrue);
  EXPECT_EQ(nine.s.Flakes[1].Active, kFalse);
}

// The step is kept per slot; it must equal 5 * sin(10 * Speed) added on every tick, also
// after a slot has been given a flake of another speed.
TEST(Snowfall, TheSidewaysStepFollowsEachSlotsCurrentFlake) {
  AnimationState s;
  ScriptedRandom random;
  RecordingSink sink;
  for (const double speed : {1.7, 2.3, 1.7}) {
    s.Flakes[3] = {kTrue, 321.25, 0, speed};
    double x = 321.25;
    for (int tick = 0; tick < 50; ++tick) {
      int spawnCount = 10;
      SnowfallStep(s, random, sink, {640, 10000}, spawnCount);
      x = x + 5.0 * std::sin(10.0 * speed);
      ASSERT_EQ(s.Flakes[3].X, x) << speed << " " << tick;
    }
  }
}

}  // namespace
}  // namespace zimoklas::animation

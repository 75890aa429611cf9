// The launch decision, the rocket and the sparks, driven by scripted draws: exact pixel
// writes, the burst's slot filling, the colour, spark lifetimes and rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "animation/fireworks.hpp"
#include "animation/tick.hpp"
#include "platform/headless/scripted_random.hpp"
#include "recording_sink.hpp"

namespace zimoklas::animation {
namespace {

using headless::ScriptedRandom;

constexpr ScaleSize kScale{640, 700};
constexpr float kAlmostOne = 0.99999994f;  // the largest float below 1

// The tick's first three steps; returns the number of sparks started.
int Fireworks(AnimationState& s, ScriptedRandom& random, RecordingSink& sink,
              ScaleSize scale = kScale) {
  int spawnCount = 0;
  LaunchDecision(s, random, scale);
  RocketStep(s, random, sink, spawnCount);
  SparkStep(s, random, sink);
  return spawnCount;
}

std::vector<PixelWrite> Streak(std::int32_t x, std::int32_t top, Colour c) {
  return {{x, top, c}, {x, top + 1, c}, {x, top + 2, c}};
}

std::vector<PixelWrite> Concat(std::vector<PixelWrite> a, const std::vector<PixelWrite>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Launch, TheRocketShowsOnItsLaunchTickAfterErasingTheBottomRows) {
  AnimationState s;
  // Launch, column draw, drift draw, then red, green, blue.
  ScriptedRandom random({0.9f, 0.5f, 0.75f, 0.5f, 0.0f, kAlmostOne});
  RecordingSink sink;
  Fireworks(s, random, sink);

  const Colour colour = 0xFF0080;  // 0.5 * 255 = 127.5 gives 128
  EXPECT_EQ(s.FireworkColour, static_cast<float>(colour));
  EXPECT_EQ(s.RocketActive, kTrue);
  EXPECT_EQ(s.RocketX, 320.25);
  EXPECT_EQ(s.RocketY, 687.0);
  EXPECT_EQ(s.RocketSpeed, 11.0 - 0.1);
  EXPECT_EQ(sink.writes, Concat(Streak(320, 698, 0), Streak(320, 687, colour)));
  EXPECT_EQ(random.remaining(), 0u);

  // In flight the draw is still made, and a winning draw starts no second rocket.
  sink.writes.clear();
  random.Add({0.95f});
  Fireworks(s, random, sink);
  EXPECT_EQ(random.remaining(), 0u);
  EXPECT_EQ(s.FireworkColour, static_cast<float>(colour));
  // 320.5 rounds to 320; 676.1 to 676.
  EXPECT_EQ(sink.writes, Concat(Streak(320, 687, 0), Streak(320, 676, colour)));
}

TEST(Launch, OnlyADrawAboveEightTenthsInSinglePrecisionLaunches) {
  AnimationState s;
  ScriptedRandom random({0.8f, 0.0f});
  RecordingSink sink;
  Fireworks(s, random, sink);  // 0.8f is not above 0.8f
  Fireworks(s, random, sink);
  EXPECT_EQ(s.RocketActive, kFalse);
  EXPECT_TRUE(sink.writes.empty());

  random.Add({0.80000007f, 0.0f, 0.5f, 0.0f, 0.0f, 0.0f});
  Fireworks(s, random, sink);
  EXPECT_EQ(s.RocketActive, kTrue);
}

TEST(Launch, ColumnIsHalfTheWidthTimesTheDrawRoundedDownPlusAQuarter) {
  struct Case {
    float width, r1;
    double column;
  };
  for (const Case& c : {Case{640, kAlmostOne, 479.0}, Case{642, kAlmostOne, 480.5},
                        Case{642, 0.0f, 160.5}, Case{1920, 0.5f, 960.0}}) {
    AnimationState s;
    ScriptedRandom random({0.9f, c.r1, 0.5f, 0.0f, 0.0f, 0.0f});
    RecordingSink sink;
    LaunchDecision(s, random, {c.width, 700});
    EXPECT_EQ(s.RocketX, c.column) << c.width << " " << c.r1;
    EXPECT_EQ(s.RocketY, 698.0);
    EXPECT_EQ(s.RocketDrift, 0.0);
  }
}

TEST(Rocket, BurstsOnItsHundredAndEighthMoveAndIsNotDrawnThen) {
  AnimationState s;
  ScriptedRandom random({0.9f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f});  // drift 0, grey
  RecordingSink sink;
  Fireworks(s, random, sink);
  for (int move = 2; move <= 107; ++move) {
    random.Add({0.1f});
    Fireworks(s, random, sink);
  }
  ASSERT_EQ(s.RocketActive, kTrue);
  EXPECT_EQ(s.RocketSpeed, 0.30000000000002236);

  sink.writes.clear();
  random.Add({0.1f});
  // Each spark: angle draw 0.25 (a quarter turn), then both speed factors 1.
  for (int i = 0; i < 250; ++i) random.Add({0.25f, 0.0f, 0.0f});
  random.Add(0.0f, 250);  // the new sparks' first moves, none dies
  const std::int32_t top = static_cast<std::int32_t>(std::nearbyint(s.RocketY));
  EXPECT_EQ(Fireworks(s, random, sink), 250);
  EXPECT_EQ(random.remaining(), 0u);

  EXPECT_EQ(s.RocketActive, kFalse);
  EXPECT_NEAR(s.RocketY, 700 - 612.2, 1e-9);
  EXPECT_EQ(s.RocketX, 320.0);
  ASSERT_EQ(sink.writes.size(), 3u + 250u * 4u);
  EXPECT_EQ(std::vector<PixelWrite>(sink.writes.begin(), sink.writes.begin() + 3),
            Streak(320, top, 0));
  // Each new spark is erased at the burst point, where it never showed, and drawn one
  // move to the right.
  const Colour grey = 0x808080;
  for (std::size_t i = 0; i < 250; ++i) {
    const std::vector<PixelWrite> expected{
        {320, 88, 0}, {321, 89, 0}, {321, 88, grey}, {322, 89, grey}};
    const auto first = sink.writes.begin() + 3 + static_cast<std::ptrdiff_t>(4 * i);
    ASSERT_EQ(std::vector<PixelWrite>(first, first + 4), expected) << "spark " << i;
  }
  for (std::size_t i = 0; i < kSparkSlots; ++i) {
    EXPECT_EQ(s.Sparks[i].Active, i < 250 ? kTrue : kFalse) << i;
  }
  EXPECT_EQ(s.Sparks[0].Age, 1);
  EXPECT_EQ(s.BurstAngle, static_cast<float>(0.5 * 3.14159265358979));
}

TEST(Rocket, ASpeedOfExactlyThreeTenthsDoesNotBurst) {
  EXPECT_FALSE(RocketBursts(0.3));
  EXPECT_FALSE(RocketBursts(0.30000000000002236));
  EXPECT_TRUE(RocketBursts(std::nextafter(0.3, 0.0)));

  // 0.3 itself cannot come out of a subtraction of 0.1, so through the rocket step the
  // nearest speeds on either side are checked.
  double before = 0.4;
  while (std::nextafter(before, 0.0) - 0.1 >= 0.3) before = std::nextafter(before, 0.0);
  ASSERT_EQ(before - 0.1, std::nextafter(0.3, 1.0));

  AnimationState s;
  for (Spark& spark : s.Sparks) spark.Active = kTrue;  // a burst would start nothing
  s.RocketActive = kTrue;
  s.RocketY = 100;
  s.RocketSpeed = before;
  ScriptedRandom random;
  RecordingSink sink;
  int spawnCount = 0;
  RocketStep(s, random, sink, spawnCount);
  EXPECT_EQ(s.RocketActive, kTrue);
  EXPECT_EQ(sink.writes.size(), 6u);

  s.RocketSpeed = std::nextafter(before, 0.0);
  RocketStep(s, random, sink, spawnCount);
  EXPECT_LT(s.RocketSpeed, 0.3);
  EXPECT_EQ(s.RocketActive, kFalse);
  EXPECT_EQ(sink.writes.size(), 9u);
  EXPECT_EQ(random.used(), 0u);
}

// Runs a burst over a pool whose given slots (1-based, inclusive ranges) are live and
// returns the slots that hold live sparks afterwards.
std::vector<bool> BurstInto(std::initializer_list<std::pair<int, int>> live, int& started) {
  AnimationState s;
  for (const auto& [first, last] : live) {
    for (int slot = first; slot <= last; ++slot) s.Sparks[slot - 1].Active = kTrue;
  }
  s.RocketActive = kTrue;
  ScriptedRandom random;
  random.Add(0.5f, 3 * 250);
  started = 0;
  Burst(s, random, started);
  EXPECT_EQ(random.used(), 3u * static_cast<std::size_t>(started));
  EXPECT_EQ(s.RocketActive, kFalse);
  std::vector<bool> active;
  for (const Spark& spark : s.Sparks) active.push_back(spark.Active == kTrue);
  return active;
}

TEST(Burst, FillsTheLowestFreeSlotsWithUpTo250Sparks) {
  int started = 0;
  std::vector<bool> active = BurstInto({}, started);
  EXPECT_EQ(started, 250);
  for (int slot = 1; slot <= 500; ++slot) EXPECT_EQ(active[slot - 1], slot <= 250) << slot;

  active = BurstInto({{1, 500}}, started);
  EXPECT_EQ(started, 0);

  active = BurstInto({{1, 100}, {200, 300}}, started);
  EXPECT_EQ(started, 250);  // 101-199 and 301-451
  for (int slot = 1; slot <= 500; ++slot) EXPECT_EQ(active[slot - 1], slot <= 451) << slot;

  active = BurstInto({{1, 400}}, started);
  EXPECT_EQ(started, 100);
  for (int slot = 1; slot <= 500; ++slot) EXPECT_TRUE(active[slot - 1]) << slot;
}

TEST(Sparks, ANewLaunchRecoloursEverySparkStillAlive) {
  AnimationState s;
  s.FireworkColour = 0x0000FF;
  s.Sparks[7] = {kTrue, 10, 20, 0, 0, 5};
  ScriptedRandom random({0.9f, 0.5f, 0.5f, 0.0f, kAlmostOne, 0.0f, 0.0f});
  RecordingSink sink;
  Fireworks(s, random, sink);
  ASSERT_EQ(sink.writes.size(), 6u + 4u);
  EXPECT_EQ(sink.writes[8], (PixelWrite{10, 20, 0x00FF00}));
  EXPECT_EQ(sink.writes[9], (PixelWrite{11, 21, 0x00FF00}));
}

TEST(Sparks, NoneDiesBeforeItsThirtyFirstMove) {
  AnimationState s;
  s.FireworkColour = 0xFFFFFF;
  s.Sparks[0] = {kTrue, 100, 100, 1, 0, 0};
  ScriptedRandom random;
  random.Add(kAlmostOne, 31);
  RecordingSink sink;
  for (int move = 1; move <= 30; ++move) {
    SparkStep(s, random, sink);
    ASSERT_EQ(s.Sparks[0].Active, kTrue) << move;
    EXPECT_EQ(s.Sparks[0].Age, move);
  }
  sink.writes.clear();
  SparkStep(s, random, sink);
  EXPECT_EQ(s.Sparks[0].Active, kFalse);
  EXPECT_EQ(s.Sparks[0].Age, 31);
  ASSERT_EQ(sink.writes.size(), 2u);  // erased, not drawn again
  EXPECT_EQ(sink.writes[0].colour, 0u);
  EXPECT_EQ(sink.writes[1].colour, 0u);
}

TEST(Rounding, TiesGoToEvenForEachCoordinateAfterItsOffset) {
  AnimationState s;
  s.FireworkColour = 0x123456;
  s.Sparks[0] = {kTrue, -1.5, 2.5, 2, 2, 0};  // moves to (0.5, 0.5)
  ScriptedRandom random({0.0f});
  RecordingSink sink;
  SparkStep(s, random, sink);
  EXPECT_EQ(sink.writes,
            (std::vector<PixelWrite>{{-2, 2, 0}, {0, 4, 0}, {0, 0, 0x123456}, {2, 2, 0x123456}}));

  // A streak whose top is at row 0.5 covers rows 0 and 2 only.
  AnimationState r;
  r.FireworkColour = 0x123456;
  r.RocketActive = kTrue;
  r.RocketX = 2.5;
  r.RocketY = 11.5;
  r.RocketSpeed = 11;
  sink.writes.clear();
  int spawnCount = 0;
  RocketStep(r, random, sink, spawnCount);
  EXPECT_EQ(sink.writes, (std::vector<PixelWrite>{{2, 12, 0},
                                                  {2, 12, 0},
                                                  {2, 14, 0},
                                                  {2, 0, 0x123456},
                                                  {2, 2, 0x123456},
                                                  {2, 2, 0x123456}}));
}

}  // namespace
}  // namespace zimoklas::animation

// The first three steps of the animation tick: the launch decision, the rocket's flight
// and burst, and the sparks. Pixel coordinates are rounded to nearest, ties to even, each
// on its own after its offset is added. A draw times a number is formed in double
// precision, where it is exact.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "animation/animation_state.hpp"
#include "animation/pixel_sink.hpp"
#include "common/types.hpp"

namespace zimoklas::animation {

inline constexpr float kLaunchThreshold = 0.8f;
inline constexpr double kRocketStartSpeed = 11.0;
inline constexpr double kRocketSlowdown = 0.1;
inline constexpr double kBurstSpeed = 0.3;
inline constexpr int kSparksPerBurst = 250;
inline constexpr double kHalfTurns = 3.14159265358979;  // the burst angle's constant
inline constexpr double kGravity = 0.2;
inline constexpr double kSparkLifeFactor = 30.0;

template <PixelSink Sink>
inline void WritePixel(Sink& sink, double x, double y, Colour colour) {
  sink.SetPixel(RoundToInt32(x), RoundToInt32(y), colour);
}

// The firework colour as a pixel colour: the stored float always holds a whole number.
inline Colour FireworkPixelColour(const AnimationState& s) {
  return static_cast<Colour>(RoundToInt32(s.FireworkColour));
}

// One channel from a draw: r * 255 rounded to nearest, ties to even.
inline std::uint8_t ColourChannel(float r) {
  return static_cast<std::uint8_t>(RoundToInt32(static_cast<double>(r) * 255.0));
}

// Step 1: one draw every tick; a draw above 0.8 launches a rocket unless one is in flight.
template <DrawSource Random>
inline void LaunchDecision(AnimationState& s, Random& random, ScaleSize scale) {
  const float r = random.Draw();
  if (!(r > kLaunchThreshold) || s.RocketActive != kFalse) return;
  s.RocketActive = kTrue;
  const double width = scale.ScaleWidth;
  const float r1 = random.Draw();
  s.RocketX = std::floor(static_cast<double>(r1) * width / 2.0) + width / 4.0;
  s.RocketY = static_cast<double>(scale.ScaleHeight) - 2.0;
  const float r2 = random.Draw();
  s.RocketDrift = static_cast<double>(r2) - 0.5;
  s.RocketSpeed = kRocketStartSpeed;
  const std::uint8_t red = ColourChannel(random.Draw());
  const std::uint8_t green = ColourChannel(random.Draw());
  const std::uint8_t blue = ColourChannel(random.Draw());
  s.FireworkColour = static_cast<float>(MakeColour(red, green, blue));
}

// Starts up to 250 sparks at the rocket's place, in the lowest-numbered free slots.
template <DrawSource Random>
inline void Burst(AnimationState& s, Random& random, int& spawnCount) {
  s.RocketActive = kFalse;
  for (Spark& spark : s.Sparks) {
    if (spawnCount >= kSparksPerBurst) break;  // the rest of the pool is left untouched
    if (spark.Active != kFalse) continue;
    const float r = random.Draw();
    s.BurstAngle = static_cast<float>(static_cast<double>(r + r) * kHalfTurns);
    spark.X = s.RocketX;
    spark.Y = s.RocketY;
    const double angle = s.BurstAngle;
    const float r1 = random.Draw();
    spark.VX = (static_cast<double>(r1) * 7.0 + 1.0) * std::sin(angle);
    const float r2 = random.Draw();
    spark.VY = (static_cast<double>(r2) * 7.0 + 1.0) * std::cos(angle);
    spark.Active = kTrue;
    spark.Age = 0;
    ++spawnCount;
  }
  s.SlotIndex = static_cast<float>(kSparkSlots + 1);
}

// The burst test, strict and in double precision: a speed of exactly 0.3 flies on.
inline bool RocketBursts(double speed) {
  return speed < kBurstSpeed;
}

template <PixelSink Sink>
inline void WriteStreak(Sink& sink, const AnimationState& s, Colour colour) {
  WritePixel(sink, s.RocketX, s.RocketY, colour);
  WritePixel(sink, s.RocketX, s.RocketY + 1.0, colour);
  WritePixel(sink, s.RocketX, s.RocketY + 2.0, colour);
}

// Step 2: erase the streak, move and slow the rocket, then draw it or burst it.
template <PixelSink Sink, DrawSource Random>
inline void RocketStep(AnimationState& s, Random& random, Sink& sink, int& spawnCount) {
  if (s.RocketActive == kFalse) return;
  WriteStreak(sink, s, 0);
  s.RocketX = s.RocketX + s.RocketDrift;
  s.RocketY = s.RocketY - s.RocketSpeed;
  s.RocketSpeed = s.RocketSpeed - kRocketSlowdown;
  if (RocketBursts(s.RocketSpeed)) {
    Burst(s, random, spawnCount);
  } else {
    WriteStreak(sink, s, FireworkPixelColour(s));
  }
}

// Step 3: every live spark is erased, moved, aged, and then dies or is drawn.
template <PixelSink Sink, DrawSource Random>
inline void SparkStep(AnimationState& s, Random& random, Sink& sink) {
  const Colour colour = FireworkPixelColour(s);
  for (Spark& spark : s.Sparks) {
    if (spark.Active == kFalse) continue;
    WritePixel(sink, spark.X, spark.Y, 0);
    WritePixel(sink, spark.X + 1.0, spark.Y + 1.0, 0);
    spark.X = spark.X + spark.VX;
    spark.Y = spark.Y - spark.VY;
    spark.VY = spark.VY - kGravity;
    spark.Age = spark.Age + 1;
    const float r = random.Draw();
    if (static_cast<double>(r) * spark.Age > kSparkLifeFactor) {
      spark.Active = kFalse;
    } else {
      WritePixel(sink, spark.X, spark.Y, colour);
      WritePixel(sink, spark.X + 1.0, spark.Y + 1.0, colour);
    }
  }
  s.SlotIndex = static_cast<float>(kSparkSlots + 1);
}

}  // namespace zimoklas::animation

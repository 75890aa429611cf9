// The scene window's animation state: the rocket, the spark and flake pools, the colours
// and the tick's scratch values. All zero when the window is created.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "common/types.hpp"

namespace zimoklas::animation {

inline constexpr std::size_t kSparkSlots = 500;
inline constexpr std::size_t kFlakeSlots = 1500;

struct Spark {
  VbBool Active = kFalse;
  double X = 0;          // column of the first of the spark's two pixels
  double Y = 0;          // row of the first pixel
  double VX = 0;         // added to X every tick
  double VY = 0;         // upward speed, lowered by 0.2 every tick
  std::int32_t Age = 0;  // ticks lived
};

struct Flake {
  VbBool Active = kFalse;
  double X = 0;
  double Y = 0;
  double Speed = 0;  // rows per tick, 1 <= Speed < 5, fixed for the flake's life
};

// A flake's sideways step 5 * sin(10 * Speed) is the same on every tick of its life, so
// it is computed once per Speed and kept beside the pool. Keyed by the Speed it was made
// from, it stays right whoever writes a flake; zero Speed and zero step agree.
class SidewaysSteps {
 public:
  double For(std::size_t slot, double speed) {
    if (speed_[slot] != speed) {
      speed_[slot] = speed;
      step_[slot] = 5.0 * std::sin(10.0 * speed);
    }
    return step_[slot];
  }

 private:
  std::array<double, kFlakeSlots> speed_{};
  std::array<double, kFlakeSlots> step_{};
};

// Slot n of a pool is element n - 1 of its array.
struct AnimationState {
  VbBool RocketActive = kFalse;
  double RocketX = 0;        // column of the streak
  double RocketY = 0;        // row of the streak's top pixel
  double RocketDrift = 0;    // added to RocketX every tick of the flight
  double RocketSpeed = 0;    // subtracted from RocketY every tick, then lowered by 0.1
  float FireworkColour = 0;  // colour of the rocket and of every live spark, a whole number
  std::array<Spark, kSparkSlots> Sparks{};
  std::array<Flake, kFlakeSlots> Flakes{};
  Colour SnowColour = 0;
  float BurstAngle = 0;  // scratch: direction of the spark being started
  float SlotIndex = 0;   // scratch: where the last slot loop stopped

  SidewaysSteps FlakeSteps;  // derived from Flakes, not state of its own
};

// The window's client size as the tick reads it.
struct ScaleSize {
  float ScaleWidth = 0;
  float ScaleHeight = 0;
};

}  // namespace zimoklas::animation

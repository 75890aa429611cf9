// The last step of the animation tick: up to 10 new flakes in the lowest free slots,
// then every falling flake is erased, moved and drawn in the snow colour, or retired once
// it has passed the bottom edge.
#pragma once

#include <cmath>
#include <cstddef>

#include "animation/animation_state.hpp"
#include "animation/fireworks.hpp"
#include "animation/pixel_sink.hpp"

namespace zimoklas::animation {

inline constexpr int kFlakesPerTick = 10;

// spawnCount arrives holding the sparks this tick's burst started, if any.
template <PixelSink Sink, DrawSource Random>
inline void SnowfallStep(AnimationState& s, Random& random, Sink& sink, ScaleSize scale,
                         int& spawnCount) {
  for (std::size_t slot = 0; slot < kFlakeSlots; ++slot) {
    Flake& flake = s.Flakes[slot];
    if (flake.Active == kFalse) {
      if (spawnCount >= kFlakesPerTick) continue;
      // A new flake shows from the next tick on.
      const float r = random.Draw();
      flake.X = std::floor(static_cast<double>(r) * scale.ScaleWidth);
      flake.Y = 0;
      const float r2 = random.Draw();
      flake.Speed = static_cast<double>(r2) * 4.0 + 1.0;
      flake.Active = kTrue;
      ++spawnCount;
      continue;
    }
    WritePixel(sink, flake.X, flake.Y, 0);
    flake.Y = flake.Y + flake.Speed;
    flake.X = flake.X + s.FlakeSteps.For(slot, flake.Speed);
    if (static_cast<float>(flake.Y) > scale.ScaleHeight) {
      flake.Active = kFalse;
    } else {
      WritePixel(sink, flake.X, flake.Y, s.SnowColour);
    }
  }
  s.SlotIndex = static_cast<float>(kFlakeSlots + 1);
}

}  // namespace zimoklas::animation

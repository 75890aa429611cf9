// The animation tick run by the scene window's 5 ms timer: launch decision, rocket,
// sparks, snowfall, in this order. It allocates nothing and checks nothing; every pixel
// write goes to the sink as it happens.
#pragma once

#include "animation/animation_state.hpp"
#include "animation/fireworks.hpp"
#include "animation/pixel_sink.hpp"
#include "animation/snowfall.hpp"

namespace zimoklas::animation {

template <PixelSink Sink, DrawSource Random>
inline void Tick(AnimationState& s, Random& random, Sink& sink, ScaleSize scale) {
  int spawnCount = 0;  // objects started in this tick: the burst's sparks, then flakes
  LaunchDecision(s, random, scale);
  RocketStep(s, random, sink, spawnCount);
  SparkStep(s, random, sink);
  SnowfallStep(s, random, sink, scale, spawnCount);
}

}  // namespace zimoklas::animation

// The animation state at full load, shared by the tick benchmarks and the allocation
// test: 500 live sparks in two 250-spark bursts and 1500 falling flakes, with draws that
// keep it that way.
#pragma once

#include <cmath>
#include <memory>

#include "animation/animation_state.hpp"
#include "animation/random.hpp"
#include "common/types.hpp"

namespace zimoklas::headless {

// The generator's full cost, but every value 0: no launch, and no spark ever dies.
struct FullLoadDraws final {
  float Draw() { return pcg.Draw() * 0.0f; }
  animation::Pcg32 pcg{1};
};

// 250-spark bursts in the middle of the sky, flakes spread over the top rows with every
// speed; both stay mostly on screen for a round.
inline std::unique_ptr<animation::AnimationState> FullLoad() {
  auto s = std::make_unique<animation::AnimationState>();
  animation::Pcg32 random(7);
  s->FireworkColour = static_cast<float>(MakeColour(255, 200, 40));
  s->SnowColour = 0xFFFFFF;
  for (std::size_t i = 0; i < animation::kSparkSlots; ++i) {
    const double angle = random.Draw() * 6.283185307179586;
    s->Sparks[i] = {kTrue,
                    i < 250 ? 640.0 : 1280.0,
                    400,
                    (random.Draw() * 7 + 1) * std::sin(angle),
                    (random.Draw() * 7 + 1) * std::cos(angle),
                    0};
  }
  for (animation::Flake& flake : s->Flakes) {
    flake = {kTrue, std::floor(random.Draw() * 1920.0), std::floor(random.Draw() * 700.0),
             random.Draw() * 4.0 + 1.0};
  }
  return s;
}

}  // namespace zimoklas::headless

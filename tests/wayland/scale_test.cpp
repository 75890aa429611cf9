// The Wayland scene's fractional scale: read from the output's mode and logical size, and
// damage in the surface's logical pixels rounded outwards so that nothing drawn is missed.
#include <gtest/gtest.h>

#include "platform/wayland/wayland_frame.hpp"
#include "platform/wayland/wayland_output_scale.hpp"

namespace zimoklas::wayland {
namespace {

TEST(WaylandScale, AnOutputsScaleComesFromItsModeAndDamageIsRoundedOutwards) {
  // The mode over the logical width, in steps of 1/120.
  EXPECT_EQ(ScaleOfOutput(2880, 1620, WL_OUTPUT_TRANSFORM_NORMAL, 1920), 1.5);
  // Turned by a quarter, the mode's height runs across the logical width.
  EXPECT_EQ(ScaleOfOutput(1620, 2880, WL_OUTPUT_TRANSFORM_90, 1920), 1.5);
  EXPECT_EQ(ScaleOfOutput(1620, 2880, WL_OUTPUT_TRANSFORM_FLIPPED_270, 1920), 1.5);
  // A compositor rounds the logical size to whole pixels: 2560 / 1463 is 1.7498.
  EXPECT_EQ(ScaleOfOutput(2560, 1440, WL_OUTPUT_TRANSFORM_NORMAL, 1463), 1.75);
  EXPECT_FALSE(ScaleOfOutput(0, 0, WL_OUTPUT_TRANSFORM_NORMAL, 1920));
  EXPECT_FALSE(ScaleOfOutput(1920, 1080, WL_OUTPUT_TRANSFORM_NORMAL, 0));

  // Damage in logical pixels covers every device pixel it came from.
  EXPECT_EQ(LogicalArea({64, 64, 64, 64}, 2), (PixelRect{32, 32, 32, 32}));
  // 64 to 128 device pixels at 1.5 are 42.67 to 85.33 logical ones.
  EXPECT_EQ(LogicalArea({64, 64, 64, 64}, 1.5), (PixelRect{42, 42, 44, 44}));
  EXPECT_EQ(LogicalArea({0, 0, 2880, 1620}, 1.5), (PixelRect{0, 0, 1920, 1080}));
}

}  // namespace
}  // namespace zimoklas::wayland

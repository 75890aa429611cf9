// The primary output from what the desktop says: Mutter's primary by its corner, KDE's
// order by the outputs' names, and none where the desktop names none.
#include "platform/wayland/wayland_primary.hpp"

#include <gtest/gtest.h>

namespace zimoklas::wayland {
namespace {

TEST(PrimaryOutput, TheDesktopsWordWinsAndWithoutOneTheCompositorChooses) {
  const std::vector<OutputPlace> outputs{{"eDP-1", 0, 0}, {"HDMI-A-1", 1920, 0}};
  // GNOME: the primary laid out on the right.
  EXPECT_EQ(ChoosePrimaryOutput(outputs, {Position{1920, 0}, {}}), std::optional<std::size_t>(1));
  // KDE: the first listed output that is there.
  EXPECT_EQ(ChoosePrimaryOutput(outputs, {std::nullopt, {"DP-3", "HDMI-A-1", "eDP-1"}}),
            std::optional<std::size_t>(1));
  // A primary that is not among the outputs, or none at all (wlroots).
  EXPECT_EQ(ChoosePrimaryOutput(outputs, {Position{0, 1080}, {"eDP-1"}}), std::nullopt);
  EXPECT_EQ(ChoosePrimaryOutput(outputs, {std::nullopt, {"DP-3"}}), std::nullopt);
  EXPECT_EQ(ChoosePrimaryOutput(outputs, {}), std::nullopt);
  // Outputs without names (wl_output before version 4) are never KDE's primary.
  EXPECT_EQ(ChoosePrimaryOutput({{"", 0, 0}}, {std::nullopt, {""}}), std::nullopt);
}

}  // namespace
}  // namespace zimoklas::wayland

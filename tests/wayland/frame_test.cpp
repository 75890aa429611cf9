// The Wayland scene's frame: the last write to a pixel wins, and the damage handed to a
// commit covers what was written since the last one and little else.
#include "platform/wayland/wayland_frame.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace zimoklas::wayland {
namespace {

std::vector<PixelRect> Damage(Frame& frame) {
  std::vector<PixelRect> rects;
  frame.TakeDamage([&](const PixelRect& r) { rects.push_back(r); });
  return rects;
}

TEST(WaylandFrame, LastWriteWinsAndWritesOutsideAreDropped) {
  Frame frame;
  frame.SetSize(100, 50);
  frame.SetPixel(3, 4, MakeColour(255, 255, 255));
  frame.SetPixel(3, 4, MakeColour(0, 0, 0));
  frame.SetPixel(3, 4, MakeColour(0x12, 0x34, 0x56));
  frame.SetPixel(-1, 0, MakeColour(255, 0, 0));
  frame.SetPixel(100, 0, MakeColour(255, 0, 0));
  frame.SetPixel(0, 50, MakeColour(255, 0, 0));
  frame.Flush();
  EXPECT_EQ(frame.at(3, 4), 0x123456U);
  int lit = 0;
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 100; ++x) lit += frame.at(x, y) != 0 ? 1 : 0;
  }
  EXPECT_EQ(lit, 1);
}

TEST(WaylandFrame, DamageIsTheWrittenTilesOnceMergedAlongRowsAndClipped) {
  constexpr int T = Frame::kTile;
  Frame frame;
  frame.SetSize((3 * T) + 4, T + 8);  // 4 columns of tiles (the last 4 wide), 2 rows (the last 8)
  EXPECT_TRUE(Damage(frame).empty());
  frame.SetPixel(1, 1, 1);
  frame.SetPixel(T + 1, 2, 1);            // the next tile: one run with the first
  frame.SetPixel((3 * T) + 3, T + 7, 1);  // the corner tile, clipped to the frame
  frame.SetPixel(T + 2, T + 2, 1);
  const std::vector<PixelRect> expected = {{0, 0, 2 * T, T}, {T, T, T, 8}, {3 * T, T, 4, 8}};
  EXPECT_EQ(Damage(frame), expected);
  // Taken damage is forgotten; an area drawn otherwise (a label) is marked as a whole.
  EXPECT_FALSE(frame.damaged());
  EXPECT_TRUE(Damage(frame).empty());
  frame.MarkDamaged({T + 4, 3, T, 2});
  const std::vector<PixelRect> label = {{T, 0, 2 * T, T}};
  EXPECT_EQ(Damage(frame), label);
  frame.MarkDamaged({-50, -50, 10, 10});
  EXPECT_FALSE(frame.damaged());
}

TEST(WaylandFrame, ACopyCatchesUpFromTheLogInOrderUntilItFallsTooFarBehind) {
  Frame frame;
  frame.SetSize(64, 40);
  std::vector<std::uint32_t> copy(64 * 40, 0);
  const std::uint64_t start = frame.written();
  frame.SetPixel(5, 6, MakeColour(1, 2, 3));
  frame.SetPixel(5, 6, MakeColour(0xAA, 0xBB, 0xCC));  // the last write wins in the copy too
  frame.SetPixel(63, 39, MakeColour(9, 9, 9));
  frame.SetPixel(64, 0, MakeColour(9, 9, 9));  // outside: neither drawn nor logged
  ASSERT_TRUE(frame.CopyWrittenSince(start, copy.data()));
  frame.Flush();
  EXPECT_EQ(copy, std::vector<std::uint32_t>(frame.data(), frame.data() + copy.size()));
  EXPECT_EQ(copy[(6 * 64) + 5], 0xAABBCCU);

  // A label's area is handed over once, as tiles, for the copies to take whole.
  frame.MarkDamaged({10, 3, 5, 5});
  std::vector<PixelRect> areas;
  frame.TakeMarkedAreas([&](const PixelRect& r) { areas.push_back(r); });
  frame.TakeMarkedAreas([&](const PixelRect& r) { areas.push_back(r); });
  EXPECT_EQ(areas, (std::vector<PixelRect>{{0, 0, 64, std::min(Frame::kTile, 40)}}));

  // A copy further behind than the log reaches, or from before a new size, is refused
  // and left alone.
  const std::uint64_t behind = frame.written();
  for (int n = 0; n < (1 << 16) + 1; ++n) frame.SetPixel(n % 64, 0, MakeColour(0, 0, 255));
  std::vector<std::uint32_t> untouched(copy);
  EXPECT_FALSE(frame.CopyWrittenSince(behind, untouched.data()));
  EXPECT_EQ(untouched, copy);
  const std::uint64_t beforeResize = frame.written();
  frame.SetSize(32, 32);
  EXPECT_FALSE(frame.CopyWrittenSince(beforeResize, untouched.data()));
}

}  // namespace
}  // namespace zimoklas::wayland

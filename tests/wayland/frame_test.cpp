// The Wayland scene's frame: the last write to a pixel wins, in every copy brought up to
// date from it, and the damage handed to a commit covers what was written since the last
// one and little else.
#include "platform/wayland/wayland_frame.hpp"

#include <gtest/gtest.h>

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
  const std::uint32_t* picture = frame.Picture();
  EXPECT_EQ(picture[(4 * 100) + 3], 0xFF123456U) << "opaque, for compositors that blend";
  int lit = 0;
  for (int n = 0; n < 100 * 50; ++n) lit += picture[n] != 0 ? 1 : 0;
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
  // Taken damage is forgotten; an area drawn on the canvas (a label) is marked as a whole.
  EXPECT_FALSE(frame.damaged());
  EXPECT_TRUE(Damage(frame).empty());
  frame.Drawn({T + 4, 3, T, 2});
  const std::vector<PixelRect> label = {{T, 0, 2 * T, T}};
  EXPECT_EQ(Damage(frame), label);
  frame.Drawn({-50, -50, 10, 10});
  EXPECT_FALSE(frame.damaged());
}

// Every copy is checked against a plain picture that the test keeps itself.
TEST(WaylandFrame, CopiesCatchUpInTheOrderOfWritesAndDrawnAreasFromWhateverIsFreshest) {
  constexpr int W = 64;
  constexpr int H = 40;
  constexpr int kLog = 1 << 16;
  Frame frame;
  frame.SetSize(W, H);
  std::vector<std::uint32_t> expected(W * H, 0);
  const auto write = [&](int x, int y, std::uint32_t pixel) {
    frame.SetPixel(x, y, MakeColour(pixel >> 16U, (pixel >> 8U) & 0xFFU, pixel & 0xFFU));
    expected[(y * W) + x] = Frame::kOpaque | pixel;
  };
  // Drawn without the top byte, as cairo may leave it; it reaches the copies opaque.
  const auto draw = [&](const PixelRect& r, std::uint32_t pixel) {
    for (int y = r.y; y < r.y + r.height; ++y) {
      for (int x = r.x; x < r.x + r.width; ++x) {
        frame.canvas()[(y * W) + x] = pixel;
        expected[(y * W) + x] = Frame::kOpaque | pixel;
      }
    }
    frame.Drawn(r);
  };

  // Writes and a label in order: the label covers what was written before it, and what
  // is written after lands on top.
  std::vector<std::uint32_t> first(W * H, 0);
  write(5, 6, 0x010203);
  write(5, 6, 0xAABBCC);
  write(11, 4, 0x111111);
  draw({10, 3, 5, 5}, 0x404040);
  write(12, 5, 0x222222);
  frame.CatchUp(first.data(), frame.origin());
  EXPECT_EQ(first, expected);
  const std::uint64_t firstAt = frame.written();

  // The label drawn again: a copy from before both drawings ends with the later one.
  std::vector<std::uint32_t> second(W * H, 0);
  draw({10, 3, 5, 5}, 0x505050);
  write(13, 6, 0x333333);
  frame.CatchUp(second.data(), frame.origin());
  EXPECT_EQ(second, expected);
  frame.CatchUp(first.data(), firstAt);
  EXPECT_EQ(first, expected);

  // Blackened, the canvas reads black, whole rows (whose inner pages are given back) and
  // part of rows alike, under the glyphs drawn after.
  draw({20, 20, 8, 4}, 0x606060);
  const PixelRect band{0, 2, W, 36};
  frame.BlackCanvas(band);
  frame.canvas()[(15 * W) + 7] = 0xABCDEF;
  frame.canvas()[(25 * W) + 30] = 0x123456;
  frame.Drawn(band);
  frame.BlackCanvas({6, 15, 4, 3});
  frame.Drawn({6, 15, 4, 3});
  for (int y = band.y; y < band.y + band.height; ++y) {
    for (int x = 0; x < W; ++x) expected[(y * W) + x] = Frame::kOpaque;
  }
  expected[(25 * W) + 30] = Frame::kOpaque | 0x123456;
  std::vector<std::uint32_t> blackened(W * H, 0);
  frame.CatchUp(blackened.data(), frame.origin());
  EXPECT_EQ(blackened, expected);
  frame.CatchUp(first.data(), firstAt);
  EXPECT_EQ(first, expected);

  // A copy further behind than the log reaches is copied from the freshest held copy.
  frame.Holds(first.data());
  for (int n = 0; n < kLog - 10; ++n) write(n % W, 0, 0x0000FF + static_cast<std::uint32_t>(n));
  std::vector<std::uint32_t> behind(W * H, 0);
  frame.CatchUp(behind.data(), frame.origin());
  EXPECT_EQ(behind, expected);

  // Once the held copy falls out of the log's reach, the frame's own picture takes over,
  // and it still does after the held copy is let go.
  for (int n = 0; n < 20; ++n) write(n, 1, 0x00FF00);
  frame.Forget(first.data());
  first.assign(first.size(), 0xDEAD);
  std::vector<std::uint32_t> later(W * H, 0);
  frame.CatchUp(later.data(), frame.origin());
  EXPECT_EQ(later, expected);
  EXPECT_EQ(std::vector<std::uint32_t>(frame.Picture(), frame.Picture() + (W * H)), expected);

  // A new size starts black for every copy, however recent.
  const std::uint64_t beforeResize = frame.written();
  frame.SetSize(W, H);
  frame.CatchUp(later.data(), beforeResize);
  EXPECT_EQ(later, std::vector<std::uint32_t>(W * H, 0));
}

}  // namespace
}  // namespace zimoklas::wayland

// The Wayland scene's frame: the last write to a pixel wins, in every copy brought up to
// date from it, and the damage handed to a commit covers what was written since the last
// one and little else.
#include "platform/wayland/wayland_frame.hpp"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "animation/random.hpp"

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

TEST(WaylandFrame, DamageIsTheWrittenTilesInFewBoxesAndClipped) {
  constexpr int T = Frame::kTile;
  Frame frame;
  frame.SetSize((4 * T) + 4, T + 8);  // 5 columns of tiles (the last 4 wide), 2 rows (the last 8)
  EXPECT_TRUE(Damage(frame).empty());
  frame.SetPixel(1, 1, 1);
  frame.SetPixel(T + 1, 2, 1);            // the next tile: one run with the first
  frame.SetPixel((4 * T) + 3, T + 7, 1);  // the corner tile, clipped to the frame
  frame.SetPixel((2 * T) + 2, T + 2, 1);  // a gap of one tile to the corner: bridged
  std::vector<PixelRect> expected = {{0, 0, 2 * T, T}, {2 * T, T, (2 * T) + 4, 8}};
  EXPECT_EQ(Damage(frame), expected);
  // Taken damage is forgotten; an area drawn on the canvas (a label) is marked as a whole.
  EXPECT_FALSE(frame.damaged());
  EXPECT_TRUE(Damage(frame).empty());
  frame.Drawn({T + 4, 3, T, 2});
  expected = {{T, 0, 2 * T, T}};
  EXPECT_EQ(Damage(frame), expected);
  frame.Drawn({-50, -50, 10, 10});
  EXPECT_FALSE(frame.damaged());
  // A gap of two tiles is not bridged; runs of the same columns in two rows are one box.
  for (const int x : {0, 3 * T}) {
    frame.SetPixel(x, 0, 1);
    frame.SetPixel(x, T, 1);
  }
  expected = {{0, 0, T, T + 8}, {3 * T, 0, T, T + 8}};
  EXPECT_EQ(Damage(frame), expected);

  // Beyond the most boxes a commit sends, each row sends its span, first to last.
  frame.SetSize(80 * T, 3 * T);
  for (int column = 0; column < 80; column += 3) {
    frame.SetPixel(column * T, 0, 1);
    frame.SetPixel(column * T, T, 1);
    frame.SetPixel((column + 1) * T, 2 * T, 1);
  }
  expected = {{0, 0, 79 * T, 2 * T}, {T, 2 * T, 79 * T, T}};
  EXPECT_EQ(Damage(frame), expected);
}

// Every copy is checked against a plain picture that the test keeps itself.
TEST(WaylandFrame, CopiesCatchUpInTheOrderOfWritesAndDrawnAreasFromWhateverIsFreshest) {
  constexpr int W = 64;
  constexpr int H = 40;
  constexpr int kLog = 1 << 16;
  Frame frame;
  frame.SetSize(W, H);
  // Copies start opaque black, as the buffers do; whatever a copy is brought up to date
  // from reaches it opaque.
  constexpr std::uint32_t kBlack = Frame::kOpaque;
  std::vector<std::uint32_t> expected(W * H, kBlack);
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
  std::vector<std::uint32_t> first(W * H, kBlack);
  write(5, 6, 0x010203);
  write(5, 6, 0xAABBCC);
  write(11, 4, 0x111111);
  draw({10, 3, 5, 5}, 0x404040);
  write(12, 5, 0x222222);
  frame.CatchUp(first.data(), frame.origin());
  EXPECT_EQ(first, expected);
  const std::uint64_t firstAt = frame.written();

  // The label drawn again: a copy from before both drawings ends with the later one.
  std::vector<std::uint32_t> second(W * H, kBlack);
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
  std::vector<std::uint32_t> blackened(W * H, kBlack);
  frame.CatchUp(blackened.data(), frame.origin());
  EXPECT_EQ(blackened, expected);
  frame.CatchUp(first.data(), firstAt);
  EXPECT_EQ(first, expected);

  // A copy further behind than the log reaches is copied from the freshest held copy.
  frame.Holds(first.data());
  for (int n = 0; n < kLog - 10; ++n) write(n % W, 0, 0x0000FF + static_cast<std::uint32_t>(n));
  std::vector<std::uint32_t> behind(W * H, kBlack);
  frame.CatchUp(behind.data(), frame.origin());
  EXPECT_EQ(behind, expected);

  // Once the held copy falls out of the log's reach, the frame's own picture takes over,
  // and it still does after the held copy is let go.
  for (int n = 0; n < 20; ++n) write(n, 1, 0x00FF00);
  frame.Forget(first.data());
  first.assign(first.size(), 0xDEAD);
  std::vector<std::uint32_t> later(W * H, kBlack);
  frame.CatchUp(later.data(), frame.origin());
  EXPECT_EQ(later, expected);
  // The picture itself leaves untouched memory as it is, black without alpha.
  std::vector<std::uint32_t> picture(frame.Picture(), frame.Picture() + (W * H));
  for (std::uint32_t& pixel : picture) pixel |= Frame::kOpaque;
  EXPECT_EQ(picture, expected);

  // A new size starts black for every copy, however recent.
  const std::uint64_t beforeResize = frame.written();
  frame.SetSize(W, H);
  frame.CatchUp(later.data(), beforeResize);
  EXPECT_EQ(later, std::vector<std::uint32_t>(W * H, kBlack));
}

// Commits as the scene's buffers make them: the damage taken, then a buffer of two
// brought up to date from its own log position. What the compositor shows after each one
// is that buffer; every pixel that differs from what it showed before must lie in the
// damage sent with it, and the buffer must be the plain picture the test keeps.
TEST(WaylandFrame, EveryCommittedBufferIsThePictureAndEveryChangeLiesInItsDamage) {
  constexpr int W = 301;  // tiles that do not fit the frame exactly
  constexpr int H = 203;
  Frame frame;
  frame.SetSize(W, H);
  std::vector<std::uint32_t> expected(W * H, Frame::kOpaque);
  struct Buffer {
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(W * H, Frame::kOpaque);
    std::uint64_t written = 0;
  };
  std::array<Buffer, 2> buffers;
  for (Buffer& buffer : buffers) buffer.written = frame.origin();
  std::vector<std::uint32_t> shown = expected;
  animation::Pcg32 random(11);
  const auto at = [&](int limit) { return static_cast<int>(random.Draw() * limit); };

  int changedPixels = 0;
  for (int commit = 0; commit < 120; ++commit) {
    // Few scattered writes, a full pool's worth (flakes everywhere), or a cluster; now and
    // then a label drawn on the canvas.
    const int writes = commit % 3 == 0 ? at(8) : commit % 3 == 1 ? 4000 : 300;
    for (int n = 0; n < writes; ++n) {
      const int x = commit % 3 == 2 ? 40 + at(30) : at(W + 4) - 2;
      const int y = commit % 3 == 2 ? 150 + at(40) : at(H + 4) - 2;
      const auto pixel = static_cast<std::uint32_t>(random.Draw() * 0xFFFFFF);
      frame.SetPixel(x, y, MakeColour(pixel >> 16U, (pixel >> 8U) & 0xFFU, pixel & 0xFFU));
      if (x >= 0 && x < W && y >= 0 && y < H) expected[(y * W) + x] = Frame::kOpaque | pixel;
    }
    if (commit % 7 == 3) {
      const PixelRect label{at(W - 40), at(H - 12), 40, 12};
      for (int y = label.y; y < label.y + label.height; ++y) {
        for (int x = label.x; x < label.x + label.width; ++x) {
          frame.canvas()[(y * W) + x] = 0x00101010U * static_cast<std::uint32_t>(commit % 16);
          expected[(y * W) + x] = frame.canvas()[(y * W) + x] | Frame::kOpaque;
        }
      }
      frame.Drawn(label);
    }

    std::vector<PixelRect> damage = Damage(frame);
    Buffer& target = buffers[at(2)];
    frame.CatchUp(target.pixels.data(), target.written);
    target.written = frame.written();
    frame.Holds(target.pixels.data());
    ASSERT_EQ(target.pixels, expected) << "commit " << commit;
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        if (target.pixels[(y * W) + x] == shown[(y * W) + x]) continue;
        ++changedPixels;
        const bool inside = std::any_of(damage.begin(), damage.end(), [&](const PixelRect& r) {
          return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
        });
        ASSERT_TRUE(inside) << "commit " << commit << ": (" << x << ", " << y << ")";
      }
    }
    for (const PixelRect& r : damage) {
      EXPECT_TRUE(r.width > 0 && r.height > 0 && r.x >= 0 && r.y >= 0 && r.x + r.width <= W &&
                  r.y + r.height <= H)
          << "commit " << commit << ": a box outside the frame";
    }
    shown = target.pixels;
  }
  EXPECT_GT(changedPixels, 120 * 1000) << "the commits changed the picture";
}

}  // namespace
}  // namespace zimoklas::wayland

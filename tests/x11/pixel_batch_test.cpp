// The X11 pixel path against an in-memory frame over ticks of every size: after each
// flush, every pixel shows its last write, whatever the number of writes, repeats and
// colours in the tick. Needs an X
// display; skipped without one unless ZIMOKLAS_E2E_REQUIRED is set.
// GoogleTest comes before Xlib, whose None macro would clash with a GoogleTest type.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "animation/random.hpp"
#include "common/types.hpp"
#include "platform/headless/frame.hpp"
#include "platform/x11/x11_pixels.hpp"

namespace zimoklas::x11 {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr Colour kUntouched = 0x00336699;

unsigned long ToPixel(Colour c) {
  return (static_cast<unsigned long>(RedOf(c)) << 16U) |
         (static_cast<unsigned long>(GreenOf(c)) << 8U) | BlueOf(c);
}

class PixelBatchTickSizesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
      if (std::getenv("ZIMOKLAS_E2E_REQUIRED") != nullptr) FAIL() << "no X display";
      GTEST_SKIP() << "no X display";
    }
    Visual* visual = DefaultVisual(display_, DefaultScreen(display_));
    ASSERT_EQ(DefaultDepth(display_, DefaultScreen(display_)), 24);
    ASSERT_EQ(visual->red_mask, 0xFF0000UL);
    pixmap_ = XCreatePixmap(display_, DefaultRootWindow(display_), kWidth, kHeight, 24);
    GC gc = XCreateGC(display_, pixmap_, 0, nullptr);
    XSetForeground(display_, gc, ToPixel(kUntouched));
    XFillRectangle(display_, pixmap_, gc, 0, 0, kWidth, kHeight);
    XFreeGC(display_, gc);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) expected_.SetPixel(x, y, kUntouched);
    }
    batch_ = std::make_unique<PixelBatch>(display_, pixmap_, visual,
                                          DefaultColormap(display_, DefaultScreen(display_)));
    // The batch believes the window is smaller than the pixmap, so that writes past its
    // edge can be seen not to land.
    batch_->SetSize(kWidth - 8, kHeight - 8);
  }

  void TearDown() override {
    if (display_ == nullptr) return;
    batch_.reset();
    XFreePixmap(display_, pixmap_);
    XCloseDisplay(display_);
  }

  void Write(std::int32_t x, std::int32_t y, Colour colour) {
    batch_->SetPixel(x, y, colour);
    if (x < kWidth - 8 && y < kHeight - 8) expected_.SetPixel(x, y, colour);
  }

  // Compares the whole pixmap with the expected frame; reports the first difference.
  void ExpectScreenMatches(const char* when) {
    XImage* image = XGetImage(display_, pixmap_, 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const unsigned long got = XGetPixel(image, x, y) & 0xFFFFFFUL;
        const unsigned long want = ToPixel(expected_.At(x, y));
        if (got != want && wrong++ == 0) {
          ADD_FAILURE() << when << ": pixel (" << x << ", " << y << ") is " << std::hex << got
                        << ", its last write was " << want;
        }
      }
    }
    EXPECT_EQ(wrong, 0) << when;
    XDestroyImage(image);
  }

  Display* display_ = nullptr;
  Pixmap pixmap_ = 0;
  std::unique_ptr<PixelBatch> batch_;
  headless::Frame expected_{kWidth, kHeight};
};

// Ticks from one write to more than two batches' worth, over a small area so that most
// pixels are written many times, with more colours than the batch has buckets and writes
// beyond every edge.
TEST_F(PixelBatchTickSizesTest, EveryPixelShowsItsLastWriteAfterEachFlush) {
  std::array<Colour, 12> colours{};
  for (std::size_t i = 0; i < colours.size(); ++i) {
    colours[i] = MakeColour(static_cast<std::uint8_t>(i * 20), static_cast<std::uint8_t>(255 - i),
                            static_cast<std::uint8_t>(i * 7));
  }
  colours[0] = 0;  // the erase colour
  animation::Pcg32 random(3);
  const auto pick = [&](int limit) {
    return static_cast<std::int32_t>(random.Draw() * static_cast<float>(limit + 4)) - 2;
  };
  for (const int writes : {1, 2, 10, 700, 4000, 9000, 20000}) {
    for (int i = 0; i < writes; ++i) {
      Write(pick(kWidth - 8), pick(kHeight - 8),
            colours[static_cast<std::size_t>(random.Draw() * colours.size())]);
    }
    batch_->Flush();
    ExpectScreenMatches(("a tick of " + std::to_string(writes) + " writes").c_str());
  }
}

}  // namespace
}  // namespace zimoklas::x11

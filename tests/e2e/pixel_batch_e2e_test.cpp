// The X11 scene's pixel batch against a real server: within one batch the last write to
// a pixel is what shows, however many colours and writes the batch holds, and writes
// outside the window are dropped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "common/types.hpp"
#include "e2e_harness.hpp"

// Xlib's macros (None, Bool) after GoogleTest, which uses those names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/x11/x11_pixels.hpp"

namespace zimoklas::e2e {
namespace {

constexpr Colour kRed = MakeColour(255, 0, 0);
constexpr Colour kGreen = MakeColour(0, 255, 0);
constexpr Colour kBlue = MakeColour(0, 0, 255);
constexpr Colour kWhite = MakeColour(255, 255, 255);
constexpr int kSize = 64;

TEST(PixelBatchTest, ShowsTheLastWriteOfEachPixelAndDropsWritesOutside) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    if (EndToEndRequired()) FAIL() << "no display";
    GTEST_SKIP() << "no display";
  }
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
  const Window window =
      XCreateWindow(display, DefaultRootWindow(display), 0, 0, kSize, kSize, 0, CopyFromParent,
                    InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
  XMapRaised(display, window);
  XSync(display, False);
  {
    x11::PixelBatch batch(display, window, DefaultVisual(display, DefaultScreen(display)),
                          DefaultColormap(display, DefaultScreen(display)));
    batch.SetSize(kSize, kSize);
    batch.SetPixel(1, 1, kRed);
    batch.SetPixel(1, 1, 0);
    batch.SetPixel(1, 1, kBlue);  // drawn, erased, drawn again: blue
    batch.SetPixel(2, 2, kRed);
    batch.SetPixel(2, 2, 0);  // drawn and erased: black
    // Ten colours in one batch, more than it keeps apart.
    for (int k = 0; k < 10; ++k) batch.SetPixel(10 + k, 3, MakeColour(20 * k + 10, 0, 0));
    for (const auto& [x, y] : {std::pair{-1, 5}, {kSize, 5}, {5, -1}, {5, kSize}}) {
      batch.SetPixel(x, y, kRed);
    }
    // More writes than one send holds, with pixels written before and after the split.
    batch.SetPixel(4, 4, kRed);
    batch.SetPixel(7, 7, kGreen);
    for (std::size_t i = 0; i < x11::PixelBatch::kCapacity; ++i) {
      batch.SetPixel(static_cast<int>(i % kSize), 20 + static_cast<int>(i / kSize % 40), kGreen);
    }
    batch.SetPixel(4, 4, kWhite);
    batch.SetPixel(7, 7, 0);
    batch.Flush();
    XSync(display, False);
  }
  XImage* image = XGetImage(display, window, 0, 0, kSize, kSize, AllPlanes, ZPixmap);
  ASSERT_NE(image, nullptr);
  const auto rgb = [&](int x, int y) {
    const unsigned long p = XGetPixel(image, x, y);
    // A 24-bit TrueColor screen: 0xRRGGBB.
    return MakeColour(static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                      static_cast<std::uint8_t>(p));
  };
  EXPECT_EQ(rgb(1, 1), kBlue);
  EXPECT_EQ(rgb(2, 2), 0U);
  for (int k = 0; k < 10; ++k) EXPECT_EQ(rgb(10 + k, 3), MakeColour(20 * k + 10, 0, 0)) << k;
  EXPECT_EQ(rgb(4, 4), kWhite);
  EXPECT_EQ(rgb(7, 7), 0U);
  EXPECT_EQ(rgb(30, 40), kGreen);
  EXPECT_EQ(rgb(5, kSize - 1), 0U);
  EXPECT_EQ(rgb(kSize - 1, 5), 0U);
  XDestroyImage(image);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
}

}  // namespace
}  // namespace zimoklas::e2e

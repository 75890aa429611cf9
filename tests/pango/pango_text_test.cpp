// The scene's text layer on an in-memory cairo surface: the labels' widths against their
// design, lines far wider than the screen, and a repaint that keeps to its area.
#include "platform/pango/pango_text.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "animation/random.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/headless_window.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"

namespace zimoklas::pango {
namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr std::uint32_t kUntouched = 0xFFFF00FF;  // opaque magenta

// The scene with its texts measured by the layer, shown full screen at 96 DPI.
struct Scene {
  explicit Scene(const std::string& secondText)
      : window({kWidth, kHeight}, 96), form(window, store, clock, random, module) {
    window.SetMeasure(
        [this](const FontDesign& font, std::string_view utf8) { return text.Measure(font, utf8); });
    window.Attach(&form);
    store.Seed("Text2", secondText);
    store.Seed("pf", "0");
    form.Form_Load("/s");
    window.Show();
  }
  SceneText text{96};
  headless::HeadlessWindow window;
  settings::MemoryStore store;
  headless::FakeClock clock;
  animation::Pcg32 random;
  settings::Module1 module;
  saver::Form1 form;
};

// An image surface filled with magenta, painted over `area` by the layer.
struct Surface {
  Surface() : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight)) {
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) Pixel(x, y) = kUntouched;
    }
    cairo_surface_mark_dirty(surface);
  }
  ~Surface() { cairo_surface_destroy(surface); }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  void Paint(Scene& scene, const PixelBox& area) {
    cairo_t* cairo = cairo_create(surface);
    scene.text.Paint(cairo, area, scene.form);
    cairo_destroy(cairo);
    cairo_surface_flush(surface);
  }
  std::uint32_t& Pixel(int x, int y) {
    auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<std::uint32_t*>(row)[x];
  }
  // Pixels of mostly blue ink in a box.
  int BlueInk(int left, int top, int right, int bottom) {
    int count = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        const std::uint32_t p = Pixel(x, y);
        if ((p & 0xFFU) > 128 && ((p >> 16U) & 0xFFU) < 64) ++count;
      }
    }
    return count;
  }
  cairo_surface_t* surface;
};

TEST(SceneTextTest, EachLabelStaysNearItsDesignWidthAt96Dpi) {
  SceneText text(96);
  // The design's widths in twips, 15 to a pixel; the large line's caption is a
  // placeholder and its width says nothing.
  for (const auto& [id, twips] : {std::pair{saver::LabelId::Label1, 2895.0f},
                                  {saver::LabelId::Label3, 8100.0f},
                                  {saver::LabelId::Label4, 3345.0f}}) {
    const saver::LabelDesign& design =
        *std::find_if(saver::kLabelDesigns.begin(), saver::kLabelDesigns.end(),
                      [id = id](const saver::LabelDesign& d) { return d.id == id; });
    const float want = twips / 15.0f;
    const SizeF got = text.Measure(design.font, design.caption);
    EXPECT_NEAR(got.width, want, want * 0.15f) << design.caption;
    EXPECT_NEAR(got.height, design.font.EmPixels(96) * 1.15f, design.font.EmPixels(96) * 0.2f)
        << design.caption;
  }
  EXPECT_GT(text.Measure(saver::kLabelDesigns[0].font, "").height, 0) << "an empty line's height";
}

TEST(SceneTextTest, ASecondLineWiderThanTheScreenShowsItsMiddleAcrossIt) {
  // 320, 10,000 and 200,000 characters: the last is some 16 million pixels wide.
  const std::string unit = "P.F. Happy New Year ";
  for (const int repeats : {16, 500, 10000}) {
    SCOPED_TRACE(repeats);
    std::string line;
    for (int i = 0; i < repeats; ++i) line += unit;
    Scene scene(line);
    const saver::SceneLabel& second = scene.form.label(saver::LabelId::Label2);
    const float unitWidth = scene.text.Measure(second.design->font, unit).width;
    EXPECT_NEAR(second.width, unitWidth * static_cast<float>(repeats), second.width * 0.01f);
    EXPECT_FLOAT_EQ(second.left, kWidth / 2.0f - second.width / 2.0f);

    Surface surface;
    surface.Paint(scene, {0, 0, kWidth, kHeight});
    const int top = static_cast<int>(second.top);
    const int bottom = top + static_cast<int>(second.height);
    // Cut at both sides: ink from one edge of the screen to the other.
    EXPECT_GT(surface.BlueInk(0, top, 200, bottom), 500);
    EXPECT_GT(surface.BlueInk(kWidth - 200, top, kWidth, bottom), 500);
    EXPECT_GT(surface.BlueInk(860, top, 1060, bottom), 500);
  }
}

TEST(SceneTextTest, HugeClustersAreCutIntoPiecesAndTheLineShowsAcrossTheScreen) {
  // A letter under half a million marks, and 250,000 letters joined by joiners: each is
  // cut into short pieces instead of being shaped whole, and the chain keeps one advance
  // a letter, with its middle across the screen.
  std::string marks = "a";
  for (int i = 0; i < 500000; ++i) marks += "\u0301";
  std::string chain;
  for (int i = 0; i < 250000; ++i) chain += "W\u200D";
  for (const std::string* line : {&marks, &chain}) {
    Scene scene(*line);
    const saver::SceneLabel& second = scene.form.label(saver::LabelId::Label2);
    Surface surface;
    surface.Paint(scene, {0, 0, kWidth, kHeight});
    const int top = static_cast<int>(second.top);
    const int bottom = top + static_cast<int>(second.height);
    EXPECT_GT(surface.BlueInk(860, std::max(0, top - 100), 1060, bottom), 500);
    if (line != &chain) continue;
    const float letter = scene.text.Measure(second.design->font, "W").width;
    EXPECT_NEAR(second.width, letter * 250000, second.width * 0.01f);
    EXPECT_GT(surface.BlueInk(0, top, 200, bottom), 500);
    EXPECT_GT(surface.BlueInk(kWidth - 200, top, kWidth, bottom), 500);
  }
}

TEST(SceneTextTest, ARepaintFillsItsAreaBlackUnderTheTextsAndTouchesNothingElse) {
  Scene scene("P.F.");
  Surface surface;
  const PixelBox area{300, 60, 1500, 200};
  surface.Paint(scene, area);
  int outside = 0, untouchedInside = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
      const bool untouched = surface.Pixel(x, y) == kUntouched;
      if (!inside && !untouched) ++outside;
      if (inside && untouched) ++untouchedInside;
    }
  }
  EXPECT_EQ(outside, 0) << "pixels painted outside the area";
  EXPECT_EQ(untouchedInside, 0) << "pixels of the area left as they were";
  EXPECT_GT(surface.BlueInk(area.left, area.top, area.right, area.bottom), 1000)
      << "the greeting and the large line";
  // However far off the surface a rectangle lies, it keeps to it.
  const PixelBox off = PixelsOnSurface({-4e9f, -10, 8e9f, 30}, kWidth, kHeight);
  EXPECT_EQ(off.left, 0);
  EXPECT_EQ(off.right, kWidth);
  EXPECT_EQ(off.top, 0);
  EXPECT_EQ(off.bottom, 20);
  EXPECT_TRUE(PixelsOnSurface({3000, 10, 50, 50}, kWidth, kHeight).empty());
}

}  // namespace
}  // namespace zimoklas::pango

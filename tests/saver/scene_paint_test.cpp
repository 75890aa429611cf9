// The scene's repaint as every backend receives it: black first, then the labels that
// reach into the area, the bottom one first, only those with a caption, at their places
// rounded to whole pixels.
#include "saver/scene_paint.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shown_scene.hpp"

namespace zimoklas::saver {
namespace {

class Recorder final : public ScenePainter {
 public:
  void FillBlack(const PixelBox& area) override {
    calls.push_back("black " + std::to_string(area.left) + "," + std::to_string(area.top) + "," +
                    std::to_string(area.right) + "," + std::to_string(area.bottom));
  }
  void DrawLabel(const LabelToPaint& label, const PixelBox& /*area*/) override {
    calls.push_back(std::string(label.caption) + " at " + std::to_string(label.left) + "," +
                    std::to_string(label.top));
  }
  std::vector<std::string> calls;
};

TEST(RepaintScene, BlackThenTheLabelsInTheAreaBottomFirstWithCaptionsAtEvenRoundedPlaces) {
  // 1001 pixels wide: a label 98 wide is centred at 451.5, one 300 wide at 350.5.
  ShownScene scene({1001, 768}, {{"P.F. 2026", {300, 200}},
                                 {"31.12.2026     23:59:58", {98, 20}},
                                 {std::string(kNoticeText), {200, 13}}});
  scene.store.Seed("Text1", "");
  scene.Show();
  const Form1& form = scene.form;

  Recorder whole;
  RepaintScene(form, {0, 0, 1001, 768}, whole);
  EXPECT_EQ(whole.calls,
            (std::vector<std::string>{"black 0,0,1001,768", "P.F. 2026 at 350.000000,88.000000",
                                      "31.12.2026     23:59:58 at 452.000000,8.000000",
                                      std::string(kNoticeText) + " at 793.000000,747.000000"}));
  Recorder corner;
  RepaintScene(form, {900, 700, 1001, 768}, corner);
  EXPECT_EQ(corner.calls,
            (std::vector<std::string>{"black 900,700,1001,768",
                                      std::string(kNoticeText) + " at 793.000000,747.000000"}));
  Recorder none;
  RepaintScene(form, {500, 500, 500, 600}, none);
  EXPECT_TRUE(none.calls.empty());
}

}  // namespace
}  // namespace zimoklas::saver

// The render tool: a short scripted run whose log and picture are worked out by hand,
// the animated GIF as giflib reads it back, the draws file's values, and the one-line
// errors with exit status 2.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "draws_file.hpp"
#include "render.hpp"

namespace zimoklas::render {
namespace {

namespace fs = std::filesystem;

struct Result {
  int status;
  std::string out;
  std::string err;
};

Result RunTool(std::vector<std::string_view> args) {
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunRender(args, out, err);
  return {status, out.str(), err.str()};
}

class RenderTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zimoklas-render-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string File(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Draws for three ticks of a 64 x 20 frame: a launch and 30 flakes.
  std::string ScriptedDraws() {
    std::string draws = "0.9\n0.5\n0.75\n0.5\n0.25\n0\n";  // launch, column, drift, colour
    draws += "0\n0.5\n";                                   // flake 1: column 0, speed 3
    for (int i = 0; i < 9; ++i) draws += "0.5\n0\n";       // flakes 2-10: column 32, speed 1
    draws += "0.95\n";                                     // in flight: no second rocket
    for (int i = 0; i < 10; ++i) draws += "0.25\n0.25\n";  // flakes 11-20: column 16, speed 2
    draws += "0.1\n";
    for (int i = 0; i < 10; ++i) draws += "0.5\n0.5\n";  // flakes 21-30, never shown
    return draws;
  }

  fs::path dir_;
};

// Worked out by hand. The rocket starts in column 64 / 4 + 0.5 * 64 / 2 = 32 at row 18,
// drifts 0.25 a tick and rises 11, 10.9, 10.8 rows; its colour is red 0.5 * 255 = 127.5
// -> 128, green 63.75 -> 64, blue 0, so 16512. The snow colour 1,2,3 is 197121. A flake
// steps sideways 5 * sin(10 * speed): -2.7201 at speed 1, -4.9402 at 3, +4.5647 at 2.
std::string ExpectedLog() {
  std::string log =
      "tick 1\n"
      "32 18 0\n32 19 0\n32 20 0\n"
      "32 7 16512\n32 8 16512\n32 9 16512\n"
      "tick 2\n"
      "32 7 0\n32 8 0\n32 9 0\n"
      "32 -4 16512\n32 -3 16512\n32 -2 16512\n"  // x 32.5, rows -3.9, -2.9, -1.9
      "0 0 0\n-5 3 197121\n";
  for (int i = 0; i < 9; ++i) log += "32 0 0\n29 1 197121\n";
  log +=
      "tick 3\n"
      "32 -4 0\n32 -3 0\n32 -2 0\n"
      "33 -15 16512\n33 -14 16512\n33 -13 16512\n"  // x 32.75, rows -14.7, -13.7, -12.7
      "-5 3 0\n-10 6 197121\n";
  for (int i = 0; i < 9; ++i) log += "29 1 0\n27 2 197121\n";   // x 26.5598
  for (int i = 0; i < 10; ++i) log += "16 0 0\n21 2 197121\n";  // x 20.5647
  return log;
}

std::vector<png_byte> ReadRgb(const std::string& path, png_uint_32& width, png_uint_32& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr);
  width = image.width;
  height = image.height;
  return rgb;
}

TEST_F(RenderTool, ScriptedRunLogsEveryPixelWriteAndPaintsTheLastFrame) {
  const std::string draws = File("draws.txt", ScriptedDraws());
  const std::string png = Path("frame.png");
  const Result r = RunTool({"--size", "64x20", "--ticks", "3", "--snow", "1,2,3", "--draws", draws,
                            "--log", "-", "--png", png});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, ExpectedLog());

  png_uint_32 width = 0, height = 0;
  const std::vector<png_byte> rgb = ReadRgb(png, width, height);
  ASSERT_EQ(width, 64u);
  ASSERT_EQ(height, 20u);
  // Only the flakes at (27, 2) and (21, 2) are inside the frame after the last tick.
  for (png_uint_32 y = 0; y < height; ++y) {
    for (png_uint_32 x = 0; x < width; ++x) {
      const png_byte* p = &rgb[(y * width + x) * 3];
      const bool snow = y == 2 && (x == 27 || x == 21);
      ASSERT_EQ(p[0], snow ? 1 : 0) << x << "," << y;
      ASSERT_EQ(p[1], snow ? 2 : 0) << x << "," << y;
      ASSERT_EQ(p[2], snow ? 3 : 0) << x << "," << y;
    }
  }
}

// The GIF's frames put together as a viewer shows them: each frame's opaque pixels over
// the ones before. Returns the delays; `last` gets the picture after the last frame.
std::vector<int> PlayGif(const std::string& path, int& width, int& height, int& frames,
                         std::vector<png_byte>& last) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr || DGifSlurp(gif) == GIF_ERROR) {
    ADD_FAILURE() << "giflib cannot read " << path;
    if (gif != nullptr) DGifCloseFile(gif, &error);
    return {};
  }
  width = gif->SWidth;
  height = gif->SHeight;
  frames = gif->ImageCount;
  last.assign(static_cast<std::size_t>(width) * height * 3, 0);
  std::vector<int> delays;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock control{};
    DGifSavedExtensionToGCB(gif, i, &control);
    delays.push_back(control.DelayTime);
    const ColorMapObject* colours =
        image.ImageDesc.ColorMap != nullptr ? image.ImageDesc.ColorMap : gif->SColorMap;
    const GifImageDesc& box = image.ImageDesc;
    for (int y = 0; y < box.Height; ++y) {
      for (int x = 0; x < box.Width; ++x) {
        const int index = image.RasterBits[y * box.Width + x];
        if (index == control.TransparentColor) continue;
        const GifColorType& c = colours->Colors[index];
        png_byte* p = &last[((box.Top + y) * width + box.Left + x) * 3];
        p[0] = c.Red;
        p[1] = c.Green;
        p[2] = c.Blue;
      }
    }
  }
  DGifCloseFile(gif, &error);
  return delays;
}

TEST_F(RenderTool, TheGifHasTheFramesAskedForAndEndsOnTheLastFrame) {
  // 400 ticks of 2 s with a frame every 10 ticks: 40 frames of 5 cs, the last the same
  // picture as the PNG of the last tick.
  const std::string gif = Path("run.gif");
  const std::string png = Path("last.png");
  Result r = RunTool({"--size", "160x90", "--ticks", "400", "--seed", "7", "--snow", "0,128,255",
                      "--gif", gif, "--png", png});
  ASSERT_EQ(r.status, 0) << r.err;
  int width = 0, height = 0, frames = 0;
  std::vector<png_byte> shown;
  std::vector<int> delays = PlayGif(gif, width, height, frames, shown);
  EXPECT_EQ(width, 160);
  EXPECT_EQ(height, 90);
  EXPECT_EQ(frames, 40);
  EXPECT_EQ(delays, std::vector<int>(40, 5));
  png_uint_32 pngWidth = 0, pngHeight = 0;
  EXPECT_EQ(shown, ReadRgb(png, pngWidth, pngHeight));
  EXPECT_GT(std::count(shown.begin(), shown.end(), 255), 0) << "snow in the picture";

  // Every 5 ticks, 25 ms: the delays take turns at 3 and 2 cs and keep the run's 2 s; 7
  // ticks left over make no frame.
  r = RunTool(
      {"--size", "32x18", "--ticks", "407", "--seed", "7", "--gif", gif, "--gif-step", "5"});
  ASSERT_EQ(r.status, 0) << r.err;
  delays = PlayGif(gif, width, height, frames, shown);
  EXPECT_EQ(frames, 81);
  int total = 0;
  for (const int delay : delays) {
    EXPECT_TRUE(delay == 2 || delay == 3) << delay;
    total += delay;
  }
  EXPECT_EQ(total, 203);

  r = RunTool({"--ticks", "10", "--gif", (dir_ / "no-folder" / "x.gif").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.err.starts_with("zimoklas-render: cannot write")) << r.err;
}

TEST_F(RenderTool, TheBuiltProgramWritesTheSameLogToAFile) {
  const std::string draws = File("draws.txt", ScriptedDraws());
  const std::string log = Path("run.log");
  const std::string command = std::string(ZIMOKLAS_RENDER_PROGRAM) +
                              " --size 64x20 --ticks 3 --snow 1,2,3 --draws '" + draws +
                              "' --log '" + log + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  std::ifstream in(log, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, ExpectedLog());

  const std::string bad = std::string(ZIMOKLAS_RENDER_PROGRAM) + " --ticks many 2>" + Path("err");
  const int badStatus = std::system(bad.c_str());
  ASSERT_TRUE(WIFEXITED(badStatus));
  EXPECT_EQ(WEXITSTATUS(badStatus), 2);
}

TEST_F(RenderTool, BadInputGivesOneLineOnStandardErrorAndStatusTwo) {
  const std::string draws = File("draws.txt", ScriptedDraws());
  const std::string outside = File("outside.txt", "0.5\n0.25\n1\n0.5\n");
  const std::string words = File("words.txt", "0.5\nhalf\n");
  const std::string missing = Path("missing.txt");
  const std::vector<std::vector<std::string_view>> cases = {
      {"--frobnicate"},
      {"--size", "1920"},
      {"--size", "0x10"},
      {"--size", "10x10x10"},
      {"--snow", "256,0,0"},
      {"--snow", "1,2"},
      {"--ticks", "-1"},
      {"--ticks"},
      {"--seed", "1", "--draws", draws},
      {"--draws", missing},
      {"--draws", outside},
      {"--draws", words},
      {"--draws", draws, "--ticks", "4", "--size", "64x20"},  // runs out on tick 4
      {"--gif"},
      {"--gif", "a.gif", "--gif-step", "3"},                   // faster than browsers show
      {"--gif", "a.gif", "--ticks", "9", "--gif-step", "10"},  // no frame at all
  };
  for (const auto& args : cases) {
    const Result r = RunTool(args);
    std::string shown;
    for (const auto a : args) shown += std::string(a) + " ";
    EXPECT_EQ(r.status, 2) << shown;
    EXPECT_TRUE(r.err.starts_with("zimoklas-render: ")) << shown << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << shown << r.err;
  }
  EXPECT_NE(RunTool({"--draws", outside}).err.find("line 3"), std::string::npos);
  EXPECT_NE(RunTool({"--draws", draws, "--ticks", "4", "--size", "64x20"}).err.find("tick 4"),
            std::string::npos);
}

TEST(DrawsFile, EachValueIsTheNearestFloatOfItsDecimal) {
  EXPECT_EQ(ParseDraw("0.5"), 0.5f);
  EXPECT_EQ(ParseDraw("0.1"), 0.1f);
  EXPECT_EQ(ParseDraw(" 0.25\r"), 0.25f);
  EXPECT_EQ(ParseDraw("0"), 0.0f);
  EXPECT_EQ(ParseDraw("1e-50"), 0.0f);
  EXPECT_EQ(ParseDraw("0.999999"), 0.999999f);
  // Just above the midpoint of 0.5 and the next float: through a double it would round
  // to the midpoint and then to even, 0.5.
  EXPECT_EQ(ParseDraw("0.500000029802322387695312500000000001"), std::nextafter(0.5f, 1.0f));
  EXPECT_EQ(ParseDraw("0.5000000298023223876953125"), 0.5f);  // the midpoint: to even

  for (const char* bad : {"1", "1.0", "0.99999999", "-0.5", "-1e-50", "2", "nan", "inf", "0x1p-2",
                          "", "0.5.5", "0,5", "half", "1e400"}) {
    EXPECT_FALSE(ParseDraw(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace zimoklas::render

// zimoklas on GNOME's own compositor, headless, with two monitors: the scene over the
// primary monitor wherever it lies, the other monitor left alone, a key or a click over
// the scene ending it and a click on the other monitor not; and the scene started over
// the overview.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <thread>

#include "e2e_harness.hpp"
#include "gnome_session.hpp"

namespace zimoklas::e2e {
namespace {

constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};

class GnomeWaylandTest : public ::testing::Test {
 protected:
  void Begin(int monitors, bool overview) {
    std::string missing;
    struct stat st {};
    if (stat(ZIMOKLAS_NATIVE_PATH, &st) != 0) missing = ZIMOKLAS_NATIVE_PATH " is missing";
    if (missing.empty()) {
      gnome_.emplace(monitors, overview);
      missing = gnome_->missing();
    }
    if (!missing.empty()) {
      if (EndToEndRequired()) FAIL() << "the end-to-end run is required, but " << missing;
      GTEST_SKIP() << missing;
    }
    // The program runs as the shell's account, which alone may use its session bus.
    configHome_ = gnome_->runtimeDir() + "/config";
    std::filesystem::create_directories(configHome_);
    WriteKeyFile(configHome_, {{"SnihR", "0"}, {"SnihG", "255"}, {"SnihB", "0"}});
    const passwd* nobody = getpwnam("nobody");
    bool owned = chown(configHome_.c_str(), nobody->pw_uid, nobody->pw_gid) == 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(configHome_)) {
      owned = owned && chown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid) == 0;
    }
    ASSERT_TRUE(owned) << "cannot give the settings to the account nobody";
  }
  void TearDown() override {
    // The program's output stays beside the shell's log when a test failed.
    if (gnome_ && !HasFailure()) std::filesystem::remove(log());
    gnome_.reset();
  }

  std::unique_ptr<Process> Start(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = gnome_->AsShellUser();
    argv.push_back("XDG_CONFIG_HOME=" + configHome_);
    argv.emplace_back(ZIMOKLAS_NATIVE_PATH);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<Process>(argv, std::vector<std::string>{}, log());
  }
  std::string log() const { return gnome_->runtimeDir() + "-zimoklas.log"; }

  // The scene's snow and P.F. line on one monitor: enough of both in that box.
  static bool SceneIn(const Image& shot, const Box& box) {
    return shot.width() >= box.right && shot.CountColour(kGreen, box) >= 100 &&
           shot.CountColour(kBlue, box) >= 2000;
  }
  // Waits until the scene shows in `box`; returns the last screenshot.
  Image WaitForSceneIn(const Box& box, const std::string& name) {
    Image shot;
    const auto deadline = Clock::now() + 15s;
    while (Clock::now() < deadline) {
      shot = gnome_->Capture();
      if (SceneIn(shot, box)) break;
      std::this_thread::sleep_for(300ms);
    }
    return SaveShot(shot, name);
  }

  std::optional<HeadlessGnome> gnome_;
  std::string configHome_;
};

TEST_F(GnomeWaylandTest, SceneCoversThePrimaryOnTheRightAndOnlyInputOverItEndsIt) {
  Begin(2, false);
  if (IsSkipped() || HasFatalFailure()) return;
  ASSERT_TRUE(gnome_->MakePrimary("Meta-1"));
  const std::vector<HeadlessGnome::Monitor> monitors = gnome_->Monitors();
  ASSERT_EQ(monitors.size(), 2U);
  const Box left = monitors[0].box.left < monitors[1].box.left ? monitors[0].box : monitors[1].box;
  const Box right = monitors[0].box.left < monitors[1].box.left ? monitors[1].box : monitors[0].box;
  ASSERT_GT(right.left, 0);

  auto saver = Start({"/s"});
  const Image shot = WaitForSceneIn(right, "gnome-wayland-primary-right");
  ASSERT_TRUE(SceneIn(shot, right)) << ReadFile(log());
  // The left monitor keeps its desktop, and nothing was said on stderr.
  EXPECT_LT(shot.CountColour(kBlue, left), 100);
  EXPECT_EQ(ReadFile(log()), "");

  gnome_->Keys({kKeyA});
  EXPECT_EQ(saver->WaitForExit(5s), std::optional<int>(0)) << ReadFile(log());

  // A click on the monitor the scene leaves alone is no input to the scene; a click over
  // it is. Clicks, since a saver started a moment after the last input did not always
  // get the keyboard (in one run of three no wl_keyboard.enter reached it).
  saver = Start({"/s"});
  WaitForSceneIn(right, "gnome-wayland-before-click");
  // The pointer starts on either monitor, maybe in the top left corner of the layout,
  // where a push to the left opens the overview. Pushed down first, it stops at the
  // bottom of the monitor it is on; pushed left, at that monitor's left edge; half a
  // monitor further left then takes it onto the left monitor, or leaves it there. The
  // same to the right, and one more push, bring it to the bottom right corner of the
  // scene, below every text.
  const int far = 4 * right.right;
  const int half = right.width() / 2;
  gnome_->Click({{0, far}, {-far, 0}, {-half, 0}});
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(saver->Running()) << "a click on the other monitor ended the saver";
  gnome_->Click({{0, far}, {far, 0}, {half, 0}, {far, 0}});
  const std::optional<int> ended = saver->WaitForExit(5s);
  EXPECT_EQ(ended, std::optional<int>(0)) << "a click over the scene";
}

// The shell starts in its overview, as at the start of a session: the scene closes it,
// fills the monitor and takes the first key.
TEST_F(GnomeWaylandTest, SceneLeavesTheOverviewAndTakesTheFirstKey) {
  Begin(1, true);
  if (IsSkipped() || HasFatalFailure()) return;
  const Box screen{0, 0, 1280, 720};
  auto saver = Start({"/s"});
  const Image shot = WaitForSceneIn(screen, "gnome-wayland-over-the-overview");
  ASSERT_TRUE(SceneIn(shot, screen)) << ReadFile(log());
  gnome_->Keys({kKeyA});
  EXPECT_EQ(saver->WaitForExit(5s), std::optional<int>(0)) << ReadFile(log());
}

}  // namespace
}  // namespace zimoklas::e2e

// The Windows installer under Wine as an administrator uses it: msiexec puts Zimoklas.scr
// into System32 and writes the machine-wide defaults it is given, the settings window
// shows them and OK saves them for the user, the opt-in makes Zimoklas each user's saver,
// and removing the product takes back what it added and leaves the user's settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e_harness.hpp"
#include "settings_window.hpp"

namespace zimoklas::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProductCode = "{90EE5E69-771B-448B-A62C-B3CEC7878108}";
constexpr const char* kMachineKey = "HKEY_LOCAL_MACHINE\\Software\\Ombra\\Zimoklas";
constexpr const char* kActiveSetupKey =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Active Setup\\Installed Components\\"
    "{53B46C54-7141-4C26-B2C1-EEB9734FB2D7}";
constexpr const char* kDesktopKey = "HKEY_CURRENT_USER\\Control Panel\\Desktop";
const std::string kGreeting = "Firma Ombra přeje PF 2027";

class MsiTest : public WineTest {
 protected:
  void SetUp() override {
    WineTest::SetUp();
    if (Stopped()) return;
    if (!fs::exists(ZIMOKLAS_MSI_PATH)) {
      if (EndToEndRequired()) FAIL() << ZIMOKLAS_MSI_PATH << " is missing";
      GTEST_SKIP() << ZIMOKLAS_MSI_PATH << " is missing";
    }
    installed_ = fs::path(std::getenv("WINEPREFIX")) / "drive_c/windows/system32/Zimoklas.scr";
    Msiexec({"/x", kProductCode, "/qn"});  // what an earlier run may have left
  }
  void TearDown() override {
    if (!installed_.empty()) Msiexec({"/x", kProductCode, "/qn"});
    WineTest::TearDown();
  }

  static int Msiexec(const std::vector<std::string>& arguments) {
    WineProcess msiexec("msiexec", arguments);
    return msiexec.WaitForExit(120s).value_or(-1);
  }
  static std::map<std::string, std::string> Texts(const std::string& key) {
    std::map<std::string, std::string> texts;
    for (const auto& [name, value] : registry::Read(key)) texts[name] = value.text;
    return texts;
  }

  fs::path installed_;
};

TEST_F(MsiTest, InstallWritesTheGivenDefaultsTheWindowSavesThemAndRemovalTakesThemBack) {
  ASSERT_EQ(Msiexec({"/i", ZIMOKLAS_MSI_PATH, "/qn", "TEXT1=" + kGreeting, "SNIHB=0"}), 0);
  EXPECT_TRUE(fs::is_regular_file(installed_)) << installed_;
  EXPECT_EQ(Texts(kMachineKey),
            (std::map<std::string, std::string>{{"SnihB", "0"}, {"Text1", kGreeting}}))
      << "only the properties given are written";
  EXPECT_TRUE(registry::Read(kActiveSetupKey).empty()) << "the active saver is opt-in";

  // The installed program's settings window shows the machine-wide values...
  auto window = std::make_unique<WineProcess>(installed_.string(), std::vector<std::string>{"/c"});
  ASSERT_TRUE(screen_->WaitForWindow(kSettingsTitle, 20s));
  std::this_thread::sleep_for(500ms);
  const Box client = WineClientBox(kSettingsTitle);
  ASSERT_FALSE(client.empty());
  const Image shot = screen_->Capture();
  SaveShot(shot.Crop(screen_->WindowBox(kSettingsTitle)), "settings-machine-wide");
  const auto px = [](int twips) { return static_cast<int>(std::lrint(twips / 15.0)); };
  EXPECT_EQ(shot.at(client.left + px(120 + 3360 + 367), client.top + px(120 + 240 + 487)),
            (Rgb{255, 255, 0}))
      << "the swatch shows the machine-wide blue of 0";

  // ...and OK saves all six for the user, as shown.
  screen_->MovePointer(client.left + client.width() / 2, client.top - 8);
  screen_->TapKey("Return");
  ExpectSettingsEnded(*window, *screen_, 10s);
  const Settings saved = DefaultsWith({{"SnihB", "0"}, {"Text1", kGreeting}});
  EXPECT_EQ(Texts(registry::kSettingsKey), saved);

  ASSERT_EQ(Msiexec({"/x", ZIMOKLAS_MSI_PATH, "/qn"}), 0);
  EXPECT_FALSE(fs::exists(installed_));
  EXPECT_TRUE(registry::Read(kMachineKey).empty()) << "the machine-wide values are gone";
  EXPECT_EQ(Texts(registry::kSettingsKey), saved) << "the user's settings stay";
}

TEST_F(MsiTest, ActivateMakesZimoklasEachUsersSaverAtTheirNextLogon) {
  ASSERT_EQ(Msiexec({"/i", ZIMOKLAS_MSI_PATH, "/qn", "ACTIVATE=1"}), 0);
  EXPECT_TRUE(registry::Read(kMachineKey).empty()) << "no property, no machine-wide value";
  const auto entry = registry::Read(kActiveSetupKey);
  ASSERT_TRUE(entry.count("StubPath")) << "no Active Setup entry";

  // Active Setup runs the entry's command once in each user's next logon; here it runs
  // from a batch file, as one command line.
  const fs::path batch = fs::temp_directory_path() / "zimoklas-active-setup.bat";
  std::ofstream(batch, std::ios::binary) << entry.at("StubPath").text << "\r\n";
  std::string winBatch = "Z:" + batch.string();
  for (char& c : winBatch) c = c == '/' ? '\\' : c;
  EXPECT_EQ(WineProcess("cmd", {"/c", winBatch}).WaitForExit(60s), 0);
  fs::remove(batch);
  const auto desktop = Texts(kDesktopKey);
  EXPECT_EQ(desktop.count("SCRNSAVE.EXE") ? desktop.at("SCRNSAVE.EXE") : "",
            "C:\\windows\\system32\\Zimoklas.scr");
  EXPECT_EQ(desktop.count("ScreenSaveActive") ? desktop.at("ScreenSaveActive") : "", "1");
  for (const char* name : {"SCRNSAVE.EXE", "ScreenSaveActive"}) {
    WineProcess("reg", {"delete", kDesktopKey, "/v", name, "/f"}).WaitForExit(30s);
  }

  ASSERT_EQ(Msiexec({"/x", ZIMOKLAS_MSI_PATH, "/qn"}), 0);
  EXPECT_TRUE(registry::Read(kActiveSetupKey).empty());
}

}  // namespace
}  // namespace zimoklas::e2e

// The key-file store's folders: the user's file and the machine-wide files as the
// environment names them, and the three levels read from real files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/glib/keyfile_store.hpp"
#include "settings/module1.hpp"
#include "settings/settings.hpp"

namespace zimoklas::glib {
namespace {

namespace fs = std::filesystem;
using settings::kApp;
using settings::kSection;

// Sets an environment variable for one scope, and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class KeyFileLevelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zimoklas-levels-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override { fs::remove_all(root_); }
  void Put(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  fs::path root_;
};

TEST_F(KeyFileLevelsTest, RelativeFoldersInTheEnvironmentAreIgnored) {
  const std::string home = root_.string();
  const ScopedEnv homeEnv("HOME", home.c_str());
  const std::string expected = home + "/.config/Ombra/Zimoklas.conf";
  for (const char* configHome :
       {"relative/config", "./config", "", static_cast<const char*>(nullptr)}) {
    const ScopedEnv env("XDG_CONFIG_HOME", configHome);
    KeyFileStore store;
    EXPECT_EQ(store.FilePath(kApp, kSection), expected) << (configHome ? configHome : "unset");
    ASSERT_TRUE(store.WriteSetting(kApp, kSection, "SnihR", "12")) << "saving uses it too";
    EXPECT_TRUE(fs::exists(expected));
    fs::remove(expected);
  }
  {
    const std::string absolute = home + "/elsewhere";
    const ScopedEnv env("XDG_CONFIG_HOME", absolute.c_str());
    EXPECT_EQ(KeyFileStore().FilePath(kApp, kSection), absolute + "/Ombra/Zimoklas.conf");
  }
  struct Row {
    const char* dirs;
    std::vector<std::string> folders;
  };
  const Row rows[] = {
      {nullptr, {"/etc/xdg"}},
      {"", {"/etc/xdg"}},
      {"relative:also/relative", {"/etc/xdg"}},
      {"rel:/a::/b/:.", {"/a", "/b/"}},
  };
  for (const Row& row : rows) {
    const ScopedEnv env("XDG_CONFIG_DIRS", row.dirs);
    EXPECT_EQ(SystemConfigFolders(), row.folders) << (row.dirs ? row.dirs : "unset");
  }
  const ScopedEnv env("XDG_CONFIG_DIRS", "/a:/b");
  EXPECT_EQ(KeyFileStore().MachineFilePaths(kApp, kSection),
            (std::vector<std::string>{"/a/Ombra/Zimoklas.conf", "/b/Ombra/Zimoklas.conf"}));
}

TEST_F(KeyFileLevelsTest, UserThenMachineFilesInOrderThenTheDesign) {
  const fs::path user = root_ / "home" / "Ombra" / "Zimoklas.conf";
  const fs::path first = root_ / "first" / "Ombra" / "Zimoklas.conf";
  const fs::path unreadable = root_ / "unreadable" / "Ombra" / "Zimoklas.conf";
  const fs::path second = root_ / "second" / "Ombra" / "Zimoklas.conf";
  const fs::path missing = root_ / "missing" / "Ombra" / "Zimoklas.conf";
  Put(user, "[Zimoklas]\nSnihR=1\n");
  Put(first, "[Zimoklas]\nSnihR=2\nSnihG=2\nSnihB=abc\n");
  fs::create_directories(unreadable);  // a folder where the file should be
  Put(second, "[Zimoklas]\nSnihR=3\nSnihG=3\nSnihB=3\nText1=Firma přeje\npf=0\n");
  const std::string before = [&] {
    std::ifstream in(second, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();

  KeyFileStore store(user.string(),
                     {missing.string(), first.string(), unreadable.string(), second.string()});
  testing::internal::CaptureStderr();
  settings::Module1 module;
  settings::ReadStartupSettings(store, module);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(module.SnowRed, 1) << "the user's value wins";
  EXPECT_EQ(module.SnowGreen, 2) << "the first machine-wide file that holds the key";
  EXPECT_EQ(module.SnowBlue, 255) << "a bad machine-wide value counts as a bad stored value";
  EXPECT_EQ(module.GreetingText, "Firma přeje") << "past a missing and an unreadable file";
  EXPECT_EQ(module.UsePfYear, kFalse);
  EXPECT_NE(said.find(unreadable.string() + ": it is a folder"), std::string::npos) << said;
  EXPECT_EQ(said.find("ignoring"), said.rfind("ignoring")) << "told once";

  // A save goes to the user's file only, with all six values as they were shown.
  ASSERT_EQ(settings::WriteAll(store, {1, 2, 255, module.GreetingText, "P.F.", 0}), std::nullopt);
  std::ifstream in(second, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
  KeyFileStore userOnly(user.string());
  EXPECT_EQ(userOnly.ReadSetting(kApp, kSection, "Text1", ""), "Firma přeje");
  EXPECT_EQ(userOnly.ReadSetting(kApp, kSection, "pf", ""), "0");
}

}  // namespace
}  // namespace zimoklas::glib

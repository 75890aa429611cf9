// The key-file store on a scratch folder: defaults for what is missing or unreadable,
// exact round trips, file modes, and saves that replace the file as a whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/glib/keyfile_store.hpp"
#include "settings/module1.hpp"
#include "settings/settings.hpp"

namespace zimoklas::glib {
namespace {

namespace fs = std::filesystem;
using settings::kApp;
using settings::kSection;

class KeyFileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zimoklas-store-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    path_ = root_ / "Ombra" / "Zimoklas.conf";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(root_ / "Ombra", fs::perms::owner_all, ignored);
    SetSaveStepHook(nullptr);
    fs::remove_all(root_);
  }

  std::string Read(KeyFileStore& store, std::string_view key) {
    return store.ReadSetting(kApp, kSection, key, "<default>");
  }
  void Put(const std::string& bytes) {
    fs::create_directories(path_.parent_path());
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  std::string Contents(const fs::path& path) const {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  fs::path root_;
  fs::path path_;
};

TEST_F(KeyFileStoreTest, UserStoreLivesInTheConfigFolder) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  // g_get_user_config_dir caches its first answer, so only the shape is checked here.
  KeyFileStore store;
  const std::string path = store.FilePath(kApp, kSection);
  EXPECT_TRUE(path.ends_with("/Ombra/Zimoklas.conf")) << path;
  if (old != nullptr) {
    EXPECT_TRUE(path.starts_with(old)) << path;
  }
}

TEST_F(KeyFileStoreTest, MissingFileGroupOrKeyGivesTheFallback) {
  KeyFileStore store(path_.string());
  EXPECT_EQ(Read(store, "SnihR"), "<default>") << "no file";
  EXPECT_FALSE(fs::exists(path_.parent_path())) << "reading creates nothing";
  Put("");
  EXPECT_EQ(Read(store, "SnihR"), "<default>") << "empty file";
  Put("[Jinde]\nSnihR=12\n");
  EXPECT_EQ(Read(store, "SnihR"), "<default>") << "another group";
  Put("[Zimoklas]\nSnihG=12\n");
  EXPECT_EQ(Read(store, "SnihR"), "<default>") << "another key";
  EXPECT_EQ(Read(store, "SnihG"), "12");
}

TEST_F(KeyFileStoreTest, FileThatIsNotAKeyFileGivesDefaultsAndStaysUntouched) {
  const std::string bytes = "SnihR=12\n[Zimoklas\nnot a key file\n";
  Put(bytes);
  KeyFileStore store(path_.string());
  testing::internal::CaptureStderr();
  settings::Module1 module;
  settings::ReadStartupSettings(store, module);
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(module.SnowRed, 255);
  EXPECT_EQ(module.GreetingText, settings::kDefaultGreeting);
  EXPECT_EQ(said.find("ignoring the settings file"), said.rfind("ignoring")) << "said once";
  EXPECT_NE(said.find("not a key file"), std::string::npos) << said;
  EXPECT_EQ(Contents(path_), bytes);
}

TEST_F(KeyFileStoreTest, TextsRoundTripExactly) {
  KeyFileStore store(path_.string());
  const std::string texts[] = {" leading blank",
                               "trailing blank ",
                               "two\nlines",
                               "# not a comment",
                               "=equals=",
                               "; semicolon",
                               "[group]",
                               "back\\slash \\n \\s",
                               "Veselé vánoce a šťastný nový rok...",
                               "",
                               "\ttab\r\n",
                               "  "};
  for (const std::string& text : texts) {
    ASSERT_TRUE(store.WriteSetting(kApp, kSection, "Text1", text)) << text;
    EXPECT_EQ(Read(store, "Text1"), text);
    EXPECT_EQ(KeyFileStore(path_.string()).ReadSetting(kApp, kSection, "Text1", "x"), text);
  }
}

TEST_F(KeyFileStoreTest, SaveMakesAPrivateFolderAndFileAndKeepsOtherContent) {
  Put("# mine\n[Jinde]\nA=1\n");
  fs::remove_all(path_.parent_path());
  KeyFileStore store(path_.string());
  ASSERT_TRUE(store.WriteSetting(kApp, kSection, "SnihR", "12"));
  struct stat info {};
  ASSERT_EQ(stat(path_.parent_path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(stat(path_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  Put("# mine\n[Jinde]\nA=1\n");
  ASSERT_TRUE(store.WriteSetting(kApp, kSection, "SnihR", "13"));
  const std::string after = Contents(path_);
  EXPECT_NE(after.find("# mine"), std::string::npos) << after;
  EXPECT_NE(after.find("A=1"), std::string::npos) << after;
  EXPECT_EQ(Read(store, "SnihR"), "13");
}

TEST_F(KeyFileStoreTest, SaveReplacesAPlantedLinkInsteadOfWritingThroughIt) {
  const fs::path target = root_ / "target";
  std::ofstream(target) << "precious";
  fs::create_directories(path_.parent_path());
  fs::create_symlink(target, path_);
  KeyFileStore store(path_.string());
  ASSERT_TRUE(store.WriteSetting(kApp, kSection, "SnihR", "12"));
  EXPECT_EQ(Contents(target), "precious");
  EXPECT_FALSE(fs::is_symlink(path_));
  EXPECT_EQ(Read(store, "SnihR"), "12");
}

TEST_F(KeyFileStoreTest, RefusedWritesLeaveTheFileAsItWas) {
  KeyFileStore store(path_.string());
  ASSERT_TRUE(store.WriteSetting(kApp, kSection, "SnihR", "12"));
  const std::string before = Contents(path_);
  EXPECT_FALSE(store.WriteSetting(kApp, kSection, "Text1", std::string("a\0b", 3)));
  EXPECT_FALSE(store.WriteSetting(kApp, kSection, "Text1", "\xff"));
  if (geteuid() != 0) {  // root writes into read-only folders
    fs::permissions(path_.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(store.WriteSetting(kApp, kSection, "SnihR", "13"));
    fs::permissions(path_.parent_path(), fs::perms::owner_all);
  }
  // A full disk, at every step of the save.
  static int failAt = 0;
  for (failAt = 0;; ++failAt) {
    SetSaveStepHook([](int step) { return step == failAt ? ENOSPC : 0; });
    const bool saved = store.WriteSetting(kApp, kSection, "SnihR", "13");
    SetSaveStepHook(nullptr);
    if (saved) break;  // past the last step that can fail
    ASSERT_EQ(Contents(path_), before) << "failed at step " << failAt;
  }
  EXPECT_GT(failAt, 10);
  EXPECT_EQ(std::distance(fs::directory_iterator(path_.parent_path()), {}), 1) << "no leftovers";
}

}  // namespace
}  // namespace zimoklas::glib

// The key-file store's inputs from outside the program: the folders the environment
// names, machine-wide files, a byte-order mark, and the line about an ignored file,
// which never carries the file's content or raw control characters.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
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

// Sets (or, given null, unsets) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value != nullptr ? setenv(name, value, 1) : unsetenv(name);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class KeyFileInputsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zimoklas-inputs-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    path_ = root_ / "Ombra" / "Zimoklas.conf";
  }
  void TearDown() override { fs::remove_all(root_); }
  static void Put(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // Reads the six settings through `store` and returns what it said on stderr.
  static std::string ReadAndListen(KeyFileStore& store, settings::Module1& module) {
    testing::internal::CaptureStderr();
    settings::ReadStartupSettings(store, module);
    return testing::internal::GetCapturedStderr();
  }
  static std::string ReadAndListen(const fs::path& path) {
    KeyFileStore store(path.string());
    settings::Module1 module;
    return ReadAndListen(store, module);
  }
  fs::path root_;
  fs::path path_;
};

TEST_F(KeyFileInputsTest, RelativeFoldersInTheEnvironmentAreIgnored) {
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
  const std::string absolute = home + "/elsewhere";
  const ScopedEnv env("XDG_CONFIG_HOME", absolute.c_str());
  EXPECT_EQ(KeyFileStore().FilePath(kApp, kSection), absolute + "/Ombra/Zimoklas.conf");

  const std::pair<const char*, std::vector<std::string>> rows[] = {
      {nullptr, {"/etc/xdg"}},
      {"", {"/etc/xdg"}},
      {"relative:also/relative", {"/etc/xdg"}},
      {"rel:/a::/b/:.", {"/a", "/b/"}},
  };
  for (const auto& [dirs, folders] : rows) {
    const ScopedEnv dirsEnv("XDG_CONFIG_DIRS", dirs);
    EXPECT_EQ(SystemConfigFolders(), folders) << (dirs ? dirs : "unset");
    EXPECT_EQ(KeyFileStore().MachineFilePaths(kApp, kSection).front(),
              folders.front() + "/Ombra/Zimoklas.conf");
  }
}

TEST_F(KeyFileInputsTest, UserThenMachineFilesInOrderThenTheDesign) {
  const fs::path first = root_ / "first" / "Ombra" / "Zimoklas.conf";
  const fs::path unreadable = root_ / "unreadable" / "Ombra" / "Zimoklas.conf";
  const fs::path second = root_ / "second" / "Ombra" / "Zimoklas.conf";
  const fs::path missing = root_ / "missing" / "Ombra" / "Zimoklas.conf";
  Put(path_, "[Zimoklas]\nSnihR=1\n");
  Put(first, "[Zimoklas]\nSnihR=2\nSnihG=2\nSnihB=abc\n");
  fs::create_directories(unreadable);  // a folder where the file should be
  Put(second, "[Zimoklas]\nSnihR=3\nSnihG=3\nSnihB=3\nText1=Firma přeje\npf=0\n");
  const std::string before = Contents(second);

  KeyFileStore store(path_.string(),
                     {missing.string(), first.string(), unreadable.string(), second.string()});
  settings::Module1 module;
  const std::string said = ReadAndListen(store, module);
  EXPECT_EQ(module.SnowRed, 1) << "the user's value wins";
  EXPECT_EQ(module.SnowGreen, 2) << "the first machine-wide file that holds the key";
  EXPECT_EQ(module.SnowBlue, 255) << "a bad machine-wide value counts as a bad stored value";
  EXPECT_EQ(module.GreetingText, "Firma přeje") << "past a missing and an unreadable file";
  EXPECT_EQ(module.UsePfYear, kFalse);
  EXPECT_NE(said.find(unreadable.string() + ": it is a folder"), std::string::npos) << said;
  EXPECT_EQ(said.find("ignoring"), said.rfind("ignoring")) << "told once";

  // A save goes to the user's file only, with all six values as they were shown.
  ASSERT_EQ(settings::WriteAll(store, {1, 2, 255, module.GreetingText, "P.F.", 0}), std::nullopt);
  EXPECT_EQ(Contents(second), before);
  KeyFileStore userOnly(path_.string());
  EXPECT_EQ(userOnly.ReadSetting(kApp, kSection, "Text1", ""), "Firma přeje");
  EXPECT_EQ(userOnly.ReadSetting(kApp, kSection, "pf", ""), "0");
}

// Bytes this process has read from files so far.
std::size_t BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string name;
  std::size_t value = 0;
  while (io >> name >> value) {
    if (name == "rchar:") return value;
  }
  return 0;
}

TEST_F(KeyFileInputsTest, ManyMachineWideFilesAreReadOnceAndToldInAFewLines) {
  // The user's file holds all six keys; 500 machine-wide files are bad, and one 1 MB
  // file without the keys is listed 3,000 times.
  Put(path_, "[Zimoklas]\nSnihR=1\nSnihG=2\nSnihB=3\nText1=a\nText2=b\npf=0\n");
  const fs::path big = root_ / "big" / "Zimoklas.conf";
  Put(big, "[Zimoklas]\n#" + std::string(1000000, 'x') + "\n");
  std::vector<std::string> machine;
  for (int i = 0; i < 500; ++i) {
    machine.push_back((root_ / ("bad" + std::to_string(i)) / "Zimoklas.conf").string());
    Put(machine.back(), "not a key file\n");
  }
  machine.insert(machine.end(), 3000, big.string());
  KeyFileStore store(path_.string(), machine);
  settings::Module1 module;
  const std::size_t before = BytesRead();
  const std::string said = ReadAndListen(store, module);
  EXPECT_LT(BytesRead() - before, 2000000u) << "the big file read more than once";
  EXPECT_EQ(module.SnowBlue, 3);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), KeyFileStore::kToldFiles + 1) << said;
  EXPECT_NE(said.find("\nzimoklas: and 497 more settings files ignored\n"), std::string::npos)
      << said;
  EXPECT_NE(said.find("; using your own settings\n"), std::string::npos) << said;
  EXPECT_EQ(said.find("using the defaults"), std::string::npos) << said;
  // Without the user's file, the line says the defaults are used.
  fs::remove(path_);
  KeyFileStore alone(path_.string(), {machine[0]});
  const std::string aloneSaid = ReadAndListen(alone, module);
  EXPECT_NE(aloneSaid.find("; using the defaults\n"), std::string::npos) << aloneSaid;
}

TEST_F(KeyFileInputsTest, LeadingByteOrderMarkIsTakenAndASaveKeepsTheValues) {
  Put(path_, "\xEF\xBB\xBF[Zimoklas]\nSnihR=12\nText1=Ahoj\n# mine\n");
  KeyFileStore store(path_.string());
  settings::Module1 module;
  EXPECT_EQ(ReadAndListen(store, module), "");
  EXPECT_EQ(module.SnowRed, 12);
  EXPECT_EQ(module.GreetingText, "Ahoj");

  ASSERT_TRUE(store.WriteSetting(kApp, kSection, "SnihG", "7"));
  const std::string after = Contents(path_);
  EXPECT_TRUE(after.starts_with("[Zimoklas]")) << after;
  for (const char* kept : {"SnihR=12", "Text1=Ahoj", "# mine"}) {
    EXPECT_NE(after.find(kept), std::string::npos) << after;
  }
  // A mark of UTF-16 is named, not taken.
  Put(path_, std::string("\xFF\xFE[\0Z\0", 6));
  EXPECT_NE(ReadAndListen(path_).find("UTF-16"), std::string::npos);
}

TEST_F(KeyFileInputsTest, IgnoringLineQuotesNoContentAndEscapesThePath) {
  const std::string longLine(1024 * 1024 - 64, 'L');
  const std::pair<std::string, std::string> rows[] = {
      // The file, and what of it must not reach stderr.
      {"\x1b]0;owned\x07\x1b[2J\x1b[31mred\n[Zimoklas]\n", "\x1b"},
      {"[Zimoklas]\n" + longLine + "\n", longLine.substr(0, 40)},
      {"[Zimoklas\nsecret=value\n", "secret"},
  };
  for (const auto& [bytes, secret] : rows) {
    Put(path_, bytes);
    const std::string said = ReadAndListen(path_);
    EXPECT_NE(said.find("not a key file"), std::string::npos) << said;
    EXPECT_EQ(said.find(secret), std::string::npos) << said.substr(0, 200);
    EXPECT_LT(said.size(), 400u);
  }
  fs::remove(path_);
  fs::create_symlink("/etc/passwd", path_);
  const std::string said = ReadAndListen(path_);
  EXPECT_NE(said.find("ignoring the settings file"), std::string::npos) << said;
  EXPECT_EQ(said.find("root:"), std::string::npos) << said;

  const fs::path odd = root_ / "x\x1b[31my\x9b" / "Zimoklas.conf";
  fs::create_directories(odd);  // a folder at the file's place, so it is ignored
  const std::string oddSaid = ReadAndListen(odd);
  EXPECT_NE(oddSaid.find("x\\x1B[31my\\x9B"), std::string::npos) << oddSaid;
  EXPECT_EQ(oddSaid.find_first_of("\x1b\x9b"), std::string::npos) << oddSaid;
  EXPECT_EQ(std::count(oddSaid.begin(), oddSaid.end(), '\n'), 1);
}

}  // namespace
}  // namespace zimoklas::glib

// Key files from editors and attackers: a leading byte-order mark is taken, and the line
// about an ignored file never carries the file's content or raw control characters.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
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

class KeyFileHostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zimoklas-hostile-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    path_ = root_ / "Ombra" / "Zimoklas.conf";
    fs::create_directories(path_.parent_path());
  }
  void TearDown() override { fs::remove_all(root_); }
  void Put(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  // What reading all six settings from `path` says on stderr.
  static std::string ReadAndListen(const fs::path& path) {
    KeyFileStore store(path.string());
    testing::internal::CaptureStderr();
    settings::Module1 module;
    settings::ReadStartupSettings(store, module);
    return testing::internal::GetCapturedStderr();
  }
  fs::path root_;
  fs::path path_;
};

TEST_F(KeyFileHostileTest, LeadingByteOrderMarkIsTakenAndASaveKeepsTheValues) {
  Put("\xEF\xBB\xBF[Zimoklas]\nSnihR=12\nText1=Ahoj\n# mine\n");
  KeyFileStore store(path_.string());
  testing::internal::CaptureStderr();
  settings::Module1 module;
  settings::ReadStartupSettings(store, module);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(module.SnowRed, 12);
  EXPECT_EQ(module.GreetingText, "Ahoj");

  ASSERT_TRUE(store.WriteSetting(kApp, kSection, "SnihG", "7"));
  const std::string after = Contents();
  EXPECT_TRUE(after.starts_with("[Zimoklas]")) << after;
  EXPECT_NE(after.find("SnihR=12"), std::string::npos) << after;
  EXPECT_NE(after.find("Text1=Ahoj"), std::string::npos) << after;
  EXPECT_NE(after.find("# mine"), std::string::npos) << after;

  // A mark of UTF-16 is named, not taken.
  Put(std::string("\xFF\xFE[\0Z\0", 6));
  EXPECT_NE(ReadAndListen(path_).find("UTF-16"), std::string::npos);
}

TEST_F(KeyFileHostileTest, IgnoringLineQuotesNoContentAndEscapesThePath) {
  struct Row {
    const char* what;
    std::string bytes;
    std::string secret;  // must not reach stderr
  };
  const std::string longLine(1024 * 1024 - 64, 'L');
  const Row rows[] = {
      {"escape sequences", "\x1b]0;owned\x07\x1b[2J\x1b[31mred\n[Zimoklas]\n", "\x1b"},
      {"a line of almost 1 MB", "[Zimoklas]\n" + longLine + "\n", longLine.substr(0, 40)},
      {"an unclosed group", "[Zimoklas\nsecret=value\n", "secret"},
  };
  for (const Row& row : rows) {
    Put(row.bytes);
    const std::string said = ReadAndListen(path_);
    EXPECT_NE(said.find("not a key file"), std::string::npos) << row.what << ": " << said;
    EXPECT_EQ(said.find(row.secret), std::string::npos) << row.what;
    EXPECT_LT(said.size(), 400u) << row.what;
  }

  // A link to the password file is not quoted.
  fs::remove(path_);
  fs::create_symlink("/etc/passwd", path_);
  const std::string said = ReadAndListen(path_);
  EXPECT_NE(said.find("ignoring the settings file"), std::string::npos) << said;
  EXPECT_EQ(said.find("root:"), std::string::npos) << said;

  // Control characters in the path come out escaped.
  const fs::path odd = root_ / "x\x1b[31my\x9b" / "Zimoklas.conf";
  fs::create_directories(odd);  // a folder at the file's place, so it is ignored
  const std::string oddSaid = ReadAndListen(odd);
  EXPECT_EQ(oddSaid.find('\x1b'), std::string::npos) << oddSaid;
  EXPECT_EQ(oddSaid.find('\x9b'), std::string::npos) << oddSaid;
  EXPECT_NE(oddSaid.find("x\\x1B[31my\\x9B"), std::string::npos) << oddSaid;
  EXPECT_EQ(std::count(oddSaid.begin(), oddSaid.end(), '\n'), 1);
}

}  // namespace
}  // namespace zimoklas::glib

// The key-file store on a scratch folder: defaults for what is missing or unreadable,
// exact round trips, file modes, and saves that replace the file as a whole.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
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
    if (fs::is_regular_file(root_ / "Ombra")) fs::remove(root_ / "Ombra");
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

// What the store hands to the text readers for hand-written lines of the file. The same
// rows stand in docs/settings.md.
TEST_F(KeyFileStoreTest, BadStoredTexts) {
  struct Row {
    std::string file;
    std::string read;  // "<default>" for the key's fallback
  };
  const std::string big(100 * 1024, 'x');
  const Row rows[] = {
      {"[Zimoklas]\nText1=\\q\n", "\\q"},
      {"[Zimoklas]\nText1=\\x41\n", "\\x41"},
      {"[Zimoklas]\nText1=end\\\n", "end"},
      {"[Zimoklas]\nText1=\xff\xfe\n", "<default>"},
      {"[Zimoklas]\nText1=\xc3\x28\n", "<default>"},
      {"[Zimoklas]\ntext1=x\n", "<default>"},
      {"[zimoklas]\nText1=x\n", "<default>"},
      {"[Zimoklas]\nText1[cs]=x\n", "<default>"},
      {"[Zimoklas]\n#Text1=x\n", "<default>"},
      {"Text1=x\n", "<default>"},
      {"[Zimoklas]\nText1\n", "<default>"},
      {"[Zimoklas\nText1=x\n", "<default>"},
      {"[Zimoklas]\nText1=\n", ""},
      {"[Zimoklas]\nText1 = x\n", "x"},
      {"[Zimoklas]\nText1=   x\n", "x"},
      {"[Zimoklas]\nText1=\t x\n", "x"},
      {"[Zimoklas]\nText1=x   \n", "x   "},
      {"[Zimoklas]\nText1=\\s x\n", "  x"},
      {"[Zimoklas]\nText1=a\\nb\\tc\\\\d\\re\n", "a\nb\tc\\d\re"},
      {"[Zimoklas]\nText1=#x;y=z[w]\n", "#x;y=z[w]"},
      {"[Zimoklas]\nText1=a\nText1=b\n", "b"},
      {"[Zimoklas]\r\nText1=x\r\n", "x"},
      {"[Zimoklas]\nText1=" + big + "\n", big},
  };
  for (const Row& row : rows) {
    Put(row.file);
    KeyFileStore store(path_.string());
    testing::internal::CaptureStderr();
    EXPECT_EQ(Read(store, "Text1"), row.read) << row.file;
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Contents(path_), row.file) << "reading never writes";
  }
}

// Files that are not settings: each gives all defaults at once, one line on stderr that
// says why, and stays as it was.
TEST_F(KeyFileStoreTest, FilesThatAreNotSettings) {
  struct Row {
    const char* name;
    std::function<void()> make;
    const char* why;
  };
  const auto big = [&] {
    Put("[Zimoklas]\nSnihR=0\nText1=");
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 100; ++i) out << block;
  };
  const auto binary = [&] {
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 7919) % 256);
    Put("[Zimoklas]\nSnihR=0\n" + bytes);
  };
  const auto folder = [&] { fs::create_directories(path_); };
  const auto fifo = [&] {
    fs::create_directories(path_.parent_path());
    ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  };
  const auto unreadable = [&] {
    Put("[Zimoklas]\nSnihR=0\n");
    fs::permissions(path_, fs::perms::none);
  };
  std::vector<Row> rows = {{"100 MB", big, "larger than 1 MB"},
                           {"binary", binary, "binary data"},
                           {"folder", folder, "a folder"},
                           {"FIFO", fifo, "not a regular file"}};
  if (geteuid() != 0) rows.push_back({"unreadable", unreadable, "Permission denied"});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(path_.parent_path());
    row.make();
    struct stat before {};
    ASSERT_EQ(lstat(path_.c_str(), &before), 0);

    KeyFileStore store(path_.string());
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    settings::Module1 module;
    settings::ReadStartupSettings(store, module);
    settings::ReadCheckState(store);
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string said = testing::internal::GetCapturedStderr();

    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_EQ(module.SnowRed, 255);
    EXPECT_EQ(module.GreetingText, settings::kDefaultGreeting);
    EXPECT_EQ(module.UsePfYear, kTrue);
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find(row.why), std::string::npos) << said;
    struct stat after {};
    ASSERT_EQ(lstat(path_.c_str(), &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // A save keeps the old file beside the new one; a folder stays, refusing the save.
    const bool folder = std::string_view(row.name) == "folder";
    testing::internal::CaptureStderr();
    EXPECT_EQ(store.WriteSetting(kApp, kSection, "SnihR", "7"), !folder);
    const std::string saidOnSave = testing::internal::GetCapturedStderr();
    const fs::path old = folder ? path_ : fs::path(path_.string() + ".unreadable");
    struct stat kept {};
    ASSERT_EQ(lstat(old.c_str(), &kept), 0);
    EXPECT_EQ(kept.st_ino, before.st_ino);
    if (!folder) {
      EXPECT_NE(saidOnSave.find(row.why), std::string::npos) << saidOnSave;
    }
  }
  fs::remove_all(path_.parent_path());
}

TEST_F(KeyFileStoreTest, ASaveOverAFileItCannotReadKeepsEachOldFileUnderAFreshName) {
  // One NUL in a comment, then a line that is no key file: each old file, with the
  // user's values and other groups, survives the save that replaces it.
  using namespace std::string_literals;
  const std::string withNul = "# mine\0\n[Zimoklas]\nSnihR=3\n[Other]\nmine=keep me\n"s;
  const std::string broken = "[Zimoklas]\nSnihR=4\nnot a key file\n";
  KeyFileStore store(path_.string());
  const std::vector<std::string> names = {".unreadable", ".unreadable.2"};
  for (std::size_t i = 0; i < names.size(); ++i) {
    Put(i == 0 ? withNul : broken);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(store.WriteSetting(kApp, kSection, "SnihR", "9"));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(Read(store, "SnihR"), "9");
    EXPECT_EQ(Contents(path_.string() + names[i]), i == 0 ? withNul : broken);
  }
  EXPECT_EQ(Contents(path_.string() + names[0]), withNul) << "an earlier copy overwritten";
  // A file it can read is simply replaced.
  EXPECT_TRUE(store.WriteSetting(kApp, kSection, "SnihR", "10"));
  EXPECT_FALSE(fs::exists(path_.string() + ".unreadable.3"));
}

// Refused saves of all six values: each names a key and the reason, and the old file
// stays byte for byte, with no temporary file left beside it.
TEST_F(KeyFileStoreTest, RefusedSavesLeaveTheFileAsItWas) {
  KeyFileStore store(path_.string());
  settings::SavedValues values;
  values.text1 = "nový";
  ASSERT_FALSE(settings::WriteAll(store, values));
  const std::string before = Contents(path_);
  const auto refused = [&](const settings::SavedValues& attempt) {
    const std::optional<settings::SaveFailure> failure = settings::WriteAll(store, attempt);
    if (!failure) return settings::SaveFailure{"<saved>", ""};
    EXPECT_EQ(Contents(path_), before) << failure->reason;
    EXPECT_TRUE(failure->storeUnchanged);
    return *failure;
  };

  values.text2 = std::string("a\0b", 3);
  EXPECT_EQ(refused(values).key, "Text2");
  values.text2 = "\xff";
  EXPECT_EQ(refused(values).reason, "the text is not valid UTF-8");
  values.text2 = "\f\fform feed";
  EXPECT_EQ(refused(values).reason, "the text starts with a form feed");
  values.text2 = std::string(KeyFileStore::kMaxFileBytes, 'x');
  EXPECT_EQ(refused(values).key, "SnihR") << "a file the store would not read back";
  values.text2 = "druhý";

  if (geteuid() != 0) {  // root writes into read-only folders
    fs::permissions(path_.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_NE(refused(values).reason.find("Permission denied"), std::string::npos);
    fs::permissions(path_.parent_path(), fs::perms::owner_all);
  }
  // A full disk at every step of the save that can fail.
  static int failAt = 0;
  for (failAt = 0;; ++failAt) {
    SetSaveStepHook([](int step) { return step == failAt ? ENOSPC : 0; });
    const settings::SaveFailure failure = refused(values);
    SetSaveStepHook(nullptr);
    if (failure.key == "<saved>") break;  // past the last step that can fail
    EXPECT_EQ(failure.key, "SnihR");
    ASSERT_NE(failure.reason.find("No space left on device"), std::string::npos) << failAt;
  }
  EXPECT_GT(failAt, 50) << "a step for every byte";
  EXPECT_EQ(std::distance(fs::directory_iterator(path_.parent_path()), {}), 1) << "no leftovers";

  // A file where the folder should be.
  fs::remove_all(path_.parent_path());
  std::ofstream(path_.parent_path()) << "in the way";
  const std::optional<settings::SaveFailure> noFolder = settings::WriteAll(store, values);
  ASSERT_TRUE(noFolder.has_value());
  EXPECT_NE(noFolder->reason.find("cannot create the folder"), std::string::npos);
  EXPECT_EQ(Contents(path_.parent_path()), "in the way");
  fs::remove(path_.parent_path());
}

// A real full disk and a real read-only folder, on a small file system of a child
// process's own (root can write into a folder without write permission, not into a
// read-only mount). Skipped where mounts are not allowed.
TEST_F(KeyFileStoreTest, FullDiskAndReadOnlyFolderRefuseTheSave) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const std::string root = root_.string();
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", root.c_str(), "tmpfs", 0, "size=64k,mode=0700") != 0) {
      _exit(77);
    }
    KeyFileStore store(path_.string());
    settings::SavedValues values;
    if (settings::WriteAll(store, values)) _exit(1);
    const std::string before = Contents(path_);
    values.text1 = std::string(8192, 'x');
    {
      std::ofstream filler(root_ / "filler", std::ios::binary);
      const std::string block(4096, 'f');
      for (int i = 0; i < 64 && filler.write(block.data(), block.size()).flush(); ++i) {
      }
    }
    const auto full = settings::WriteAll(store, values);
    if (!full || full->reason.find("No space left on device") == std::string::npos) _exit(2);
    if (Contents(path_) != before) _exit(3);
    fs::remove(root_ / "filler");
    if (mount(nullptr, root.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) _exit(77);
    const auto readOnly = settings::WriteAll(store, values);
    if (!readOnly || readOnly->reason.find("Read-only file system") == std::string::npos) _exit(4);
    if (Contents(path_) != before) _exit(5);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private mounts here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: first save, 2/3: full disk, 4/5: read-only";
}

// A save killed at any of 200 points spread over it leaves all six old values or all six
// new ones, and the next save removes the temporary file it left.
TEST_F(KeyFileStoreTest, SaveKilledAnywhereLeavesOldOrNewValuesWhole) {
  KeyFileStore store(path_.string());
  const settings::SavedValues before{
      1, 2, 3, "starý pozdrav, " + std::string(60, '#'), "P.F.", settings::kChecked};
  const settings::SavedValues after{
      200, 100, 50, " nový\n pozdrav = [ ; " + std::string(200, '='), "", settings::kUnchecked};
  const auto read = [&] {
    KeyFileStore fresh(path_.string());
    settings::Module1 m;
    settings::ReadStartupSettings(fresh, m);
    return settings::SavedValues{m.SnowRed,      m.SnowGreen,  m.SnowBlue,
                                 m.GreetingText, m.SecondText, settings::ReadCheckState(fresh)};
  };
  const auto same = [](const settings::SavedValues& a, const settings::SavedValues& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.text1 == b.text1 &&
           a.text2 == b.text2 && a.checkState == b.checkState;
  };

  static int steps = 0;
  SetSaveStepHook([](int step) {
    steps = step + 1;
    return 0;
  });
  ASSERT_FALSE(settings::WriteAll(store, after));
  SetSaveStepHook(nullptr);
  ASSERT_GT(steps, 200);

  int oldSeen = 0;
  int newSeen = 0;
  static int killAt = 0;
  for (int point = 0; point < 200; ++point) {
    ASSERT_FALSE(settings::WriteAll(store, before));
    ASSERT_EQ(std::distance(fs::directory_iterator(path_.parent_path()), {}), 1)
        << "the save cleaned up after the kill before point " << point;
    killAt = point * (steps - 1) / 199;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SetSaveStepHook([](int step) {
        if (step == killAt) raise(SIGKILL);
        return 0;
      });
      settings::WriteAll(store, after);
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "step " << killAt;
    const settings::SavedValues found = read();
    if (same(found, before)) {
      ++oldSeen;
    } else {
      ASSERT_TRUE(same(found, after)) << "half-written file at step " << killAt << ":\n"
                                      << Contents(path_);
      ++newSeen;
    }
  }
  RecordProperty("kill_points", 200);
  RecordProperty("save_steps", steps);
  RecordProperty("old_values_after_kill", oldSeen);
  RecordProperty("new_values_after_kill", newSeen);
  EXPECT_GT(oldSeen, 150);
  EXPECT_GE(newSeen, 1) << "a kill after the rename leaves the new values";
}

}  // namespace
}  // namespace zimoklas::glib

// The key-file settings store. Reading takes the file as it is and never changes it; a
// save writes a whole new file beside the old one and renames it into place.
#include "platform/glib/keyfile_store.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/glib/printable.hpp"

namespace zimoklas::glib {
namespace {

using settings::SaveFailure;
using settings::Setting;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and says whether the close succeeded; a failed close can lose data.
  bool Close() {
    const int fd = std::exchange(fd_, -1);
    return fd < 0 || close(fd) == 0;
  }

 private:
  int fd_;
};

std::string ErrnoText(int error) {
  return std::strerror(error);
}

enum class Load { Missing, Loaded, Ignored };

// Loads the key file at `path` into `file`. `why` says why a file that exists was not
// taken. Reads at most kMaxFileBytes, and never blocks on a FIFO or a device.
Load LoadKeyFile(const std::string& path, GKeyFile* file, std::string& why) {
  Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) {
    const int error = errno;
    if (error == ENOENT) return Load::Missing;
    why = "it cannot be read: " + ErrnoText(error);
    return Load::Ignored;
  }
  struct stat info {};
  if (fstat(fd.get(), &info) != 0) {
    why = "it cannot be read: " + ErrnoText(errno);
    return Load::Ignored;
  }
  if (S_ISDIR(info.st_mode)) {
    why = "it is a folder, not a file";
    return Load::Ignored;
  }
  if (!S_ISREG(info.st_mode)) {
    why = "it is not a regular file";
    return Load::Ignored;
  }
  constexpr std::size_t kMax = KeyFileStore::kMaxFileBytes;
  if (static_cast<std::size_t>(info.st_size) > kMax) {
    why = "it is larger than 1 MB (" + std::to_string(info.st_size) + " bytes)";
    return Load::Ignored;
  }
  // One byte more than fstat gave, to notice a file that grew since; at most one more
  // than allowed.
  std::vector<char> data(std::min(static_cast<std::size_t>(info.st_size), kMax) + 1);
  std::size_t size = 0;
  while (size < data.size()) {
    const ssize_t got = read(fd.get(), data.data() + size, data.size() - size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      why = "it cannot be read: " + ErrnoText(errno);
      return Load::Ignored;
    }
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  if (size == data.size()) {
    why = size > kMax ? "it is larger than 1 MB" : "it changed while it was read";
    return Load::Ignored;
  }
  const std::string_view text(data.data(), size);
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
    why = "it is UTF-16 text, not UTF-8";
    return Load::Ignored;
  }
  if (text.find('\0') != std::string_view::npos) {
    why = "it holds binary data, not text";
    return Load::Ignored;
  }
  // Editors on Windows start UTF-8 files with a byte-order mark, which the parser would
  // take as part of the first line.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  const std::size_t skip = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  GError* error = nullptr;
  if (!g_key_file_load_from_data(
          file, data.data() + skip, size - skip,
          static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS),
          &error)) {
    // The parser's own message quotes the offending line, which may be anything the
    // path leads to; the reason is told in the program's words instead.
    why = error->domain == G_KEY_FILE_ERROR && error->code == G_KEY_FILE_ERROR_UNKNOWN_ENCODING
              ? "it is not UTF-8 text"
              : "it is not a key file (a line outside a [group], a group without its ], or a "
                "line without =)";
    g_error_free(error);
    return Load::Ignored;
  }
  return Load::Loaded;
}

using KeyFilePtr = std::unique_ptr<GKeyFile, decltype(&g_key_file_unref)>;

KeyFilePtr NewKeyFile() {
  return KeyFilePtr(g_key_file_new(), &g_key_file_unref);
}

bool ValidName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

SaveStepHook saveStepHook = nullptr;
int saveStep = 0;

// False, with errno set, when the test hook fails this step.
bool Step() {
  if (saveStepHook == nullptr) return true;
  const int error = saveStepHook(saveStep++);
  errno = error;
  return error == 0;
}

std::string Folder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files are named ".<file>.tmp.XXXXXX" beside the file. A save holds an
// exclusive lock on its own; one nobody holds a lock on is left from a save that was
// killed, and goes.
std::string TempPrefix(const std::string& path) {
  return "." + BaseName(path) + ".tmp.";
}

void RemoveStaleTempFiles(const std::string& folder, const std::string& prefix) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> stale;
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (name.size() != prefix.size() + 6 || name.substr(0, prefix.size()) != prefix) continue;
    const std::string full = folder + "/" + std::string(name);
    Fd fd(open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (fd.get() >= 0 && flock(fd.get(), LOCK_EX | LOCK_NB) == 0) stale.push_back(full);
  }
  closedir(dir);
  for (const std::string& full : stale) unlink(full.c_str());
}

// Makes and locks a new temporary file; -1 with errno set when that fails.
int MakeTempFile(const std::string& folder, const std::string& prefix, std::string& name) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::string pattern = folder;
    pattern += '/';
    pattern += prefix;
    pattern += "XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    // Another save's clean-up may have taken the file before it was locked; then it is
    // already gone and a new one is made.
    if (flock(fd, LOCK_EX) == 0 && fstat(fd, &info) == 0 && info.st_nlink > 0) {
      name = std::move(pattern);
      return fd;
    }
    close(fd);
  }
  errno = EAGAIN;
  return -1;
}

bool WriteAllBytes(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    // Under a test hook every byte is a step of its own.
    const std::size_t piece = saveStepHook != nullptr ? 1 : size;
    if (!Step()) return false;
    const ssize_t done = write(fd, data, piece);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) return false;
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

// Keeps the file at `path`, which a save could not read, under a fresh name beside it
// (<file>.unreadable, then .unreadable.2 and on), never over an earlier copy. A second
// link is made; where none can be (a file system without them, another user's file),
// the file itself moves and `moved` is set. The name, or nullopt with errno set.
std::optional<std::string> KeepUnreadable(const std::string& path, bool& moved) {
  constexpr int kMaxCopies = 1000;
  for (int n = 1; n <= kMaxCopies; ++n) {
    std::string name = path + ".unreadable";
    if (n > 1) name += "." + std::to_string(n);
    moved = false;
    if (link(path.c_str(), name.c_str()) == 0) return name;
    if (errno == EEXIST) continue;
    moved = true;
    if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, name.c_str(), RENAME_NOREPLACE) == 0) {
      return name;
    }
    if (errno != EEXIST) return std::nullopt;
  }
  errno = EEXIST;
  return std::nullopt;
}

// Replaces the file at `path` by one that holds the old file's groups, keys and comments
// with the entries set in `group`. An old file that cannot be read as a key file is kept
// beside it first, and stderr says so. The new file is written beside the old one (0600, in
// a folder made 0700), flushed to disk and renamed over it, so the file holds either the
// old or the new values whatever happens, and a link planted at the path is replaced,
// never written through. Nothing is changed when it fails.
// A failure of the file as a whole names the save's first key.
std::optional<SaveFailure> SaveKeyFile(const std::string& path, std::string_view group,
                                       std::span<const Setting> entries) {
  const std::string first(entries.empty() ? std::string_view() : entries.front().key);
  for (const Setting& entry : entries) {
    if (entry.value.find('\0') != std::string_view::npos) {
      return SaveFailure{std::string(entry.key), "the text holds a NUL character"};
    }
    if (!g_utf8_validate(entry.value.data(), static_cast<gssize>(entry.value.size()), nullptr)) {
      return SaveFailure{std::string(entry.key), "the text is not valid UTF-8"};
    }
    // The key-file syntax has no escape for a form feed, and the parser drops it from a
    // value's start, so such a text would not read back.
    if (entry.value.starts_with('\f')) {
      return SaveFailure{std::string(entry.key), "the text starts with a form feed"};
    }
  }
  const std::string folder = Folder(path);
  if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
    return SaveFailure{first, "cannot create the folder " + folder + ": " + ErrnoText(errno)};
  }
  const std::string prefix = TempPrefix(path);
  RemoveStaleTempFiles(folder, prefix);

  KeyFilePtr file = NewKeyFile();
  std::string why;
  // What is there and is not a key file the store can read is replaced by a fresh one;
  // a folder stays, and the rename refuses the save.
  const Load load = LoadKeyFile(path, file.get(), why);
  if (load != Load::Loaded) file = NewKeyFile();
  struct stat old {};
  const bool keep =
      load == Load::Ignored && lstat(path.c_str(), &old) == 0 && !S_ISDIR(old.st_mode);
  const std::string groupName(group);
  for (const Setting& entry : entries) {
    const std::string key(entry.key);
    const std::string value(entry.value);
    g_key_file_set_string(file.get(), groupName.c_str(), key.c_str(), value.c_str());
  }
  gsize size = 0;
  gchar* data = g_key_file_to_data(file.get(), &size, nullptr);
  const std::string text(data, size);
  g_free(data);
  if (text.size() > KeyFileStore::kMaxFileBytes) {
    return SaveFailure{first, "the settings would make the file larger than 1 MB"};
  }

  std::string tempName;
  Fd fd(Step() ? MakeTempFile(folder, prefix, tempName) : -1);
  if (fd.get() < 0) {
    return SaveFailure{first, "cannot create a file in " + folder + ": " + ErrnoText(errno)};
  }
  const auto fail = [&](const char* what) {
    const int error = errno;
    unlink(tempName.c_str());
    return SaveFailure{first, std::string(what) + path + ": " + ErrnoText(error)};
  };
  if (!WriteAllBytes(fd.get(), text.data(), text.size())) return fail("cannot write ");
  if (!Step() || fsync(fd.get()) != 0) return fail("cannot flush ");
  bool moved = false;
  const std::optional<std::string> kept = keep ? KeepUnreadable(path, moved) : std::nullopt;
  if (keep && !kept) return fail("cannot keep a copy of the unreadable ");
  if (!Step() || rename(tempName.c_str(), path.c_str()) != 0) {
    const int error = errno;
    if (kept && moved) rename(kept->c_str(), path.c_str());
    if (kept && !moved) unlink(kept->c_str());
    errno = error;
    return fail("cannot replace ");
  }
  if (kept) {
    const std::string line = "zimoklas: the settings file " + Printable(path) +
                             " could not be read (" + why + "), so it is kept as " +
                             Printable(*kept) + " and the settings are saved in a new file\n";
    std::fputs(line.c_str(), stderr);
  }
  // The lock goes with the descriptor; the file now has its final name.
  fd.Close();
  // Makes the rename itself durable. The new file is in place whatever this says, so a
  // failure here is not a failed save.
  Step();
  Fd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) fsync(dir.get());
  return std::nullopt;
}

bool Absolute(std::string_view path) {
  return path.starts_with('/');
}

// What a file's stat says of its version: a file read before is read again only when
// this changes.
struct Signature {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modified = 0, changed = 0;  // nanoseconds
  bool operator==(const Signature&) const = default;
};

Signature SignatureOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return {};
  const auto nanos = [](const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
  };
  return {true, info.st_dev, info.st_ino, info.st_size, nanos(info.st_mtim), nanos(info.st_ctim)};
}

// The text of a key in a loaded file, if it holds it as UTF-8 text.
std::optional<std::string> ValueIn(GKeyFile* file, std::string_view section, std::string_view key) {
  const std::string group(section);
  const std::string name(key);
  gchar* value = g_key_file_get_string(file, group.c_str(), name.c_str(), nullptr);
  if (value == nullptr) return std::nullopt;
  std::string text(value);
  g_free(value);
  if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    return std::nullopt;
  }
  return text;
}

// What a line about an ignored file says is used instead.
const char* Instead(bool userLoaded, bool machineLoaded) {
  if (userLoaded) return "using your own settings";
  if (machineLoaded) return "using the machine-wide defaults";
  return "using the defaults";
}

std::string SettingsFile(const std::string& folder, std::string_view app,
                         std::string_view section) {
  std::string path = folder;
  path += '/';
  path += app;
  path += '/';
  path += section;
  path += ".conf";
  return path;
}

}  // namespace

std::string UserConfigFolder() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  if (configHome != nullptr && Absolute(configHome)) return configHome;
  // A relative or empty value is ignored, as the base-directory rules say: it would name
  // a different folder for every current folder the program is started from.
  const char* home = std::getenv("HOME");
  std::string folder = home != nullptr && Absolute(home) ? home : g_get_home_dir();
  folder += "/.config";
  return folder;
}

std::vector<std::string> SystemConfigFolders() {
  std::vector<std::string> folders;
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string_view rest = dirs != nullptr ? dirs : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view entry = rest.substr(0, colon);
    if (Absolute(entry)) folders.emplace_back(entry);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  if (folders.empty()) folders.emplace_back("/etc/xdg");
  return folders;
}

void SetSaveStepHook(SaveStepHook hook) {
  saveStepHook = hook;
  saveStep = 0;
}

KeyFileStore::KeyFileStore()
    : configDir_(UserConfigFolder()), machineDirs_(SystemConfigFolders()) {}

KeyFileStore::KeyFileStore(std::string path, std::vector<std::string> machinePaths)
    : fixedPath_(std::move(path)), machinePaths_(std::move(machinePaths)) {}

std::string KeyFileStore::FilePath(std::string_view app, std::string_view section) const {
  return configDir_ ? SettingsFile(*configDir_, app, section) : fixedPath_;
}

std::vector<std::string> KeyFileStore::MachineFilePaths(std::string_view app,
                                                        std::string_view section) const {
  if (!configDir_) return machinePaths_;
  std::vector<std::string> paths;
  for (const std::string& folder : machineDirs_)
    paths.push_back(SettingsFile(folder, app, section));
  return paths;
}

struct KeyFileStore::Loaded {
  Signature signature;
  Load load = Load::Missing;
  KeyFilePtr file = NewKeyFile();
  std::string why;
};

KeyFileStore::~KeyFileStore() = default;

const KeyFileStore::Loaded& KeyFileStore::File(const std::string& path) {
  std::unique_ptr<Loaded>& slot = files_[path];
  const Signature now = SignatureOf(path);
  if (slot && slot->signature == now) return *slot;
  slot = std::make_unique<Loaded>();
  slot->signature = now;
  slot->load = LoadKeyFile(path, slot->file.get(), slot->why);
  return *slot;
}

std::vector<std::string> KeyFileStore::DistinctMachineFiles(std::string_view app,
                                                            std::string_view section) {
  std::vector<std::string> distinct;
  std::set<std::string> paths;
  std::set<std::pair<dev_t, ino_t>> seen;
  for (std::string& path : MachineFilePaths(app, section)) {
    if (!paths.insert(path).second) continue;
    const Signature& signature = File(path).signature;
    if (signature.exists && !seen.insert({signature.device, signature.inode}).second) continue;
    distinct.push_back(std::move(path));
  }
  return distinct;
}

void KeyFileStore::Survey(const std::string& user, const std::vector<std::string>& machine) {
  const bool userLoaded = File(user).load == Load::Loaded;
  const bool machineLoaded = std::any_of(machine.begin(), machine.end(), [&](const std::string& p) {
    return File(p).load == Load::Loaded;
  });
  const auto tell = [&](const std::string& path, const char* kind, const char* instead) {
    const Loaded& file = File(path);
    if (file.load != Load::Ignored || !warned_.insert(path).second) return;
    if (told_ == kToldFiles) {
      ++untold_;
      return;
    }
    ++told_;
    // The reason is the program's own text; the path comes from the environment.
    const std::string line = std::string("zimoklas: ignoring the ") + kind + "settings file " +
                             Printable(path) + ": " + file.why + "; " + instead + "\n";
    std::fputs(line.c_str(), stderr);
  };
  tell(user, "", Instead(false, machineLoaded));
  for (const std::string& path : machine) {
    tell(path, "machine-wide ", Instead(userLoaded, machineLoaded));
  }
  if (untold_ > 0) {
    std::fprintf(stderr, "zimoklas: and %zu more settings files ignored\n", untold_);
    untold_ = 0;
  }
}

std::string KeyFileStore::ReadSetting(std::string_view app, std::string_view section,
                                      std::string_view key, std::string_view fallback) {
  if (!ValidName(app) || !ValidName(section) || key.find('\0') != std::string_view::npos) {
    return std::string(fallback);
  }
  const std::string path = FilePath(app, section);
  Survey(path, DistinctMachineFiles(app, section));
  const Loaded& file = File(path);
  if (file.load != Load::Loaded) return std::string(fallback);
  return ValueIn(file.file.get(), section, key).value_or(std::string(fallback));
}

std::optional<std::string> KeyFileStore::ReadMachineSetting(std::string_view app,
                                                            std::string_view section,
                                                            std::string_view key) {
  if (!ValidName(app) || !ValidName(section) || key.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  const std::vector<std::string> machine = DistinctMachineFiles(app, section);
  Survey(FilePath(app, section), machine);
  // The first folder that holds the key wins, as the order of the folders says.
  for (const std::string& path : machine) {
    const Loaded& file = File(path);
    if (file.load != Load::Loaded) continue;
    if (std::optional<std::string> value = ValueIn(file.file.get(), section, key)) return value;
  }
  return std::nullopt;
}

std::optional<SaveFailure> KeyFileStore::SaveSettings(std::string_view app,
                                                      std::string_view section,
                                                      std::span<const Setting> values) {
  if (!ValidName(app) || !ValidName(section)) {
    return SaveFailure{values.empty() ? std::string() : std::string(values.front().key),
                       "the application or section name cannot name a file"};
  }
  return SaveKeyFile(FilePath(app, section), section, values);
}

}  // namespace zimoklas::glib

// The settings store on Linux: a GLib key file, ${XDG_CONFIG_HOME:-~/.config}/<app>/
// <section>.conf, with one group named after the section and the values as UTF-8 text;
// machine-wide defaults in files of the same name along ${XDG_CONFIG_DIRS:-/etc/xdg}.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/store.hpp"

namespace zimoklas::glib {

class KeyFileStore final : public settings::Store {
 public:
  // Files larger than this are not read (and a save that would make one is refused), so
  // a stray huge file at the settings path costs nothing at start-up.
  static constexpr std::size_t kMaxFileBytes = 1024 * 1024;

  // The user's store: <user config folder>/<app>/<section>.conf, with the machine-wide
  // defaults in <folder>/<app>/<section>.conf for each system config folder. The folders
  // are taken from the environment when the store is made.
  KeyFileStore();
  // Every application and section lives in this one file, in a group named after the
  // section, with the machine-wide defaults in the given files, first one first. Tests
  // give scratch paths.
  explicit KeyFileStore(std::string path, std::vector<std::string> machinePaths = {});
  KeyFileStore(const KeyFileStore&) = delete;
  KeyFileStore& operator=(const KeyFileStore&) = delete;
  ~KeyFileStore() override;

  // Lines told about ignored files at most; the rest are counted in one more line.
  static constexpr std::size_t kToldFiles = 3;

  // A missing file, group or key gives `fallback`, as does a value that is not valid
  // UTF-8 text. A file that cannot be taken as a key file gives `fallback` for every key,
  // with one line on stderr that says why; reading never writes anything.
  std::string ReadSetting(std::string_view app, std::string_view section, std::string_view key,
                          std::string_view fallback) override;
  // The value from the first machine-wide file that holds the key as UTF-8 text. Files
  // that cannot be taken are skipped with one line on stderr, as for the user's file.
  // These files are never written.
  std::optional<std::string> ReadMachineSetting(std::string_view app, std::string_view section,
                                                std::string_view key) override;
  // Replaces the file in one step with one that holds the old file's other groups, keys
  // and comments and the new values. Refused, changing nothing, for a text that would not
  // read back (a NUL, invalid UTF-8, a leading form feed), and when the folder or file
  // cannot be made, written or replaced.
  std::optional<settings::SaveFailure> SaveSettings(
      std::string_view app, std::string_view section,
      std::span<const settings::Setting> values) override;

  // The file that holds the given application's section.
  std::string FilePath(std::string_view app, std::string_view section) const;
  // The machine-wide files, first one first.
  std::vector<std::string> MachineFilePaths(std::string_view app, std::string_view section) const;

 private:
  std::optional<std::string> configDir_;   // set for the user's store
  std::vector<std::string> machineDirs_;   // with it, the system config folders
  std::string fixedPath_;                  // set for a store in one given file
  std::vector<std::string> machinePaths_;  // with it, the machine-wide files
  std::set<std::string> warned_;           // files whose reason has been told or counted
  std::size_t told_ = 0;                   // lines told about them
  std::size_t untold_ = 0;                 // of them, not yet counted in a line

  // Each file is read once, and again only when its stat changes.
  struct Loaded;
  const Loaded& File(const std::string& path);
  std::map<std::string, std::unique_ptr<Loaded>> files_;
  // The machine-wide files with repeated paths and files left out, first one first.
  std::vector<std::string> DistinctMachineFiles(std::string_view app, std::string_view section);
  // Reads the user's and the machine-wide files, and tells on stderr why one that exists
  // is ignored and what is used instead: a few lines, then how many more there are.
  void Survey(const std::string& user, const std::vector<std::string>& machine);
};

// ${XDG_CONFIG_HOME} when it is an absolute path, else $HOME/.config.
std::string UserConfigFolder();
// The absolute entries of ${XDG_CONFIG_DIRS}, in order, or /etc/xdg when there are none.
std::vector<std::string> SystemConfigFolders();

// Test seam: while set, a save calls the hook with a running step number (from 0) before
// it makes its temporary file, before every byte it writes, before the flush, before the
// rename and before it flushes the folder, so a test can stop the process at any point of
// a save. A hook that returns an errno value makes that step fail with it.
using SaveStepHook = int (*)(int step);
void SetSaveStepHook(SaveStepHook hook);

}  // namespace zimoklas::glib

// An in-memory settings store: the store of the headless backend and of the tests.
// It keeps the order of writes and can be told to refuse them, all or one key's, and can
// hold machine-wide defaults beside the user's values.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "settings/store.hpp"

namespace zimoklas::settings {

class MemoryStore final : public Store {
 public:
  struct Write {
    std::string app, section, key, value;
  };

  std::string ReadSetting(std::string_view app, std::string_view section, std::string_view key,
                          std::string_view fallback) override;
  std::optional<std::string> ReadMachineSetting(std::string_view app, std::string_view section,
                                                std::string_view key) override;
  // Refuses the whole save, changing nothing, when any of its keys is refused.
  std::optional<SaveFailure> SaveSettings(std::string_view app, std::string_view section,
                                          std::span<const Setting> values) override;

  // Puts a value in place without recording it as a write.
  void Seed(std::string_view key, std::string_view value);
  // Puts a machine-wide default in place.
  void SeedMachine(std::string_view key, std::string_view value);
  // The stored text of a key under Ombra/Zimoklas, if any.
  std::optional<std::string> Get(std::string_view key) const;

  const std::vector<Write>& writes() const { return writes_; }
  std::size_t reads() const { return reads_; }
  void RefuseWrites(bool refuse) { refuseWrites_ = refuse; }
  // Refuses writes of this one key (empty: none).
  void RefuseKey(std::string_view key) { refusedKey_ = key; }

 private:
  using Address = std::tuple<std::string, std::string, std::string>;
  bool Refuses(std::string_view key) const {
    return refuseWrites_ || (!refusedKey_.empty() && key == refusedKey_);
  }
  std::map<Address, std::string> values_;
  std::map<Address, std::string> machine_;
  std::vector<Write> writes_;
  std::size_t reads_ = 0;
  bool refuseWrites_ = false;
  std::string refusedKey_;
};

}  // namespace zimoklas::settings

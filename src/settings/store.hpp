// The per-user settings store: text values addressed by application, section and key,
// with the machine-wide defaults an administrator may set beside it.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zimoklas::settings {

// One value of a save.
struct Setting {
  std::string_view key;
  std::string_view value;
};

// Why a save did not happen.
struct SaveFailure {
  std::string key;     // the setting that could not be saved
  std::string reason;  // what the store or the system said, for the user
  // True when the store holds exactly what it held before the save.
  bool storeUnchanged = true;
  // True when values written earlier in the save were put back to get there.
  bool undone = false;
};

class Store {
 public:
  virtual ~Store() = default;

  // The stored text of the key, or `fallback` when the key, its section or its
  // application does not exist. A stored value the backend cannot hand over as text
  // (another value type, an over-long value) also gives `fallback`. Never creates anything.
  virtual std::string ReadSetting(std::string_view app, std::string_view section,
                                  std::string_view key, std::string_view fallback) = 0;

  // The machine-wide default of the key, which an administrator sets for every user of the
  // machine, or nullopt when there is none (or it cannot be handed over as text). The
  // program never writes it. Which level wins is the readers' rule, not the store's.
  virtual std::optional<std::string> ReadMachineSetting(std::string_view /*app*/,
                                                        std::string_view /*section*/,
                                                        std::string_view /*key*/) {
    return std::nullopt;
  }

  // Sets all the values as one save: afterwards the store holds every new value, or, when
  // a failure is returned, what it held before (unless the failure says otherwise).
  // Creates what is missing.
  virtual std::optional<SaveFailure> SaveSettings(std::string_view app, std::string_view section,
                                                  std::span<const Setting> values) = 0;

  // A save of the one value. Returns false when the store refused it.
  bool WriteSetting(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view value) {
    const Setting setting{key, value};
    return !SaveSettings(app, section, std::span(&setting, 1));
  }
};

}  // namespace zimoklas::settings

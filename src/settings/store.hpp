// The per-user settings store: text values addressed by application, section and key.
#pragma once

#include <string>
#include <string_view>

namespace zimoklas::settings {

class Store {
 public:
  virtual ~Store() = default;

  // The stored text of the key, or `fallback` when the key, its section or its
  // application does not exist. A stored value the backend cannot hand over as text
  // (another value type, an over-long value) also gives `fallback`. Never creates anything.
  virtual std::string ReadSetting(std::string_view app, std::string_view section,
                                  std::string_view key, std::string_view fallback) = 0;

  // Creates what is missing and sets the key's text. Returns false when the store
  // refused the write, so the caller can keep the user's edits and say so.
  virtual bool WriteSetting(std::string_view app, std::string_view section, std::string_view key,
                            std::string_view value) = 0;
};

}  // namespace zimoklas::settings

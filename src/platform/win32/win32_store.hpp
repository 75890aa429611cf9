// The settings store on Windows: REG_SZ values under the user's registry,
// HKEY_CURRENT_USER\Software\<application>\<section>, through the wide-character API.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "settings/store.hpp"

namespace zimoklas::win32 {

class RegistryStore final : public settings::Store {
 public:
  // The longest value, in UTF-16 units, that is read or written; far beyond any text the
  // settings window produces. A longer stored value reads as missing, and a longer write
  // is refused, so the store never holds a value it would not read back.
  static constexpr std::size_t kMaxValueUnits = 32767;

  // Values live under root\base\application\section. Tests give a scratch base.
  explicit RegistryStore(HKEY root = HKEY_CURRENT_USER, std::wstring base = L"Software");

  // A missing key or a value that is not REG_SZ, or is too long, gives `fallback`.
  std::string ReadSetting(std::string_view app, std::string_view section, std::string_view key,
                          std::string_view fallback) override;
  // Stores the text as REG_SZ. False when the registry refused the write, or the text is
  // too long or holds a NUL, which would not read back unchanged.
  bool WriteSetting(std::string_view app, std::string_view section, std::string_view key,
                    std::string_view value) override;

 private:
  std::wstring KeyPath(std::string_view app, std::string_view section) const;

  HKEY root_;
  std::wstring base_;
};

}  // namespace zimoklas::win32

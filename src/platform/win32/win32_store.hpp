// The settings store on Windows: REG_SZ values under the user's registry,
// HKEY_CURRENT_USER\Software\<application>\<section>, through the wide-character API,
// with machine-wide defaults under HKEY_LOCAL_MACHINE\Software\<application>\<section>.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "settings/store.hpp"

namespace zimoklas::win32 {

class RegistryStore final : public settings::Store {
 public:
  // The longest value, in UTF-16 units, that is read or written; far beyond any text the
  // settings window produces. A longer stored value reads as missing, and a longer write
  // is refused, so the store never holds a value it would not read back.
  static constexpr std::size_t kMaxValueUnits = 32767;

  // Values live under root\base\application\section, machine-wide defaults under
  // machineRoot\machineBase\application\section. Tests give scratch bases.
  explicit RegistryStore(HKEY root = HKEY_CURRENT_USER, std::wstring base = L"Software",
                         HKEY machineRoot = HKEY_LOCAL_MACHINE,
                         std::wstring machineBase = L"Software");

  // A missing key or a value that is not REG_SZ, or is too long, gives `fallback`.
  std::string ReadSetting(std::string_view app, std::string_view section, std::string_view key,
                          std::string_view fallback) override;
  // The machine-wide value, read from the 64-bit view of the registry whatever the
  // program's own width, with the same rules as the user's; never written.
  std::optional<std::string> ReadMachineSetting(std::string_view app, std::string_view section,
                                                std::string_view key) override;
  // Writes the values in their order, as REG_SZ. A text that is too long or holds a NUL,
  // which would not read back unchanged, is refused like a write the registry refuses.
  // When one is refused, the values already written in
  // this save get their old type and data back, values and keys the save created are
  // removed again, and the failure says whether that fully succeeded.
  std::optional<settings::SaveFailure> SaveSettings(
      std::string_view app, std::string_view section,
      std::span<const settings::Setting> values) override;

  // Test seam: writes of this key fail with `error` as if the registry refused them.
  void InjectRefusal(std::string key, LSTATUS error = ERROR_ACCESS_DENIED) {
    refusedKey_ = std::move(key);
    refusal_ = error;
  }

 private:
  std::wstring KeyPath(std::string_view app, std::string_view section) const;
  std::wstring MachineKeyPath(std::string_view app, std::string_view section) const;
  LSTATUS SetText(HKEY key, std::string_view name, const std::wstring& text) const;

  HKEY root_;
  std::wstring base_;
  HKEY machineRoot_;
  std::wstring machineBase_;
  std::string refusedKey_;
  LSTATUS refusal_ = ERROR_SUCCESS;
};

}  // namespace zimoklas::win32

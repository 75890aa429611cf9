// In-memory settings store.
#include "settings/memory_store.hpp"

#include "settings/settings.hpp"

namespace zimoklas::settings {

std::string MemoryStore::ReadSetting(std::string_view app, std::string_view section,
                                     std::string_view key, std::string_view fallback) {
  ++reads_;
  const auto it = values_.find(Address{app, section, key});
  return it == values_.end() ? std::string(fallback) : it->second;
}

std::optional<std::string> MemoryStore::ReadMachineSetting(std::string_view app,
                                                           std::string_view section,
                                                           std::string_view key) {
  const auto it = machine_.find(Address{app, section, key});
  if (it == machine_.end()) return std::nullopt;
  return it->second;
}

std::optional<SaveFailure> MemoryStore::SaveSettings(std::string_view app, std::string_view section,
                                                     std::span<const Setting> values) {
  for (const Setting& setting : values) {
    if (Refuses(setting.key)) {
      return SaveFailure{std::string(setting.key), "the store refused the write", true};
    }
  }
  for (const Setting& setting : values) {
    values_[Address{app, section, setting.key}] = setting.value;
    writes_.push_back({std::string(app), std::string(section), std::string(setting.key),
                       std::string(setting.value)});
  }
  return std::nullopt;
}

void MemoryStore::Seed(std::string_view key, std::string_view value) {
  values_[Address{kApp, kSection, key}] = value;
}

void MemoryStore::SeedMachine(std::string_view key, std::string_view value) {
  machine_[Address{kApp, kSection, key}] = value;
}

std::optional<std::string> MemoryStore::Get(std::string_view key) const {
  const auto it = values_.find(Address{kApp, kSection, key});
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

}  // namespace zimoklas::settings

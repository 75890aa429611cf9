// Registry access for the settings store. Reads never create keys; a value is taken only
// when it is REG_SZ text of an acceptable length. A save that is refused halfway puts
// back what it had written.
#include "platform/win32/win32_store.hpp"

#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/win32_text.hpp"

namespace zimoklas::win32 {
namespace {

class KeyHandle {
 public:
  KeyHandle() = default;
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  ~KeyHandle() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY* out() { return &key_; }
  void Close() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

constexpr DWORD kMaxValueBytes =
    static_cast<DWORD>((RegistryStore::kMaxValueUnits + 1) * sizeof(wchar_t));

// The text of a REG_SZ value, cut at its first NUL; false when the value is missing,
// of another type or too long.
bool QueryText(HKEY key, const std::wstring& name, std::wstring& text) {
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      type != REG_SZ || bytes > kMaxValueBytes) {
    return false;
  }
  // One unit more than the value holds, for a terminator the value may lack.
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD got = bytes;
  // A value replaced between the two queries comes back as ERROR_MORE_DATA or as
  // another type; either reads as missing.
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &got) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  buffer[got / sizeof(wchar_t)] = L'\0';
  const std::wstring_view value(buffer.data());
  if (value.size() > RegistryStore::kMaxValueUnits) return false;
  text.assign(value);
  return true;
}

// A text the store would not read back unchanged: too long, or cut at a NUL.
bool Unstorable(const std::wstring& text) {
  return text.size() > RegistryStore::kMaxValueUnits || text.find(L'\0') != std::wstring::npos;
}

// The system's text for an error code, with its code.
std::string ErrorText(LSTATUS error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'.')) {
    text.pop_back();
  }
  std::string result = WideToUtf8(text);
  if (!result.empty()) result += ' ';
  result += '(';
  result += std::to_string(error);
  result += ')';
  return result;
}

// What a value held before a save: its type and raw data, or that it did not exist.
struct OldValue {
  std::wstring name;
  bool existed = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

LSTATUS Remember(HKEY key, OldValue& old) {
  DWORD bytes = 0;
  LSTATUS status = RegQueryValueExW(key, old.name.c_str(), nullptr, &old.type, nullptr, &bytes);
  if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (status != ERROR_SUCCESS) return status;
  old.data.resize(bytes);
  status = RegQueryValueExW(key, old.name.c_str(), nullptr, &old.type, old.data.data(), &bytes);
  if (status != ERROR_SUCCESS) return status;
  old.data.resize(bytes);
  old.existed = true;
  return ERROR_SUCCESS;
}

bool Restore(HKEY key, const OldValue& old) {
  if (!old.existed) {
    const LSTATUS status = RegDeleteValueW(key, old.name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  return RegSetValueExW(key, old.name.c_str(), 0, old.type, old.data.data(),
                        static_cast<DWORD>(old.data.size())) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& path) {
  KeyHandle handle;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, handle.out()) == ERROR_SUCCESS;
}

std::wstring JoinPath(const std::wstring& base, std::string_view app, std::string_view section) {
  std::wstring path = base;
  if (!path.empty()) path += L'\\';
  path += Utf8ToWide(app);
  path += L'\\';
  path += Utf8ToWide(section);
  return path;
}

// The REG_SZ text of the value under root\path, if there is one to take.
std::optional<std::string> ReadText(HKEY root, const std::wstring& path, REGSAM access,
                                    std::string_view key) {
  KeyHandle handle;
  if (RegOpenKeyExW(root, path.c_str(), 0, access, handle.out()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring text;
  if (!QueryText(handle.get(), Utf8ToWide(key), text)) return std::nullopt;
  return WideToUtf8(text);
}

}  // namespace

RegistryStore::RegistryStore(HKEY root, std::wstring base, HKEY machineRoot,
                             std::wstring machineBase)
    : root_(root),
      base_(std::move(base)),
      machineRoot_(machineRoot),
      machineBase_(std::move(machineBase)) {}

std::wstring RegistryStore::KeyPath(std::string_view app, std::string_view section) const {
  return JoinPath(base_, app, section);
}

std::wstring RegistryStore::MachineKeyPath(std::string_view app, std::string_view section) const {
  return JoinPath(machineBase_, app, section);
}

std::string RegistryStore::ReadSetting(std::string_view app, std::string_view section,
                                       std::string_view key, std::string_view fallback) {
  return ReadText(root_, KeyPath(app, section), KEY_QUERY_VALUE, key)
      .value_or(std::string(fallback));
}

std::optional<std::string> RegistryStore::ReadMachineSetting(std::string_view app,
                                                             std::string_view section,
                                                             std::string_view key) {
  return ReadText(machineRoot_, MachineKeyPath(app, section), KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                  key);
}

LSTATUS RegistryStore::SetText(HKEY key, std::string_view name, const std::wstring& text) const {
  if (!refusedKey_.empty() && name == refusedKey_) return refusal_;
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, Utf8ToWide(name).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

std::optional<settings::SaveFailure> RegistryStore::SaveSettings(
    std::string_view app, std::string_view section, std::span<const settings::Setting> values) {
  if (values.empty()) return std::nullopt;
  const auto refuse = [](std::string_view key, std::string reason) {
    return settings::SaveFailure{std::string(key), std::move(reason), true, false};
  };
  std::vector<std::wstring> texts;
  for (const settings::Setting& setting : values) {
    texts.push_back(Utf8ToWide(setting.value));
    if (Unstorable(texts.back())) {
      return refuse(setting.key, "the text is too long or holds a NUL character");
    }
  }

  // The keys of the path that do not exist yet, outermost first, to remove them again.
  const std::wstring path = KeyPath(app, section);
  std::vector<std::wstring> missing;
  for (std::size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
    const std::wstring prefix = path.substr(0, end);
    if (!KeyExists(root_, prefix)) missing.push_back(prefix);
    if (end == std::wstring::npos) break;
  }
  const auto removeCreatedKeys = [&] {
    bool removed = true;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
      const LSTATUS status = RegDeleteKeyW(root_, it->c_str());
      removed = removed && (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
    }
    return removed;
  };

  KeyHandle handle;
  const LSTATUS created =
      RegCreateKeyExW(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, handle.out(), nullptr);
  if (created != ERROR_SUCCESS) {
    settings::SaveFailure failure = refuse(values.front().key, ErrorText(created));
    failure.storeUnchanged = removeCreatedKeys();
    return failure;
  }

  std::vector<OldValue> written;
  for (std::size_t i = 0; i < values.size(); ++i) {
    OldValue old;
    old.name = Utf8ToWide(values[i].key);
    LSTATUS status = Remember(handle.get(), old);
    if (status == ERROR_SUCCESS) status = SetText(handle.get(), values[i].key, texts[i]);
    if (status == ERROR_SUCCESS) {
      written.push_back(std::move(old));
      continue;
    }
    settings::SaveFailure failure = refuse(values[i].key, ErrorText(status));
    bool restored = true;
    for (auto it = written.rbegin(); it != written.rend(); ++it) {
      restored = Restore(handle.get(), *it) && restored;
    }
    handle.Close();
    restored = removeCreatedKeys() && restored;
    failure.undone = !written.empty() && restored;
    failure.storeUnchanged = restored;
    return failure;
  }
  return std::nullopt;
}

}  // namespace zimoklas::win32

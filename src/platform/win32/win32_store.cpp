// Registry access for the settings store. Reads never create keys; a value is taken only
// when it is REG_SZ text of an acceptable length.
#include "platform/win32/win32_store.hpp"

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

}  // namespace

RegistryStore::RegistryStore(HKEY root, std::wstring base) : root_(root), base_(std::move(base)) {}

std::wstring RegistryStore::KeyPath(std::string_view app, std::string_view section) const {
  std::wstring path = base_;
  if (!path.empty()) path += L'\\';
  path += Utf8ToWide(app);
  path += L'\\';
  path += Utf8ToWide(section);
  return path;
}

std::string RegistryStore::ReadSetting(std::string_view app, std::string_view section,
                                       std::string_view key, std::string_view fallback) {
  KeyHandle handle;
  if (RegOpenKeyExW(root_, KeyPath(app, section).c_str(), 0, KEY_QUERY_VALUE, handle.out()) !=
      ERROR_SUCCESS) {
    return std::string(fallback);
  }
  std::wstring text;
  if (!QueryText(handle.get(), Utf8ToWide(key), text)) return std::string(fallback);
  return WideToUtf8(text);
}

bool RegistryStore::WriteSetting(std::string_view app, std::string_view section,
                                 std::string_view key, std::string_view value) {
  const std::wstring text = Utf8ToWide(value);
  if (text.size() > kMaxValueUnits || text.find(L'\0') != std::wstring::npos) return false;
  KeyHandle handle;
  if (RegCreateKeyExW(root_, KeyPath(app, section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, handle.out(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(handle.get(), Utf8ToWide(key).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

}  // namespace zimoklas::win32

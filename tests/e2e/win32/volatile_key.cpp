// Replaces HKEY_CURRENT_USER\Software\Ombra, and everything below it, with an empty
// volatile key. The registry cannot create a lasting key below a volatile one, so the
// settings store's writes are refused until the key is deleted: the end-to-end tests use
// this to see what the settings window does when saving fails.
// Exit status 0 when the volatile key is in place, 1 otherwise.
#include <windows.h>

int main() {
  const wchar_t* const key = L"Software\\Ombra";
  const LSTATUS deleted = RegDeleteTreeW(HKEY_CURRENT_USER, key);
  if (deleted == ERROR_SUCCESS) RegDeleteKeyW(HKEY_CURRENT_USER, key);
  HKEY created = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &created, &disposition) != ERROR_SUCCESS) {
    return 1;
  }
  RegCloseKey(created);
  return disposition == REG_CREATED_NEW_KEY ? 0 : 1;
}

// Narrowing the DLL search of the whole process.
#include "platform/win32/win32_dll_search.hpp"

#include <windows.h>

namespace zimoklas::win32 {

bool RestrictDllSearchToSystem32() {
  if (SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE) return true;
  // An empty DLL directory removes the current folder from the classic search order.
  return SetDllDirectoryW(L"") != FALSE;
}

}  // namespace zimoklas::win32

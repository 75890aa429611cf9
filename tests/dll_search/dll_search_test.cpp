// The program's DLL search, in a process of its own because it changes the search of the
// whole process: a DLL planted in the current folder loads before the start-up call and
// never after it, while the system's DLLs still do.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/win32_dll_search.hpp"

namespace zimoklas::win32 {
namespace {

std::wstring WinePath(const std::string& unixPath) {
  std::wstring path = L"Z:";
  for (const char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

TEST(DllSearch, ADllInTheCurrentFolderIsNotLoadedOnceRestricted) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring folder =
      std::wstring(temp) + L"zimoklas-dll-search-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring planted = folder + L"\\zimoklas_planted.dll";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(WinePath(ZIMOKLAS_PLANTED_DLL_PATH).c_str(), planted.c_str(), TRUE));
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));

  HMODULE before = LoadLibraryW(L"zimoklas_planted.dll");
  EXPECT_NE(before, nullptr) << "the usual search finds the current folder's DLL";
  if (before != nullptr) FreeLibrary(before);

  EXPECT_TRUE(RestrictDllSearchToSystem32());
  HMODULE after = LoadLibraryW(L"zimoklas_planted.dll");
  EXPECT_EQ(after, nullptr) << "loaded from the current folder";
  if (after != nullptr) FreeLibrary(after);
  HMODULE system = LoadLibraryW(L"version.dll");
  EXPECT_NE(system, nullptr) << "a system DLL no longer loads";
  if (system != nullptr) FreeLibrary(system);

  SetCurrentDirectoryW(previous);
  DeleteFileW(planted.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace zimoklas::win32

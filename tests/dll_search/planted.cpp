// A DLL that does nothing: a stranger's file left in the current folder under a name that
// a program might ask for.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE /*instance*/, DWORD /*reason*/, LPVOID /*reserved*/) {
  return TRUE;
}

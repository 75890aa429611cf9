// Where the program looks for DLLs that are loaded while it runs: only in System32, never
// in the current folder or beside the program file, where anyone could leave one.
#pragma once

namespace zimoklas::win32 {

// Limits every later DLL load of the process, the system's own delayed loads included,
// to System32. On a system without that choice, at least takes the current folder out of
// the search. False when neither could be set.
bool RestrictDllSearchToSystem32();

}  // namespace zimoklas::win32

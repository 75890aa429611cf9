// The argument text of the program's command line: what follows the program's own name.
#pragma once

#include <string_view>

namespace zimoklas::win32 {

// Skips the program name as the C runtime reads it (quotes group blanks into the name
// and are not part of it; the name ends at the first blank outside quotes), then the
// blanks and tabs after it. Returns the rest unchanged.
std::wstring_view ArgumentText(std::wstring_view commandLine);

}  // namespace zimoklas::win32

// Text conversion between the core's UTF-8 and the Windows API's UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace zimoklas::win32 {

// Invalid UTF-8 sequences become U+FFFD; the conversion never fails. Texts beyond the
// API's 2^31 - 1 units give the empty text.
std::wstring Utf8ToWide(std::string_view utf8);
// Unpaired surrogates become U+FFFD; the conversion never fails.
std::string WideToUtf8(std::wstring_view wide);

}  // namespace zimoklas::win32

// Splitting the program name off the command line.
#include "platform/win32/win32_command_line.hpp"

namespace zimoklas::win32 {

std::wstring_view ArgumentText(std::wstring_view commandLine) {
  const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  std::size_t i = 0;
  bool quoted = false;
  for (; i < commandLine.size(); ++i) {
    const wchar_t c = commandLine[i];
    if (c == L'"') {
      quoted = !quoted;
    } else if (!quoted && blank(c)) {
      break;
    }
  }
  while (i < commandLine.size() && blank(commandLine[i])) ++i;
  return commandLine.substr(i);
}

}  // namespace zimoklas::win32

// UTF-8/UTF-16 conversion and the command line's argument text.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_command_line.hpp"
#include "platform/win32/win32_text.hpp"

namespace zimoklas::win32 {
namespace {

TEST(Text, ConvertsBothWaysWithDiacriticsAndAstralCharacters) {
  const std::string utf8 = "\u0160\u0165astn\u00FD nov\u00FD rok \U0001F386";
  const std::wstring wide = L"\u0160\u0165astn\u00FD nov\u00FD rok \U0001F386";
  EXPECT_EQ(Utf8ToWide(utf8), wide);
  EXPECT_EQ(WideToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(Text, UndecodableInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToWide("a\xFF"
                       "b"),
            L"a\uFFFDb");
  EXPECT_EQ(Utf8ToWide("\xC3"), L"\uFFFD") << "a cut-off sequence";
  const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
  EXPECT_EQ(WideToUtf8(lone), "a\uFFFDb");
}

TEST(CommandLine, ArgumentTextFollowsTheProgramName) {
  EXPECT_EQ(ArgumentText(L"\"C:\\Windows\\System32\\Zimoklas.scr\" /s"), L"/s");
  EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\Zimoklas.scr\" /p 65552"), L"/p 65552");
  EXPECT_EQ(ArgumentText(L"C:\\Windows\\Zimoklas.scr /c:1234"), L"/c:1234");
  EXPECT_EQ(ArgumentText(L"Zimoklas.scr  \t /S  "), L"/S  ") << "blanks after it are kept";
  EXPECT_EQ(ArgumentText(L"\"C:\\a b\"c.scr /s"), L"/s") << "quotes only group blanks";
  EXPECT_EQ(ArgumentText(L"\"C:\\Program Files\\Zimoklas.scr\""), L"");
  EXPECT_EQ(ArgumentText(L"Zimoklas.scr"), L"");
  EXPECT_EQ(ArgumentText(L"\"C:\\unclosed /s"), L"") << "an unclosed quote takes the rest";
  EXPECT_EQ(ArgumentText(L""), L"");
}

}  // namespace
}  // namespace zimoklas::win32

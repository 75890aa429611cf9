// Date and time texts from GetDateFormatEx (short date) and GetTimeFormatEx (long time)
// in the user's locale; each reads the current time when it is called.
#include "platform/win32/win32_clock.hpp"

#include <windows.h>

#include <array>

#include "platform/win32/win32_text.hpp"

namespace zimoklas::win32 {
namespace {

constexpr int kBufferUnits = 128;  // formats are limited to 80 characters

std::string Format(int written, const wchar_t* buffer) {
  // An unusable format gives an empty line rather than stale or partial text.
  if (written <= 1) return {};
  return WideToUtf8(std::wstring_view(buffer, static_cast<std::size_t>(written - 1)));
}

}  // namespace

std::string Win32Clock::ShortDate() {
  std::array<wchar_t, kBufferUnits> buffer{};
  const int written = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr,
                                      buffer.data(), kBufferUnits, nullptr);
  return Format(written, buffer.data());
}

std::string Win32Clock::LongTime() {
  std::array<wchar_t, kBufferUnits> buffer{};
  const int written =
      GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, buffer.data(), kBufferUnits);
  return Format(written, buffer.data());
}

int Win32Clock::CurrentYear() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return now.wYear;
}

std::uint64_t Win32Clock::SeedFromTimeOfDay() {
  // The local time of day in 100-nanosecond units.
  SYSTEMTIME now{};
  GetLocalTime(&now);
  FILETIME local{};
  SystemTimeToFileTime(&now, &local);
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(local.dwHighDateTime) << 32U) | local.dwLowDateTime;
  constexpr std::uint64_t kTicksPerDay = 864000000000ULL;
  return ticks % kTicksPerDay;
}

}  // namespace zimoklas::win32

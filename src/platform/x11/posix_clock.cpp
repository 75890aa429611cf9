// Date and time texts through strftime in the locale the program set from its
// environment; each reads the current time when it is called.
#include "platform/x11/posix_clock.hpp"

#include <array>
#include <ctime>

namespace zimoklas::x11 {
namespace {

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string Format(const char* format) {
  const std::tm local = LocalNow();
  std::array<char, 128> buffer{};
  // A format that does not fit gives an empty line rather than partial text.
  const std::size_t written = std::strftime(buffer.data(), buffer.size(), format, &local);
  return {buffer.data(), written};
}

}  // namespace

std::string PosixClock::ShortDate() {
  return Format("%x");
}

std::string PosixClock::LongTime() {
  return Format("%X");
}

int PosixClock::CurrentYear() {
  return LocalNow().tm_year + 1900;
}

std::uint64_t PosixClock::SeedFromTimeOfDay() {
  // The local time of day in 100-nanosecond units.
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  const std::uint64_t seconds = static_cast<std::uint64_t>(local.tm_hour) * 3600U +
                                static_cast<std::uint64_t>(local.tm_min) * 60U +
                                static_cast<std::uint64_t>(local.tm_sec);
  return seconds * 10000000ULL + static_cast<std::uint64_t>(now.tv_nsec / 100);
}

}  // namespace zimoklas::x11

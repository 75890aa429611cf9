// The clock on POSIX systems: the date and time texts in the formats of the user's
// locale (LC_TIME), the year, and a seed from the time of day.
#pragma once

#include "saver/saver_platform.hpp"

namespace zimoklas::x11 {

class PosixClock final : public saver::Clock {
 public:
  // The locale's short date (strftime's %x).
  std::string ShortDate() override;
  // The locale's time with seconds (strftime's %X).
  std::string LongTime() override;
  int CurrentYear() override;
  std::uint64_t SeedFromTimeOfDay() override;
};

}  // namespace zimoklas::x11

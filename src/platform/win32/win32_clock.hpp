// The clock on Windows: date and time texts in the user's locale, the year, and the
// random generator's seed from the time of day.
#pragma once

#include "saver/saver_platform.hpp"

namespace zimoklas::win32 {

class Win32Clock final : public saver::Clock {
 public:
  std::string ShortDate() override;
  std::string LongTime() override;
  int CurrentYear() override;
  std::uint64_t SeedFromTimeOfDay() override;
};

}  // namespace zimoklas::win32

// The six shared settings variables, one instance per process. Start-up fills them from
// the store; the settings window's sliders and check box change some of them.
#pragma once

#include <cstdint>
#include <string>

#include "common/types.hpp"

namespace zimoklas::settings {

struct Module1 {
  std::uint8_t SnowRed = 0;
  std::uint8_t SnowGreen = 0;
  std::uint8_t SnowBlue = 0;
  std::string GreetingText;
  std::string SecondText;
  VbBool UsePfYear = kFalse;
};

}  // namespace zimoklas::settings

// Value types shared by every part of the core: colour values, the 16-bit boolean
// the stored flags use, and the rounding rule for turning positions into pixels.
#pragma once

#include <cmath>
#include <cstdint>

namespace zimoklas {

// A colour value 0x00BBGGRR.
using Colour = std::uint32_t;

constexpr Colour MakeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<Colour>(red) | (static_cast<Colour>(green) << 8) |
         (static_cast<Colour>(blue) << 16);
}
constexpr std::uint8_t RedOf(Colour c) {
  return static_cast<std::uint8_t>(c & 0xFF);
}
constexpr std::uint8_t GreenOf(Colour c) {
  return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
constexpr std::uint8_t BlueOf(Colour c) {
  return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}

// 16-bit boolean: true has all bits set.
using VbBool = std::int16_t;
inline constexpr VbBool kTrue = -1;
inline constexpr VbBool kFalse = 0;
constexpr VbBool ToVbBool(bool b) {
  return b ? kTrue : kFalse;
}

// Nearest whole number, ties to even (0.5 -> 0, 1.5 -> 2, 127.5 -> 128). Relies on the
// default floating-point rounding mode, which nothing in this program changes; with
// -fno-math-errno it compiles to a single conversion instruction.
inline std::int32_t RoundToInt32(double v) {
  return static_cast<std::int32_t>(std::lrint(v));
}
inline double RoundHalfEven(double v) {
  return std::nearbyint(v);
}

}  // namespace zimoklas

// Names, defaults, conversions and save formats of the six stored settings.
//
// The readers take exactly what the save writes. Anything else that is stored (text that
// is not a number, a colour that rounds outside 0..255, a check-box state outside 0..2)
// falls back to that key's default, key by key, so a damaged store never stops the
// program and never reaches a control with a value it cannot hold.
//
// Each key is taken from the first of three levels that holds a value the reader takes:
// the user's stored value, the machine-wide default, the design's default. A machine-wide
// value that does not convert counts as missing, exactly like a user's value that does not.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/module1.hpp"
#include "settings/store.hpp"

namespace zimoklas::settings {

inline constexpr std::string_view kApp = "Ombra";
inline constexpr std::string_view kSection = "Zimoklas";

inline constexpr std::string_view kKeySnihR = "SnihR";
inline constexpr std::string_view kKeySnihG = "SnihG";
inline constexpr std::string_view kKeySnihB = "SnihB";
inline constexpr std::string_view kKeyText1 = "Text1";
inline constexpr std::string_view kKeyText2 = "Text2";
inline constexpr std::string_view kKeyPf = "pf";

inline constexpr std::string_view kDefaultColour = "255";
inline constexpr std::string_view kDefaultGreeting = "Veselé vánoce a šťastný nový rok...";
inline constexpr std::string_view kDefaultSecondText = "P.F.";
inline constexpr std::string_view kDefaultPf = "1";

// Check-box states as stored under `pf`.
inline constexpr std::int16_t kUnchecked = 0;
inline constexpr std::int16_t kChecked = 1;
inline constexpr std::int16_t kGrayed = 2;

// Decimal number, independent of the user's locale: optional blanks around it, an
// optional sign, digits with an optional point and exponent. No hex, no NaN or infinity.
// A value too small for the type is zero, as the decimal conversion gives it ("1e-50" as
// a float); one too large for it is not a number the readers take.
std::optional<double> ParseDouble(std::string_view text);
std::optional<float> ParseFloat(std::string_view text);

// Colour text -> 32-bit float -> byte, nearest with ties to even; nullopt outside 0..255.
std::optional<std::uint8_t> ParseColourByte(std::string_view text);
// `pf` as the settings window reads it: nearest 16-bit integer, ties to even; nullopt
// unless it is a check-box state 0..2.
std::optional<std::int16_t> ParseCheckState(std::string_view text);
// `pf` as start-up reads it: true exactly when the 64-bit value equals 1. Text that the
// window's reader would not take is nullopt, so both readers fall back together.
std::optional<VbBool> ParsePfAtStartup(std::string_view text);

// The readers, each with its key's default, through the three levels.
std::uint8_t ReadColour(Store& store, std::string_view key);
std::string ReadText(Store& store, std::string_view key, std::string_view fallback);
VbBool ReadPfAtStartup(Store& store);
std::int16_t ReadCheckState(Store& store);

// Start-up read: the six keys in their order into the shared variables.
void ReadStartupSettings(Store& store, Module1& module);

// The save formats: a byte and a check-box state as plain decimal text.
std::string FormatByte(std::uint8_t value);
std::string FormatCheckState(std::int16_t state);

// What the settings window writes on "OK".
struct SavedValues {
  std::uint8_t red = 255;
  std::uint8_t green = 255;
  std::uint8_t blue = 255;
  std::string text1;
  std::string text2;
  std::int16_t checkState = kChecked;
};

// Saves all six keys, in their order, as one save of the store. Returns why the store
// refused it, or nullopt when all six are stored.
std::optional<SaveFailure> WriteAll(Store& store, const SavedValues& values);

}  // namespace zimoklas::settings

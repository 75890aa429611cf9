// Conversions between stored texts and the shared settings variables.
#include "settings/settings.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>
#include <utility>

#include "common/types.hpp"

namespace zimoklas::settings {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Whether a decimal number (digits, an optional point, an optional exponent) is smaller
// than 1 in magnitude: its first significant digit, moved by the exponent, stands after
// the point. Tells an underflow from an overflow when the value does not fit the type.
bool BelowOne(std::string_view number) {
  long long power = 0;
  bool seen = false;  // a significant digit
  bool afterPoint = false;
  std::size_t i = 0;
  for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
    const char c = number[i];
    if (c == '.') {
      afterPoint = true;
    } else if (afterPoint) {
      if (!seen) --power;
      if (c != '0') seen = true;
    } else if (seen || c != '0') {
      if (seen) ++power;
      seen = true;
    }
  }
  if (!seen) return true;  // all zeros
  if (i < number.size()) {
    std::string_view exponent = number.substr(i + 1);
    const bool negative = !exponent.empty() && exponent.front() == '-';
    if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+')) {
      exponent.remove_prefix(1);
    }
    long long magnitude = 0;
    constexpr long long kFarBeyondAnyType = 1'000'000'000;
    for (const char c : exponent)
      magnitude = std::min(magnitude * 10 + (c - '0'), kFarBeyondAnyType);
    power += negative ? -magnitude : magnitude;
  }
  return power < 0;
}

template <typename T>
std::optional<T> ParseDecimal(std::string_view text) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // Only digits or a point may start the number: this keeps out "nan", "inf" and a
  // second sign, which std::from_chars would otherwise take.
  if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.')) {
    return std::nullopt;
  }
  T value{};
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
  if (result.ptr != end) return std::nullopt;
  if (result.ec == std::errc::result_out_of_range && BelowOne(text)) {
    value = T{0};  // too small for the type: the decimal conversion gives zero
  } else if (result.ec != std::errc{} || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace

std::optional<double> ParseDouble(std::string_view text) {
  return ParseDecimal<double>(text);
}
std::optional<float> ParseFloat(std::string_view text) {
  return ParseDecimal<float>(text);
}

std::optional<std::uint8_t> ParseColourByte(std::string_view text) {
  const std::optional<float> value = ParseFloat(text);
  if (!value) return std::nullopt;
  const double rounded = RoundHalfEven(static_cast<double>(*value));
  if (rounded < 0.0 || rounded > 255.0) return std::nullopt;
  return static_cast<std::uint8_t>(rounded);
}

std::optional<std::int16_t> ParseCheckState(std::string_view text) {
  const std::optional<double> value = ParseDouble(text);
  if (!value) return std::nullopt;
  const double rounded = RoundHalfEven(*value);
  if (rounded < kUnchecked || rounded > kGrayed) return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

std::optional<VbBool> ParsePfAtStartup(std::string_view text) {
  if (!ParseCheckState(text)) return std::nullopt;
  return ToVbBool(*ParseDouble(text) == 1.0);
}

namespace {

// The key's value through the levels: the user's, else the machine-wide one, else the
// design's default. `parse` says whether a level's text is taken. The machine-wide level
// is looked at first so that it can stand in as the user's fallback.
template <typename Parse>
auto ReadLevels(Store& store, std::string_view key, std::string_view designDefault, Parse parse) {
  std::string fallback(designDefault);
  if (std::optional<std::string> machine = store.ReadMachineSetting(kApp, kSection, key);
      machine && parse(*machine)) {
    fallback = std::move(*machine);
  }
  const std::string text = store.ReadSetting(kApp, kSection, key, fallback);
  if (auto value = parse(text)) return *value;
  if (auto value = parse(fallback)) return *value;
  return *parse(designDefault);
}

}  // namespace

std::uint8_t ReadColour(Store& store, std::string_view key) {
  return ReadLevels(store, key, kDefaultColour, ParseColourByte);
}

std::string ReadText(Store& store, std::string_view key, std::string_view fallback) {
  return ReadLevels(store, key, fallback,
                    [](std::string_view text) { return std::optional<std::string>(text); });
}

VbBool ReadPfAtStartup(Store& store) {
  return ReadLevels(store, kKeyPf, kDefaultPf, ParsePfAtStartup);
}

std::int16_t ReadCheckState(Store& store) {
  return ReadLevels(store, kKeyPf, kDefaultPf, ParseCheckState);
}

void ReadStartupSettings(Store& store, Module1& module) {
  module.SnowRed = ReadColour(store, kKeySnihR);
  module.SnowGreen = ReadColour(store, kKeySnihG);
  module.SnowBlue = ReadColour(store, kKeySnihB);
  module.GreetingText = ReadText(store, kKeyText1, kDefaultGreeting);
  module.SecondText = ReadText(store, kKeyText2, kDefaultSecondText);
  module.UsePfYear = ReadPfAtStartup(store);
}

std::string FormatByte(std::uint8_t value) {
  return std::to_string(value);
}
std::string FormatCheckState(std::int16_t state) {
  return std::to_string(state);
}

std::optional<SaveFailure> WriteAll(Store& store, const SavedValues& values) {
  const std::string red = FormatByte(values.red);
  const std::string green = FormatByte(values.green);
  const std::string blue = FormatByte(values.blue);
  const std::string pf = FormatCheckState(values.checkState);
  const Setting settings[] = {{kKeySnihR, red},          {kKeySnihG, green},
                              {kKeySnihB, blue},         {kKeyText1, values.text1},
                              {kKeyText2, values.text2}, {kKeyPf, pf}};
  return store.SaveSettings(kApp, kSection, settings);
}

}  // namespace zimoklas::settings

// Reading the draws file. Values are parsed by strtof, which rounds a decimal to the
// nearest float; the tool never changes the C locale, so the point is always '.'.
#include "draws_file.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace zimoklas::render {

namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Digits with an optional sign, point and exponent; no names (inf, nan) and no hex.
bool LooksDecimal(std::string_view text) {
  bool digit = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-') {
      return false;
    }
  }
  return digit;
}

// True when a '-' sign stands before a mantissa that is not all zeros.
bool Negative(std::string_view text) {
  if (text.empty() || text.front() != '-') return false;
  for (const char c : text.substr(1)) {
    if (c == 'e' || c == 'E') break;
    if (c >= '1' && c <= '9') return true;
  }
  return false;
}

}  // namespace

std::optional<float> ParseDraw(std::string_view text) {
  text = Trim(text);
  if (!LooksDecimal(text) || Negative(text)) return std::nullopt;
  const std::string copy(text);
  char* end = nullptr;
  errno = 0;
  const float value = std::strtof(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return std::nullopt;
  if (errno == ERANGE && std::isinf(value)) return std::nullopt;
  // An underflow rounds to zero or a tiny value, both of which are fine draws.
  if (!(value >= 0.0f && value < 1.0f)) return std::nullopt;
  return value == 0.0f ? 0.0f : value;  // no negative zero
}

std::variant<std::vector<float>, std::string> ReadDraws(std::istream& in) {
  std::vector<float> draws;
  std::string line;
  for (std::size_t number = 1; std::getline(in, line); ++number) {
    const std::optional<float> draw = ParseDraw(line);
    if (!draw) {
      return "draws file line " + std::to_string(number) + ": '" + std::string(Trim(line)) +
             "' is not a decimal value in [0, 1)";
    }
    draws.push_back(*draw);
  }
  if (in.bad()) return std::string("draws file could not be read");
  return draws;
}

}  // namespace zimoklas::render

// The render tool's draws file: one decimal value in [0, 1) per line, each taken as the
// nearest single-precision value.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zimoklas::render {

// The nearest float to one decimal value in [0, 1), or nothing if the text is not such a
// value (or its nearest float is 1).
std::optional<float> ParseDraw(std::string_view text);

// All draws of a file, or a one-line message naming the first bad line.
std::variant<std::vector<float>, std::string> ReadDraws(std::istream& in);

}  // namespace zimoklas::render

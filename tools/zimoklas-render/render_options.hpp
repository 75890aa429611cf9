// The render tool's command line: frame size, tick count, snow colour, where the draws
// come from, and where the log and the picture go.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "common/types.hpp"

namespace zimoklas::render {

inline constexpr std::int32_t kMaxSide = 8192;
// Ticks between two frames of the GIF by default: 50 ms, 20 frames a second.
inline constexpr std::uint64_t kDefaultGifStep = 10;

struct RenderOptions {
  std::int32_t width = 1920;
  std::int32_t height = 1080;
  std::uint64_t ticks = 1000;
  Colour snow = 0xFFFFFF;
  std::optional<std::uint64_t> seed;     // none: seeded from the clock
  std::optional<std::string> drawsFile;  // replaces the generator
  std::optional<std::string> logFile;    // "-" is standard output
  std::optional<std::string> pngFile;
  std::optional<std::string> gifFile;
  std::uint64_t gifStep = kDefaultGifStep;  // a frame after every this many ticks
  bool help = false;
};

// The options, or a one-line message saying what is wrong with them.
std::variant<RenderOptions, std::string> ParseOptions(std::span<const std::string_view> args);

extern const std::string_view kUsage;

}  // namespace zimoklas::render

// Parsing of the render tool's options. Every value is checked in full; anything left
// over or out of range is an error.
#include "render_options.hpp"

#include <array>
#include <charconv>
#include <string>
#include <system_error>

namespace zimoklas::render {

const std::string_view kUsage =
    "usage: zimoklas-render [--size WxH] [--ticks N] [--snow R,G,B]\n"
    "                       [--seed N | --draws FILE] [--log FILE|-] [--png FILE]\n"
    "                       [--gif FILE [--gif-step N]]\n"
    "Runs the fireworks and snow animation on an in-memory frame (default 1920x1080,\n"
    "1000 ticks, white snow, seeded from the clock). --draws replays one value in [0, 1)\n"
    "per line instead of the generator. --log writes 'tick N' before each tick and one\n"
    "'X Y COLOUR' line per pixel write (COLOUR is 0x00BBGGRR in decimal, 0 erases).\n"
    "--png writes the frame after the last tick. --gif writes an animated GIF with a\n"
    "frame after every N ticks (--gif-step, default 10; each frame shows for N x 5 ms,\n"
    "at least 4 ticks). Exit status: 0 done, 1 an output could not be written, 2 a bad\n"
    "option or draws file.\n";

namespace {

// Browsers show frames of less than 2 centiseconds for 10; a GIF's delay ends at 65535.
constexpr std::uint64_t kMinGifStep = 4;
constexpr std::uint64_t kMaxGifStep = 100000;

template <class T>
std::optional<T> ParseNumber(std::string_view text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

// Splits "A<sep>B<sep>..." into exactly `count` parts.
template <std::size_t N>
std::optional<std::array<std::string_view, N>> Split(std::string_view text, char sep) {
  std::array<std::string_view, N> parts;
  for (std::size_t i = 0; i < N; ++i) {
    const std::size_t at = i + 1 < N ? text.find(sep) : std::string_view::npos;
    if (i + 1 < N && at == std::string_view::npos) return std::nullopt;
    parts[i] = text.substr(0, at);
    text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
  }
  if (parts[N - 1].find(sep) != std::string_view::npos) return std::nullopt;
  return parts;
}

std::optional<std::string> ApplySize(RenderOptions& o, std::string_view value) {
  const auto parts = Split<2>(value, 'x');
  if (parts) {
    const auto w = ParseNumber<std::int32_t>((*parts)[0]);
    const auto h = ParseNumber<std::int32_t>((*parts)[1]);
    if (w && h && *w >= 1 && *h >= 1 && *w <= kMaxSide && *h <= kMaxSide) {
      o.width = *w;
      o.height = *h;
      return std::nullopt;
    }
  }
  return "--size wants WIDTHxHEIGHT, each from 1 to " + std::to_string(kMaxSide) + ", not '" +
         std::string(value) + "'";
}

std::optional<std::string> ApplySnow(RenderOptions& o, std::string_view value) {
  const auto parts = Split<3>(value, ',');
  if (parts) {
    const auto r = ParseNumber<unsigned>((*parts)[0]);
    const auto g = ParseNumber<unsigned>((*parts)[1]);
    const auto b = ParseNumber<unsigned>((*parts)[2]);
    if (r && g && b && *r <= 255 && *g <= 255 && *b <= 255) {
      o.snow = MakeColour(static_cast<std::uint8_t>(*r), static_cast<std::uint8_t>(*g),
                          static_cast<std::uint8_t>(*b));
      return std::nullopt;
    }
  }
  return "--snow wants R,G,B, each from 0 to 255, not '" + std::string(value) + "'";
}

std::optional<std::string> ApplyCount(std::optional<std::uint64_t>& into, std::string_view name,
                                      std::string_view value) {
  const auto n = ParseNumber<std::uint64_t>(value);
  if (!n) {
    return std::string(name) + " wants a whole number from 0 up, not '" + std::string(value) + "'";
  }
  into = *n;
  return std::nullopt;
}

}  // namespace

std::variant<RenderOptions, std::string> ParseOptions(std::span<const std::string_view> args) {
  RenderOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    std::optional<std::string_view> value;
    if (const std::size_t eq = name.find('='); name.starts_with("--") && eq != name.npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (name == "--help" || name == "-h") {
      o.help = true;
      continue;
    }
    static constexpr std::string_view kTakesValue[] = {"--size", "--ticks", "--snow",
                                                       "--seed", "--draws", "--log",
                                                       "--png",  "--gif",   "--gif-step"};
    bool known = false;
    for (std::string_view option : kTakesValue) known = known || name == option;
    if (!known) return "unknown option '" + std::string(args[i]) + "' (see --help)";
    if (!value) {
      if (i + 1 == args.size()) return std::string(name) + " needs a value";
      value = args[++i];
    }

    std::optional<std::string> error;
    if (name == "--size") {
      error = ApplySize(o, *value);
    } else if (name == "--snow") {
      error = ApplySnow(o, *value);
    } else if (name == "--ticks") {
      std::optional<std::uint64_t> ticks;
      error = ApplyCount(ticks, name, *value);
      if (ticks) o.ticks = *ticks;
    } else if (name == "--seed") {
      error = ApplyCount(o.seed, name, *value);
    } else if (name == "--gif-step") {
      std::optional<std::uint64_t> step;
      error = ApplyCount(step, name, *value);
      if (step && (*step < kMinGifStep || *step > kMaxGifStep)) {
        error = "--gif-step wants " + std::to_string(kMinGifStep) + " to " +
                std::to_string(kMaxGifStep) + " ticks, not '" + std::string(*value) + "'";
      }
      if (step) o.gifStep = *step;
    } else if (value->empty()) {
      error = std::string(name) + " needs a file name";
    } else if (name == "--draws") {
      o.drawsFile = std::string(*value);
    } else if (name == "--log") {
      o.logFile = std::string(*value);
    } else if (name == "--gif") {
      o.gifFile = std::string(*value);
    } else {
      o.pngFile = std::string(*value);
    }
    if (error) return *error;
  }
  if (o.seed && o.drawsFile) return std::string("--seed and --draws exclude each other");
  if (o.gifFile && o.ticks < o.gifStep) {
    return "--gif needs at least one frame: --ticks " + std::to_string(o.ticks) +
           " is less than --gif-step " + std::to_string(o.gifStep);
  }
  return o;
}

}  // namespace zimoklas::render

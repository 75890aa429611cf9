// zimoklas-soak TICKS [--width W] [--height H] [--seed S]: runs the saver scene headlessly
// and checks it as it goes. Exit status 0 when nothing was found, 1 on a fault, 2 on bad
// arguments.
#include <charconv>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <string_view>
#include <system_error>
#include <vector>

#include "soak.hpp"

namespace {

template <class T>
bool ParseWhole(std::string_view text, T min, T& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc{} && result.ptr == text.data() + text.size() && value >= min;
}

constexpr std::string_view kUsage =
    "usage: zimoklas-soak TICKS [--width W] [--height H] [--seed S]\n";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  zimoklas::soak::SoakOptions options;
  if (args.empty() || !ParseWhole<std::uint64_t>(args[0], 1, options.ticks)) {
    std::cerr << kUsage;
    return 2;
  }
  for (std::size_t i = 1; i < args.size(); i += 2) {
    const bool hasValue = i + 1 < args.size();
    bool ok = false;
    if (hasValue && args[i] == "--width")
      ok = ParseWhole<std::int32_t>(args[i + 1], 1, options.width);
    if (hasValue && args[i] == "--height") {
      ok = ParseWhole<std::int32_t>(args[i + 1], 1, options.height);
    }
    if (hasValue && args[i] == "--seed")
      ok = ParseWhole<std::uint64_t>(args[i + 1], 0, options.seed);
    if (!ok || options.width > 16384 || options.height > 16384) {
      std::cerr << "zimoklas-soak: bad option '" << args[i] << "'\n" << kUsage;
      return 2;
    }
  }
  const auto start = std::chrono::steady_clock::now();
  const zimoklas::soak::SoakReport report = zimoklas::soak::RunSoak(options, &std::cout);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  zimoklas::soak::PrintReport(report, elapsed.count(), std::cout);
  return report.faults.empty() ? 0 : 1;
}

// A long headless run of the saver scene: the real start-up, tick and clock refresh on an
// in-memory window, with the animation's state and every pixel write checked.
#pragma once

#include <climits>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace zimoklas::soak {

struct SoakOptions {
  std::uint64_t ticks = 0;
  std::int32_t width = 1920;
  std::int32_t height = 1080;
  std::uint64_t seed = 1;
  std::uint64_t checkEvery = 1000;  // ticks between checks of the pools
};

struct SoakReport {
  std::uint64_t ticks = 0;
  std::uint64_t poolChecks = 0;
  std::uint64_t writes = 0;          // every pixel write checked
  std::uint64_t writesInside = 0;    // inside the window
  std::uint64_t writesInMargin = 0;  // outside it, within the 2-pixel margin
  std::uint64_t writesBeyond = 0;    // farther out: sparks and flakes that left the view
  std::uint64_t rocketWrites = 0;    // all of them within the margin
  std::int32_t minX = INT32_MAX, maxX = INT32_MIN;  // extremes of all writes
  std::int32_t minY = INT32_MAX, maxY = INT32_MIN;
  std::size_t maxSparks = 0;
  std::size_t maxFlakes = 0;
  std::uint64_t bursts = 0;
  std::vector<std::string> faults;  // the first few, each with its tick
};

// Runs the soak; with `progress`, prints the figures so far every million ticks.
SoakReport RunSoak(const SoakOptions& options, std::ostream* progress = nullptr);
void PrintReport(const SoakReport& report, double seconds, std::ostream& out);

}  // namespace zimoklas::soak

// The saver's scene as the end-to-end tests of both programs see it on a 1920 x 1080
// display at 96 DPI: its colours, the bands its text lines occupy, and what ending it or
// not ending it looks like.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "e2e_harness.hpp"

namespace zimoklas::e2e {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kNoticeRed{192, 0, 0};
constexpr const char* kSceneTitle = "Zimoklas";

// Bands from the design's label tops: the clock line at 8 pixels, the greeting at 72, the
// large line at 88 (its glyphs start lower).
constexpr Box kClockBand{0, 0, 1920, 60};
constexpr Box kGreetingBand{0, 60, 1920, 112};
constexpr Box kLargeBand{0, 112, 1920, 330};
constexpr Box kNoticeCorner{1400, 1030, 1920, 1080};
constexpr Box kSky{0, 330, 1920, 1040};
// A point on the large line, whichever text it shows, and one in the open sky.
constexpr int kLargeX = 960, kLargeY = 200;
constexpr int kSkyX = 300, kSkyY = 700;

// The input ends the saver within a second, with exit status 0 and no window left.
template <class Input>
void ExpectSaverEndsOn(Process& saver, Screen& screen, Input input) {
  const auto start = Clock::now();
  input();
  const std::optional<int> status = saver.WaitForExit(std::chrono::seconds(1));
  const auto took = std::chrono::duration_cast<Milliseconds>(Clock::now() - start);
  ASSERT_TRUE(status.has_value()) << "still running 1 s after the input";
  EXPECT_EQ(*status, 0);
  EXPECT_LE(took.count(), 1000);
  EXPECT_EQ(screen.CountMappedWindows(kSceneTitle), 0);
}

// The saver still runs once `settle` has passed since the input.
inline void ExpectSaverStillRunning(Process& saver, Milliseconds settle, const char* after) {
  std::this_thread::sleep_for(settle);
  EXPECT_TRUE(saver.Running()) << "ended after " << after;
}

}  // namespace zimoklas::e2e

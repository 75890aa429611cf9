// The settings window as the end-to-end tests of both programs see it: its title, its
// design sizes, the points the tests click (in twips of the client area), and what its
// ending looks like.
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "e2e_harness.hpp"

namespace zimoklas::e2e {

constexpr const char* kSettingsTitle = "Zimoklas  by Ombra Software";
// The client area, and the client heights that the fold sets.
constexpr int kClientWidth = 4455;
constexpr int kClientHeight = 3105;
constexpr int kUnfoldedClientHeight = 5610;

struct TwipsPoint {
  int x, y;
};
// The centres of Default, OK and the chevron.
constexpr TwipsPoint kDefaultButton{120 + 547, 2640 + 187};
constexpr TwipsPoint kOkButton{2040 + 547, 2640 + 187};
constexpr TwipsPoint kChevron{1380 + 240, 2640 + 187};

// The program ends within `timeout` with status 0, its window gone.
inline void ExpectSettingsEnded(Process& program, Screen& screen, Milliseconds timeout) {
  const std::optional<int> status = program.WaitForExit(timeout);
  ASSERT_TRUE(status.has_value()) << "the program is still running";
  EXPECT_EQ(*status, 0);
  EXPECT_EQ(screen.CountMappedWindows(kSettingsTitle), 0);
}

}  // namespace zimoklas::e2e

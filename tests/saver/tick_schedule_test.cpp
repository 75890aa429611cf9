// The timers' deadlines: a fixed period without drift, and missed ticks given up after a
// stall instead of being run back to back.
#include "saver/tick_schedule.hpp"

#include <gtest/gtest.h>

namespace zimoklas::saver {
namespace {

using std::chrono::milliseconds;

TEST(TickSchedule, DeadlinesKeepThePeriodAndAStallSkipsTheMissedTicks) {
  TickSchedule ticks(milliseconds(5), milliseconds(100), milliseconds(20));
  EXPECT_FALSE(ticks.Due(milliseconds(104)));
  EXPECT_TRUE(ticks.Due(milliseconds(105)));
  // A tick run 3 ms late keeps the next deadline on the grid: no drift.
  EXPECT_EQ(ticks.Advance(milliseconds(108)), 0U);
  EXPECT_EQ(ticks.next(), milliseconds(110));
  // Late by less than the allowed lag: caught up one tick at a time.
  EXPECT_EQ(ticks.Advance(milliseconds(128)), 0U);
  EXPECT_EQ(ticks.next(), milliseconds(115));
  // A stall of a second: the ticks in between are given up, and the next one comes a
  // period after the wake-up.
  EXPECT_EQ(ticks.Advance(milliseconds(1115)), 199U);
  EXPECT_EQ(ticks.next(), milliseconds(1120));
}

TEST(TickSchedule, WithoutLagAMissedDeadlineMovesPastNow) {
  TickSchedule clock(milliseconds(1000), milliseconds(0), milliseconds(0));
  clock.Advance(milliseconds(1000));
  EXPECT_EQ(clock.next(), milliseconds(2000));
  clock.Advance(milliseconds(4500));
  EXPECT_EQ(clock.next(), milliseconds(5500));
}

}  // namespace
}  // namespace zimoklas::saver

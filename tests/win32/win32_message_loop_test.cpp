// The message loop's tick schedule: ticks come until WM_QUIT, whose code is returned, and a
// loop that falls far behind runs a few missed ticks and gives up the rest.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>

#include "platform/win32/win32_message_loop.hpp"

namespace zimoklas::win32 {
namespace {

using std::chrono::microseconds;

TEST(MessageLoop, TicksUntilQuitAndReturnsItsCode) {
  int ticks = 0;
  TickStats stats;
  const int code = RunMessageLoop(
      [&] {
        if (++ticks == 20) PostQuitMessage(7);
      },
      microseconds(5000), &stats);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(ticks, 20) << "no tick after the quit message";
  EXPECT_EQ(stats.delivered, 20u);
}

TEST(MessageLoop, ALongStallIsCaughtUpOnlyInPart) {
  int ticks = 0;
  TickStats stats;
  RunMessageLoop(
      [&] {
        ++ticks;
        if (ticks == 1) Sleep(100);  // some 20 periods late
        if (ticks == 10) PostQuitMessage(0);
      },
      microseconds(5000), &stats);
  EXPECT_GE(stats.dropped, 5u);
  EXPECT_EQ(stats.delivered, 10u);
}

}  // namespace
}  // namespace zimoklas::win32

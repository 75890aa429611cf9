// The timers' deadlines: a fixed period without drift, and missed ticks given up after a
// stall instead of being run back to back; and the two scene timers run together.
#include "saver/tick_schedule.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "../animation/recording_sink.hpp"
#include "saver/scene_timers.hpp"
#include "shown_scene.hpp"

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

class LastDeadline final : public TickObserver {
 public:
  void AfterTick(std::chrono::nanoseconds deadline, std::chrono::nanoseconds /*woke*/,
                 std::chrono::nanoseconds drawn) override {
    deadlines.push_back(deadline);
    lastDrawn = drawn;
  }
  std::vector<std::chrono::nanoseconds> deadlines;
  std::chrono::nanoseconds lastDrawn{};
};

TEST(SceneTimers, TheAnimationGoesFirstItsStallIsSkippedAndTheClockRunsOnceWhenLate) {
  ShownScene scene({640, 480});
  scene.Show();
  Form1& form = scene.form;
  animation::RecordingSink sink;
  LastDeadline observer;
  TimerStats stats;
  stats.observer = &observer;
  std::vector<TimerRun> handedOn;
  const auto handOn = [&handedOn](TimerRun run) { handedOn.push_back(run); };
  const auto drawnAt = [] { return milliseconds(2600); };

  SceneTimers timers(milliseconds(0));
  EXPECT_EQ(timers.RunDue(form, sink, milliseconds(4), stats, handOn, drawnAt), TimerRun::Neither);
  EXPECT_EQ(timers.RunDue(form, sink, milliseconds(5), stats, handOn, drawnAt),
            TimerRun::Animation);
  // Woken 2.5 s late (a stopped process): both are due, the animation tick runs first and
  // gives up the missed ones, then the clock tick runs once.
  const milliseconds late(2500);
  std::vector<TimerRun> runs;
  for (TimerRun run = TimerRun::Animation; run != TimerRun::Neither;) {
    run = timers.RunDue(form, sink, late, stats, handOn, drawnAt);
    runs.push_back(run);
  }
  EXPECT_EQ(runs, (std::vector<TimerRun>{TimerRun::Animation, TimerRun::Clock, TimerRun::Neither}));
  EXPECT_EQ(handedOn,
            (std::vector<TimerRun>{TimerRun::Animation, TimerRun::Animation, TimerRun::Clock}));
  EXPECT_EQ(stats.ticks, 2U);
  EXPECT_EQ(stats.skipped, 497U);
  EXPECT_EQ(stats.clockTicks, 1U);
  EXPECT_EQ(observer.deadlines,
            (std::vector<std::chrono::nanoseconds>{milliseconds(5), milliseconds(10)}));
  EXPECT_EQ(observer.lastDrawn, milliseconds(2600));
  EXPECT_EQ(timers.next(), milliseconds(2505));
  // The clock's next deadline is a second after the late run, not on its old grid.
  for (milliseconds now = late + milliseconds(5); now < milliseconds(3500);
       now += milliseconds(5)) {
    timers.RunDue(form, sink, now, stats, handOn, drawnAt);
    ASSERT_EQ(timers.RunDue(form, sink, now, stats, handOn, drawnAt), TimerRun::Neither)
        << now.count();
  }
  EXPECT_EQ(stats.clockTicks, 1U);
  EXPECT_EQ(timers.RunDue(form, sink, milliseconds(3500), stats, handOn, drawnAt),
            TimerRun::Animation);
  EXPECT_EQ(timers.RunDue(form, sink, milliseconds(3500), stats, handOn, drawnAt), TimerRun::Clock);
}

TEST(SceneTimers, EachFrameRunsEveryDueTickAndAFrameAfterALongWaitRunsOne) {
  ShownScene scene({640, 480});
  scene.Show();
  animation::RecordingSink sink;
  TimerStats stats;
  const auto drawnAt = [] { return milliseconds(0); };
  using std::chrono::nanoseconds;
  SceneTimers timers(milliseconds(0));

  // A second of frames at 60 Hz: each runs the ticks whose deadlines it has passed, 3 or
  // 4 of them, and none is lost or run early.
  const nanoseconds frame(16666667);
  for (int k = 1; k <= 60; ++k) {
    const nanoseconds now = k * frame;
    const std::uint64_t before = stats.ticks;
    const std::uint64_t ran = timers.RunFrame(scene.form, sink, now, stats, drawnAt);
    ASSERT_EQ(stats.ticks, static_cast<std::uint64_t>(now / milliseconds(5))) << k;
    ASSERT_EQ(ran, stats.ticks - before);
    ASSERT_GE(ran, 3U);
    ASSERT_LE(ran, 4U);
  }
  EXPECT_EQ(stats.ticks, 200U);
  EXPECT_EQ(stats.clockTicks, 1U);
  // Frames at 30 Hz still get every tick.
  const std::uint64_t sixty = stats.ticks;
  EXPECT_EQ(timers.RunFrame(scene.form, sink, milliseconds(1033), stats, drawnAt), 6U);
  EXPECT_EQ(stats.ticks, sixty + 6);
  EXPECT_EQ(stats.skipped, 0U);

  // No frame for two seconds: the clock alone keeps its second, the animation waits.
  EXPECT_FALSE(timers.RunClock(scene.form, milliseconds(1999), stats));
  EXPECT_TRUE(timers.RunClock(scene.form, milliseconds(2000), stats));
  EXPECT_TRUE(timers.RunClock(scene.form, milliseconds(3000), stats));
  EXPECT_EQ(stats.clockTicks, 3U);
  EXPECT_EQ(timers.nextClock(), milliseconds(4000));
  EXPECT_EQ(stats.ticks, sixty + 6);
  // The next frame runs one tick and gives up the missed ones; the animation carries on
  // a period after it.
  const nanoseconds woke = milliseconds(3033) + nanoseconds(500000);
  EXPECT_EQ(timers.RunFrame(scene.form, sink, woke, stats, drawnAt), 1U);
  EXPECT_EQ(stats.skipped, 398U);
  EXPECT_EQ(timers.next(), woke + milliseconds(5));
  EXPECT_EQ(timers.RunFrame(scene.form, sink, woke + frame, stats, drawnAt), 3U);
  EXPECT_EQ(stats.clockTicks, 3U);
}

}  // namespace
}  // namespace zimoklas::saver

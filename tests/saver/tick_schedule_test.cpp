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

}  // namespace
}  // namespace zimoklas::saver

// The scene's loop on Wayland, in GLib's main loop.
#include "platform/wayland/wayland_loop.hpp"

#include <glib-unix.h>

#include <csignal>
#include <ctime>

namespace zimoklas::wayland {
namespace {

using Nanos = std::chrono::nanoseconds;
constexpr Nanos kTickPeriod = saver::Form1::kTimer1Interval;
constexpr Nanos kClockPeriod = saver::Form1::kTimer2Interval;

Nanos Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::chrono::seconds(now.tv_sec) + Nanos(now.tv_nsec);
}

// What the loop's sources share.
struct Loop {
  Loop(SceneWindow& w, saver::Form1& f, LoopStats& s, Nanos start)
      : window(w),
        form(f),
        stats(s),
        ticks(kTickPeriod, start, saver::kStallPeriods * kTickPeriod),
        clockTicks(kClockPeriod, start, Nanos::zero()) {}
  SceneWindow& window;
  saver::Form1& form;
  LoopStats& stats;
  saver::TickSchedule ticks;
  saver::TickSchedule clockTicks;
  GMainLoop* main = g_main_loop_new(nullptr, FALSE);
  LoopEnd end = LoopEnd::WindowGone;
};

// A source whose ready time is the next deadline: GLib's clock is CLOCK_MONOTONIC in
// microseconds, so a deadline is woken for at most a microsecond late before the poll's
// own rounding.
struct TimerSource {
  GSource source;
  Loop* loop;
};

void SetReadyTime(GSource* source, Nanos deadline) {
  g_source_set_ready_time(source, static_cast<gint64>((deadline.count() + 999) / 1000));
}

gboolean DispatchTimers(GSource* source, GSourceFunc /*callback*/, gpointer /*data*/) {
  Loop& loop = *reinterpret_cast<TimerSource*>(source)->loop;
  const Nanos now = Now();
  // One tick a dispatch: input and frames get their turn between ticks that are late.
  if (loop.ticks.Due(now)) {
    loop.form.Timer1_Timer(loop.window.frame());
    ++loop.stats.ticks;
    if (loop.stats.observer != nullptr) {
      loop.stats.observer->AfterTick(loop.ticks.next(), now, Now());
    }
    loop.stats.skipped += loop.ticks.Advance(now);
  } else if (loop.clockTicks.Due(now)) {
    loop.form.Timer2_Timer();
    ++loop.stats.clockTicks;
    loop.clockTicks.Advance(now);
  }
  loop.window.Present();
  SetReadyTime(source, std::min(loop.ticks.next(), loop.clockTicks.next()));
  return G_SOURCE_CONTINUE;
}

GSourceFuncs kTimerFuncs = {nullptr, nullptr, &DispatchTimers, nullptr, nullptr, nullptr};

gboolean OnEndingSignal(gpointer data) {
  auto& loop = *static_cast<Loop*>(data);
  loop.end = LoopEnd::Signalled;
  loop.form.Unload();
  g_main_loop_quit(loop.main);
  return G_SOURCE_CONTINUE;
}

}  // namespace

LoopEnd RunSceneLoop(SceneWindow& window, saver::Form1& form, LoopStats& stats, Nanos runFor) {
  Loop loop(window, form, stats, Now());
  window.OnGone([&loop] { g_main_loop_quit(loop.main); });

  GSource* timers = g_source_new(&kTimerFuncs, sizeof(TimerSource));
  reinterpret_cast<TimerSource*>(timers)->loop = &loop;
  SetReadyTime(timers, loop.ticks.next());
  g_source_attach(timers, nullptr);

  const guint term = g_unix_signal_add(SIGTERM, &OnEndingSignal, &loop);
  const guint interrupt = g_unix_signal_add(SIGINT, &OnEndingSignal, &loop);
  guint timeUp = 0;
  if (runFor > Nanos::zero()) {
    timeUp = g_timeout_add(
        static_cast<guint>(std::chrono::duration_cast<std::chrono::milliseconds>(runFor).count()),
        +[](gpointer data) {
          auto& l = *static_cast<Loop*>(data);
          l.end = LoopEnd::TimeUp;
          g_main_loop_quit(l.main);
          return G_SOURCE_REMOVE;
        },
        &loop);
  }

  if (window.alive()) g_main_loop_run(loop.main);

  window.OnGone(nullptr);
  if (timeUp != 0 && loop.end != LoopEnd::TimeUp) g_source_remove(timeUp);
  g_source_remove(term);
  g_source_remove(interrupt);
  g_source_destroy(timers);
  g_source_unref(timers);
  g_main_loop_unref(loop.main);
  return loop.end;
}

}  // namespace zimoklas::wayland

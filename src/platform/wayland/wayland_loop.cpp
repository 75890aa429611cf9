// The scene's loop on Wayland, in GLib's main loop.
#include "platform/wayland/wayland_loop.hpp"

#include <glib-unix.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <ctime>

namespace zimoklas::wayland {
namespace {

using Nanos = std::chrono::nanoseconds;

Nanos Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::chrono::seconds(now.tv_sec) + Nanos(now.tv_nsec);
}

struct TimerSource;

// What the loop's sources share.
struct Loop {
  Loop(SceneWindow& w, saver::Form1& f, LoopStats& s, Nanos start)
      : window(w), form(f), stats(s), timers(start) {}
  SceneWindow& window;
  saver::Form1& form;
  LoopStats& stats;
  saver::SceneTimers timers;
  GMainLoop* main = g_main_loop_new(nullptr, FALSE);
  LoopEnd end = LoopEnd::WindowGone;
  TimerSource* timer = nullptr;
};

// A source woken by a timer descriptor set to the next deadline, absolute on
// CLOCK_MONOTONIC: GLib's own timeouts are whole milliseconds, rounded up, which would
// wake each tick up to a millisecond late.
struct TimerSource {
  GSource source;
  Loop* loop;
  int timer;
};

// While a commit waits for the compositor to ask for the next frame, the animation
// waits with it and the timer wakes only for the clock; otherwise it wakes for the next
// tick of either.
void Arm(const TimerSource& source) {
  const Loop& loop = *source.loop;
  const Nanos deadline = loop.window.awaitingFrame() ? loop.timers.nextClock() : loop.timers.next();
  itimerspec when{};
  when.it_value.tv_sec = static_cast<time_t>(deadline.count() / 1000000000);
  when.it_value.tv_nsec = static_cast<long>(deadline.count() % 1000000000);
  timerfd_settime(source.timer, TFD_TIMER_ABSTIME, &when, nullptr);
}

gboolean DispatchTimers(GSource* source, GSourceFunc /*callback*/, gpointer /*data*/) {
  auto& timers = *reinterpret_cast<TimerSource*>(source);
  Loop& loop = *timers.loop;
  std::uint64_t expirations = 0;
  [[maybe_unused]] const ssize_t got = read(timers.timer, &expirations, sizeof expirations);
  // The frame holds the drawing until it is presented, after the run.
  if (loop.window.awaitingFrame()) {
    if (loop.timers.RunClock(loop.form, Now(), loop.stats)) loop.window.Present();
  } else {
    loop.timers.RunDue(
        loop.form, loop.window.frame(), Now(), loop.stats, [](saver::TimerRun /*run*/) {}, &Now);
    loop.window.Present();
  }
  Arm(timers);
  return G_SOURCE_CONTINUE;
}

// The compositor asks for the next frame: every tick due by now goes into one commit.
void RunFrame(Loop& loop) {
  loop.timers.RunFrame(loop.form, loop.window.frame(), Now(), loop.stats, &Now);
  loop.window.Present();
  Arm(*loop.timer);
}

void FinalizeTimers(GSource* source) {
  close(reinterpret_cast<TimerSource*>(source)->timer);
}

GSourceFuncs kTimerFuncs = {nullptr, nullptr, &DispatchTimers, &FinalizeTimers, nullptr, nullptr};

void EndOnSignal(Loop& loop, int signal) {
  loop.end = LoopEnd::Signalled;
  loop.stats.signal = signal;
  loop.form.Unload();
  g_main_loop_quit(loop.main);
}

gboolean OnTerminate(gpointer data) {
  EndOnSignal(*static_cast<Loop*>(data), SIGTERM);
  return G_SOURCE_CONTINUE;
}

gboolean OnInterrupt(gpointer data) {
  EndOnSignal(*static_cast<Loop*>(data), SIGINT);
  return G_SOURCE_CONTINUE;
}

}  // namespace

LoopEnd RunSceneLoop(SceneWindow& window, saver::Form1& form, LoopStats& stats, Nanos runFor) {
  Loop loop(window, form, stats, Now());
  window.OnGone([&loop] { g_main_loop_quit(loop.main); });

  GSource* timers = g_source_new(&kTimerFuncs, sizeof(TimerSource));
  auto& timerSource = *reinterpret_cast<TimerSource*>(timers);
  timerSource.loop = &loop;
  timerSource.timer = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
  g_source_add_unix_fd(timers, timerSource.timer, G_IO_IN);
  // GLib takes a source's descriptors out of its poll while it dispatches the source
  // (unless it may recurse), and wakes its own loop twice for that: four system calls a
  // tick. The ticks never run the loop from inside, so nothing can recurse.
  g_source_set_can_recurse(timers, TRUE);
  loop.timer = &timerSource;
  Arm(timerSource);
  g_source_attach(timers, nullptr);
  window.OnFrame([&loop] { RunFrame(loop); });

  const guint term = g_unix_signal_add(SIGTERM, &OnTerminate, &loop);
  const guint interrupt = g_unix_signal_add(SIGINT, &OnInterrupt, &loop);
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
  window.OnFrame(nullptr);
  if (timeUp != 0 && loop.end != LoopEnd::TimeUp) g_source_remove(timeUp);
  g_source_remove(term);
  g_source_remove(interrupt);
  g_source_destroy(timers);
  g_source_unref(timers);
  g_main_loop_unref(loop.main);
  return loop.end;
}

}  // namespace zimoklas::wayland

// The scene's event loop on absolute monotonic deadlines.
#include "platform/x11/x11_loop.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <ctime>

#include "platform/posix/end_by_signal.hpp"
#include "saver/scene_timers.hpp"

namespace zimoklas::x11 {
namespace {

using Nanos = std::chrono::nanoseconds;

Nanos Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::chrono::seconds(now.tv_sec) + Nanos(now.tv_nsec);
}

sigset_t EndingSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

}  // namespace

EndingSignals::EndingSignals() {
  const sigset_t set = EndingSet();
  sigprocmask(SIG_BLOCK, &set, nullptr);
  fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  stop_ = eventfd(0, EFD_CLOEXEC);
  if (fd_ < 0 || stop_ < 0) return;
  // Nothing is on the screen yet, so the signal's own action is the whole ending. The
  // thread inherits the blocked set; it unblocks the signal only for itself.
  startup_ = std::thread([signal = fd_, stop = stop_] {
    std::array<pollfd, 2> fds{{{signal, POLLIN, 0}, {stop, POLLIN, 0}}};
    while (poll(fds.data(), fds.size(), -1) < 0 && errno == EINTR) {
    }
    if ((fds[1].revents & POLLIN) != 0) return;
    signalfd_siginfo info{};
    if (read(signal, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      posix::EndBySignal(static_cast<int>(info.ssi_signo));
    }
  });
}

EndingSignals::~EndingSignals() {
  TakeOver();
  if (stop_ >= 0) close(stop_);
  if (fd_ >= 0) close(fd_);
}

void EndingSignals::TakeOver() {
  if (!startup_.joinable()) return;
  const std::uint64_t one = 1;
  while (write(stop_, &one, sizeof one) < 0 && errno == EINTR) {
  }
  startup_.join();
}

void EndingSignals::Release() {
  TakeOver();
  const sigset_t set = EndingSet();
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

int EndingSignals::Take() const {
  signalfd_siginfo info{};
  if (read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return 0;
  return static_cast<int>(info.ssi_signo);
}

LoopEnd RunSceneLoop(SceneWindow& window, saver::Form1& form, EndingSignals& signals,
                     LoopStats& stats, Nanos runFor) {
  signals.TakeOver();
  Display* display = window.display();
  std::array<pollfd, 2> fds{{{ConnectionNumber(display), POLLIN, 0}, {signals.fd(), POLLIN, 0}}};
  const nfds_t count = signals.fd() >= 0 ? 2 : 1;
  const Nanos start = Now();
  saver::SceneTimers timers(start);
  const auto handOn = [&window, display](saver::TimerRun run) {
    if (run == saver::TimerRun::Animation) {
      window.pixels().Flush();
    } else {
      XFlush(display);
    }
  };
  // Every flush also reads what the server has sent, so once the connection is quiet
  // anything new makes it readable. Only then are events read from it; otherwise those
  // that Xlib already holds are handled without a system call.
  bool readable = true;
  for (;;) {
    window.HandleEvents(readable);
    readable = false;
    if (!window.alive()) return LoopEnd::WindowGone;
    const Nanos now = Now();
    if (runFor > Nanos::zero() && now - start >= runFor) return LoopEnd::TimeUp;
    window.KeepGrabbing(now);
    if (timers.RunDue(form, window.pixels(), now, stats, handOn, &Now) !=
        saver::TimerRun::Neither) {
      continue;
    }
    const Nanos wait = timers.next() - now;
    const timespec timeout{static_cast<time_t>(wait.count() / 1000000000),
                           static_cast<long>(wait.count() % 1000000000)};
    for (pollfd& fd : fds) fd.revents = 0;
    if (ppoll(fds.data(), count, &timeout, nullptr) <= 0) continue;
    readable = (fds[0].revents & POLLIN) != 0;
    if ((fds[1].revents & POLLIN) != 0) {
      stats.signal = signals.Take();
      form.Unload();
      return LoopEnd::Signalled;
    }
    if ((fds[0].revents & (POLLHUP | POLLERR)) != 0) {
      // The server hung up: a round trip makes Xlib notice and end the program.
      XSync(display, False);
    }
  }
}

}  // namespace zimoklas::x11

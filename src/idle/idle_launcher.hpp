// When zimoklas-idle starts the saver: after the set idle time, when nothing inhibits
// it, one saver at a time, and later and later while savers fail to start.
#pragma once

#include <chrono>

namespace zimoklas::idle {

using Milliseconds = std::chrono::milliseconds;

// What the launcher asks of the desktop it runs on.
class LauncherHost {
 public:
  virtual ~LauncherHost() = default;
  // Starts `zimoklas /s`; false when it could not be started at all.
  virtual bool StartSaver() = 0;
  // Calls RetryDue() once after `delay`.
  virtual void ArmRetry(Milliseconds delay) = 0;
  // Forgets the idle period that has been reported and waits for a new one, timed from
  // the last input or from now, whichever is later.
  virtual void RearmIdleWatch() = 0;
};

// How a saver ended: its exit status, or the signal that ended it.
struct SaverEnd {
  int status = 0;
  int signal = 0;  // 0 when it exited
  // Whether it failed: an error status, or a crash. Ended by a hang-up, an interrupt or
  // a termination (POSIX's signals 1, 2 and 15), e.g. by a lock screen's script, it did
  // what was asked of it.
  bool Failed() const {
    return signal == 0 ? status != 0 : signal != 1 && signal != 2 && signal != 15;
  }
};

class IdleLauncher {
 public:
  // The first wait after a failed start; each failure in a row doubles it, up to the most.
  static constexpr Milliseconds kFirstBackOff{5000};
  static constexpr Milliseconds kLongestBackOff{300000};

  explicit IdleLauncher(LauncherHost& host) : host_(host) {}

  // The seat has been idle for the set time.
  void Idle();
  // Input came after an idle period.
  void Active();
  // Whether something (a film, a presentation) asks that no saver start now.
  void SetInhibited(bool inhibited);
  // The saver started by StartSaver() has ended.
  void SaverEnded(SaverEnd end);
  // The wait armed by ArmRetry() is over.
  void RetryDue();

  bool saverRunning() const { return saverRunning_; }
  bool idle() const { return idle_; }
  bool inhibited() const { return inhibited_; }
  int failuresInARow() const { return failures_; }

 private:
  void StartIfDue();
  void Failed();

  LauncherHost& host_;
  bool idle_ = false;
  bool inhibited_ = false;
  bool saverRunning_ = false;
  bool waitingToRetry_ = false;
  int failures_ = 0;
};

}  // namespace zimoklas::idle

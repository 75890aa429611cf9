// The launcher's rules: start on idle, one saver at a time, back off after failures.
#include "idle/idle_launcher.hpp"

#include <algorithm>

namespace zimoklas::idle {

void IdleLauncher::Idle() {
  idle_ = true;
  StartIfDue();
}

void IdleLauncher::Active() {
  idle_ = false;
}

void IdleLauncher::SetInhibited(bool inhibited) {
  inhibited_ = inhibited;
  StartIfDue();
}

void IdleLauncher::SaverEnded(SaverEnd end) {
  if (!saverRunning_) return;
  saverRunning_ = false;
  if (end.Failed()) {
    Failed();
    return;
  }
  failures_ = 0;
  // A saver ends on input, so the next one waits for a whole new idle period, even when
  // the desktop has not yet reported that input.
  idle_ = false;
  host_.RearmIdleWatch();
}

void IdleLauncher::RetryDue() {
  waitingToRetry_ = false;
  StartIfDue();
}

void IdleLauncher::StartIfDue() {
  if (!idle_ || inhibited_ || saverRunning_ || waitingToRetry_) return;
  if (host_.StartSaver()) {
    saverRunning_ = true;
  } else {
    Failed();
  }
}

void IdleLauncher::Failed() {
  ++failures_;
  // 5 s, 10 s, 20 s ... never longer than the longest wait.
  const int doublings = std::min(failures_ - 1, 16);
  const Milliseconds wait =
      std::min<Milliseconds>(kFirstBackOff * (1 << doublings), kLongestBackOff);
  waitingToRetry_ = true;
  host_.ArmRetry(wait);
}

}  // namespace zimoklas::idle

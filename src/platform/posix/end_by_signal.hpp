// Ending the process by a signal the program has already handled: once the scene has
// given back the screen or the settings window has closed, the signal's own default
// action ends the process, so a shell or a screen-saver daemon sees what ended it.
#pragma once

#include <signal.h>
#include <unistd.h>

namespace zimoklas::posix {

[[noreturn]] inline void EndBySignal(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  // Still blocked, the signal waits; unblocked, it ends the process at once.
  raise(signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  _exit(128 + signal);  // only if the signal could not end it
}

}  // namespace zimoklas::posix

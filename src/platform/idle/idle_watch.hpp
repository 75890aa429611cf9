// What each desktop's idle detection gives the launcher: idle and active events, and
// the end of the session it watches. Every watch runs in GLib's main loop.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace zimoklas::idle {

struct IdleEvents {
  std::function<void()> idle;                     // the seat has been idle for the set time
  std::function<void()> active;                   // input came after that
  std::function<void(bool inhibited)> inhibited;  // the desktop's own inhibitors changed
  // The display, compositor or desktop is gone; says which, in a few words.
  std::function<void(const std::string& what)> lost;
};

class IdleWatch {
 public:
  virtual ~IdleWatch() = default;
  // What --verbose says about the mechanism in use.
  virtual std::string Mechanism() const = 0;
  // Forgets the idle period reported and waits for a new one, timed from the later of
  // the last input and now.
  virtual void Rearm() = 0;
};

// Each returns nothing, and fills `why` for --verbose, when its desktop is not there.
std::unique_ptr<IdleWatch> StartGnomeIdleWatch(int seconds, IdleEvents events, std::string& why);
std::unique_ptr<IdleWatch> StartWaylandIdleWatch(int seconds, IdleEvents events, std::string& why);
std::unique_ptr<IdleWatch> StartX11IdleWatch(int seconds, IdleEvents events, std::string& why);

}  // namespace zimoklas::idle

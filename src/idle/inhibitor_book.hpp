// The inhibitors that programs take through the org.freedesktop.ScreenSaver service:
// a cookie each, given back by UnInhibit or dropped when the program that took it leaves
// the bus, as browsers and video players expect.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace zimoklas::idle {

class InhibitorBook {
 public:
  struct Inhibitor {
    std::string caller;  // the unique bus name of the program that took it
    std::string application;
    std::string reason;
  };

  // A new cookie for `caller`; never 0, never one still held.
  std::uint32_t Inhibit(const std::string& caller, std::string application, std::string reason);
  // Gives back a cookie that `caller` holds; false when it holds no such cookie.
  bool UnInhibit(const std::string& caller, std::uint32_t cookie);
  // Drops every cookie of a caller that has left the bus; how many there were.
  std::size_t CallerVanished(const std::string& caller);
  // Whether `caller` still holds a cookie, i.e. whether to keep watching it.
  bool Holds(const std::string& caller) const;

  bool inhibited() const { return !held_.empty(); }
  const std::map<std::uint32_t, Inhibitor>& held() const { return held_; }

 private:
  std::map<std::uint32_t, Inhibitor> held_;
  std::uint32_t last_ = 0;
};

}  // namespace zimoklas::idle

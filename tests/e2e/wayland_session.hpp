// Headless compositors of a test's own for the Wayland end-to-end tests, each run as an
// unprivileged account (sway refuses root). Sway has no input devices and a magenta
// background that a screenshot can look for; grim reads the output, wtype types into the
// focused surface, swaymsg lists the windows. KWin offers fractional scales; its
// screenshots come through its D-Bus interface.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "e2e_harness.hpp"

namespace zimoklas::e2e {

inline constexpr Rgb kSwayBackground{255, 0, 255};

class HeadlessSway {
 public:
  explicit HeadlessSway(int width = 1280, int height = 720);
  HeadlessSway(const HeadlessSway&) = delete;
  HeadlessSway& operator=(const HeadlessSway&) = delete;
  ~HeadlessSway();

  // Why the compositor is not running; empty when it is.
  const std::string& missing() const { return missing_; }
  // What a client needs to reach it: XDG_RUNTIME_DIR and WAYLAND_DISPLAY.
  std::vector<std::string> ClientEnvironment() const;
  // The whole output; empty when grim fails.
  Image Capture();
  // Runs wtype with these arguments, after a pause that lets the focused client take
  // the new virtual keyboard's keymap first.
  void Type(const std::vector<std::string>& arguments);
  // Runs zimoklas_sway_pointer with these arguments: a virtual pointer, since the
  // headless seat has none ("move X Y W H", "click X Y W H", "burst N").
  void Point(const std::vector<std::string>& arguments);
  // The window tree as swaymsg prints it (JSON).
  std::string Tree();
  // Runs a sway command through swaymsg ("[app_id=x] inhibit_idle open"); its status.
  int Command(const std::string& command);
  // Waits until a window with this title (or app id) is in the tree.
  bool WaitForWindow(const std::string& name, Milliseconds timeout);
  // Ends the compositor, as a crash or a logout would.
  void Kill();

 private:
  int Run(const std::vector<std::string>& argv, const std::string& output,
          std::vector<std::string> environment = {});
  // SWAYSOCK=<the compositor's IPC socket>, for swaymsg.
  std::string SwaySocket() const;

  std::string missing_;
  std::string runtimeDir_;
  std::unique_ptr<Process> server_;
};

class HeadlessKWin {
 public:
  // `outputs` outputs of `width` x `height` logical pixels at `scale` ("1.5"), left to
  // right, named Virtual-0, Virtual-1...
  HeadlessKWin(int width, int height, const std::string& scale, int outputs = 1);
  HeadlessKWin(const HeadlessKWin&) = delete;
  HeadlessKWin& operator=(const HeadlessKWin&) = delete;
  ~HeadlessKWin();

  const std::string& missing() const { return missing_; }
  std::vector<std::string> ClientEnvironment() const;
  // An output in its own pixels; empty when the screenshot fails.
  Image Capture(const std::string& output = "Virtual-0");

 private:
  std::string missing_;
  std::string runtimeDir_;
  std::unique_ptr<Process> bus_;
  std::unique_ptr<Process> server_;
};

}  // namespace zimoklas::e2e

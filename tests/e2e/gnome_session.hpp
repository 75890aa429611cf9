// A headless GNOME session of a test's own: gnome-shell as the unprivileged account
// nobody, with a session bus and a private "system" bus, on Wayland with one or more
// virtual monitors side by side, or as the window manager of an X display. The shell is
// driven through its D-Bus interfaces: screenshots, keys and clicks through remote
// desktop, and the monitors' layout.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "e2e_harness.hpp"

namespace zimoklas::e2e {

// X keysyms for HeadlessGnome::Keys.
inline constexpr const char* kKeyA = "0x61";
inline constexpr const char* kKeyEscape = "0xff1b";
inline constexpr const char* kKeyShift = "0xffe1";

class HeadlessGnome {
 public:
  struct Monitor {
    std::string connector;  // "Meta-0"
    Box box;                // in the stage's logical pixels
    bool primary = false;
  };

  // On Wayland, with `monitors` virtual monitors of `width` x `height`, left to right.
  // The shell starts in the overview; unless `overview` is asked for, Esc leaves it.
  explicit HeadlessGnome(int monitors = 1, bool overview = false, int width = 1280,
                         int height = 720);
  // As the window manager of this X display (an Xvfb started with -noreset).
  static std::unique_ptr<HeadlessGnome> OnX11(const std::string& display, bool overview = false);
  HeadlessGnome(const HeadlessGnome&) = delete;
  HeadlessGnome& operator=(const HeadlessGnome&) = delete;
  ~HeadlessGnome();

  // Why the shell is not running; empty when it is.
  const std::string& missing() const { return missing_; }
  // What a client needs to reach it: XDG_RUNTIME_DIR, WAYLAND_DISPLAY (on Wayland) and
  // the session bus.
  std::vector<std::string> ClientEnvironment() const;
  // The words that run a command as the shell's account with ClientEnvironment(): the
  // session bus lets no other account in. Its files must be readable by that account.
  std::vector<std::string> AsShellUser() const;
  const std::string& runtimeDir() const { return runtimeDir_; }

  // The whole stage, every monitor; empty when the shell takes no screenshot.
  Image Capture();
  // Each X keysym ("0x61") pressed and released, after a harmless Shift that lets the
  // focused client take the new virtual keyboard first.
  void Keys(const std::vector<std::string>& keysyms);
  // The pointer moved by each (dx, dy) in turn, each three times over, then a left click.
  // The shell keeps the pointer on the monitor it is on when a move would take it off
  // every monitor, and it drops a move now and then: so the moves are pushes against a
  // monitor's edges, which a repeat leaves where they are.
  void Click(const std::vector<std::pair<int, int>>& moves);
  // The monitors as the shell lays them out.
  std::vector<Monitor> Monitors();
  // Makes the monitor with this connector the primary one, in place; false when refused.
  bool MakePrimary(const std::string& connector);

 private:
  struct X11Tag {};
  HeadlessGnome(X11Tag, const std::string& display, bool overview);
  void Start(const std::vector<std::string>& shellArguments, const std::string& display,
             int monitors, bool overview);
  // One start in a runtime folder of its own; false, with missing_ said, when the shell
  // did not come up.
  bool Launch(const std::vector<std::string>& shellArguments, const std::string& display,
              int monitors, bool overview);
  // Ends the shell, its buses and what they started, and removes the runtime folder; the
  // shell's log stays when asked.
  void Stop(bool keepLog);
  int Control(const std::vector<std::string>& arguments, const std::string& output);
  void EndStrays();

  std::string missing_;
  std::string runtimeDir_;
  std::string waylandDisplay_;  // empty on X11
  std::string x11Display_;      // empty on Wayland
  std::unique_ptr<Process> systemBus_;
  std::unique_ptr<Process> sessionBus_;
  std::unique_ptr<Process> shell_;
};

}  // namespace zimoklas::e2e

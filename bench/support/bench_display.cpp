// Starts a private Xvfb and learns its display number through -displayfd.
#include "bench_display.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "bench_process.hpp"

namespace zimoklas::bench {

VirtualDisplay::VirtualDisplay(int width, int height) {
  if (width <= 0 || height <= 0) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
      error_ = "no size given and $DISPLAY is not set";
      return;
    }
    name_ = display;
    // "host:N.S" -> ":N": the server's own arguments name the display without a screen.
    std::string local = name_.substr(name_.find(':'));
    local.resize(std::min(local.size(), local.find('.')));
    server_ = FindXServer(local);
    if (server_ < 0) error_ = "no Xvfb or Xorg process serves " + name_;
    return;
  }
  int fds[2];
  if (pipe(fds) != 0) {
    error_ = "pipe failed";
    return;
  }
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  server_ = Spawn(
      {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"});
  close(fds[1]);
  owned_ = server_ > 0;
  // Xvfb writes its display number and a newline once it accepts clients.
  std::string number;
  pollfd ready{fds[0], POLLIN, 0};
  while (poll(&ready, 1, 10000) > 0) {
    char c = 0;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    error_ = "Xvfb did not start at " + screen;
    Stop(server_);
    server_ = -1;
    return;
  }
  name_ = ":" + number;
  setenv("DISPLAY", name_.c_str(), 1);
}

VirtualDisplay::~VirtualDisplay() {
  if (owned_) Stop(server_);
}

}  // namespace zimoklas::bench

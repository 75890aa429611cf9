// The virtual display a benchmark draws on: a private Xvfb of a given size, or the
// display that $DISPLAY names, with the pid of the server that serves it.
#pragma once

#include <sys/types.h>

#include <string>

namespace zimoklas::bench {

class VirtualDisplay {
 public:
  // Starts Xvfb at width x height (24-bit) on a free display number and points $DISPLAY
  // at it. With a size of 0 x 0 it uses $DISPLAY as it is. Check ok() afterwards.
  VirtualDisplay(int width, int height);
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool ok() const { return server_ >= 0 && !name_.empty(); }
  const std::string& name() const { return name_; }
  // The X server's pid, whose CPU time the benchmark reads.
  pid_t server() const { return server_; }
  const std::string& error() const { return error_; }

 private:
  std::string name_;
  std::string error_;
  pid_t server_ = -1;
  bool owned_ = false;
};

}  // namespace zimoklas::bench

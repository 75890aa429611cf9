// Starting `zimoklas /s`: a fork whose exec failure comes back through a pipe, so that a
// saver that cannot start is told apart from one that ends.
#include "posix_saver_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace zimoklas::idle {
namespace {

// zimoklas in the folder of this program, when there is one.
std::string SaverBesideMe() {
  std::error_code error;
  const std::filesystem::path me = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  const std::filesystem::path beside = me.parent_path() / "zimoklas";
  return access(beside.c_str(), X_OK) == 0 ? beside.string() : std::string();
}

}  // namespace

pid_t StartSaverProcess(std::string& error) {
  const std::string beside = SaverBesideMe();
  std::array<int, 2> report{};
  if (pipe2(report.data(), O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return -1;
  }
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) {
    close(report[0]);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    char saver[] = "zimoklas";
    char show[] = "/s";
    char* argv[] = {saver, show, nullptr};
    if (!beside.empty()) execv(beside.c_str(), argv);
    execvp(saver, argv);
    const int code = errno;
    (void)!write(report[1], &code, sizeof code);
    _exit(127);
  }
  close(report[1]);
  if (child < 0) {
    error = std::strerror(errno);
    close(report[0]);
    return -1;
  }
  int code = 0;
  ssize_t got = 0;
  do {
    got = read(report[0], &code, sizeof code);
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  if (got == static_cast<ssize_t>(sizeof code)) {
    waitpid(child, nullptr, 0);
    error = std::string("cannot run zimoklas: ") + std::strerror(code);
    return -1;
  }
  return child;
}

}  // namespace zimoklas::idle

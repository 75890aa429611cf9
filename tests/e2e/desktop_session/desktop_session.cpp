// Runs benchmark programs in a headless desktop session of the end-to-end harness's own:
// gnome-shell on Wayland, KWin or sway, at one output size. Each command runs in turn
// with what a client needs to reach the compositor (as the shell's account for GNOME,
// whose session bus lets no other in); "{compositor}" in its arguments becomes the
// compositor's pid, for the benchmarks that read its CPU time. A command's output goes
// to the file that a first word ">FILE" names, else to this program's. Before each one
// the compositor is given up to 30 s to go quiet: gnome-shell stays busy for seconds after
// a client that drew much has gone. The status is the first failing command's, else 0.
//
//   zimoklas_desktop_session gnome|kwin|sway WxH -- [>FILE] COMMAND ARGS...
//                            [--- [>FILE] COMMAND ARGS...]...
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "gnome_session.hpp"
#include "wayland_session.hpp"

namespace fs = std::filesystem;
using namespace zimoklas::e2e;

namespace {

// The process named `name` whose environment holds `variable`: the compositor of this
// session, not of another one on the machine.
pid_t FindCompositor(const std::string& name, const std::string& variable) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string comm;
    std::getline(std::ifstream(entry.path() / "comm"), comm);
    if (comm != name) continue;
    std::ifstream environ(entry.path() / "environ", std::ios::binary);
    std::string value;
    while (std::getline(environ, value, '\0')) {
      if (value == variable) return static_cast<pid_t>(std::stol(pid));
    }
  }
  return -1;
}

// User plus system CPU of a process in clock ticks; -1 once it is gone.
long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const std::size_t end = text.rfind(')');
  if (end == std::string::npos) return -1;
  std::istringstream fields(text.substr(end + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int n = 3; n <= 15 && fields >> field; ++n) {
    if (n == 14) utime = std::stol(field);
    if (n == 15) stime = std::stol(field);
  }
  return utime + stime;
}

// Waits until the compositor takes at most 2 clock ticks in a second, for up to 30 s.
void WaitForQuiet(pid_t compositor) {
  for (int second = 0; second < 30; ++second) {
    const long before = CpuTicks(compositor);
    sleep(1);
    const long after = CpuTicks(compositor);
    if (before < 0 || after < 0 || after - before <= 2) return;
  }
}

int Run(const std::vector<std::string>& words, const std::string& output) {
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  std::fflush(stdout);
  const pid_t child = fork();
  if (child == 0) {
    if (!output.empty()) {
      const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) {
        std::perror(output.c_str());
        _exit(127);
      }
    }
    execvp(argv[0], argv.data());
    std::perror(argv[0]);
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return 1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int width = 0, height = 0;
  if (argc < 5 || std::sscanf(argv[2], "%dx%d", &width, &height) != 2 || width <= 0 ||
      height <= 0 || std::string(argv[3]) != "--") {
    std::fputs(
        "usage: zimoklas_desktop_session gnome|kwin|sway WxH -- [>FILE] COMMAND ARGS...\n"
        "                                [--- [>FILE] COMMAND ARGS...]...\n",
        stderr);
    return 2;
  }
  const std::string desktop = argv[1];
  std::unique_ptr<HeadlessGnome> gnome;
  std::unique_ptr<HeadlessKWin> kwin;
  std::unique_ptr<HeadlessSway> sway;
  std::string missing, compositorName;
  std::vector<std::string> prefix{"env"};
  std::vector<std::string> environment;
  if (desktop == "gnome") {
    gnome = std::make_unique<HeadlessGnome>(1, false, width, height);
    missing = gnome->missing();
    prefix = gnome->AsShellUser();
    environment = gnome->ClientEnvironment();
    compositorName = "gnome-shell";
  } else if (desktop == "kwin") {
    kwin = std::make_unique<HeadlessKWin>(width, height, "1");
    missing = kwin->missing();
    environment = kwin->ClientEnvironment();
    compositorName = "kwin_wayland";
  } else if (desktop == "sway") {
    sway = std::make_unique<HeadlessSway>(width, height);
    missing = sway->missing();
    environment = sway->ClientEnvironment();
    compositorName = "sway";
  } else {
    std::fprintf(stderr, "zimoklas_desktop_session: no desktop called %s\n", desktop.c_str());
    return 2;
  }
  if (!missing.empty()) {
    std::fprintf(stderr, "zimoklas_desktop_session: %s\n", missing.c_str());
    return 1;
  }
  std::string runtimeDir;
  for (const std::string& variable : environment) {
    if (variable.rfind("XDG_RUNTIME_DIR=", 0) == 0) runtimeDir = variable;
  }
  const pid_t compositor = FindCompositor(compositorName, runtimeDir);
  if (compositor <= 0) {
    std::fprintf(stderr, "zimoklas_desktop_session: %s is not running\n", compositorName.c_str());
    return 1;
  }
  if (desktop != "gnome") prefix.insert(prefix.end(), environment.begin(), environment.end());

  int status = 0;
  std::vector<std::string> command;
  std::string output;
  for (int i = 4; i <= argc; ++i) {
    if (i < argc && std::string(argv[i]) != "---") {
      std::string word = argv[i];
      if (command.empty() && output.empty() && word.size() > 1 && word[0] == '>') {
        output = word.substr(1);
        continue;
      }
      const std::size_t at = word.find("{compositor}");
      if (at != std::string::npos) word.replace(at, 12, std::to_string(compositor));
      command.push_back(word);
      continue;
    }
    if (command.empty()) continue;
    std::vector<std::string> words = prefix;
    words.insert(words.end(), command.begin(), command.end());
    WaitForQuiet(compositor);
    const int result = Run(words, output);
    if (status == 0) status = result;
    command.clear();
    output.clear();
  }
  return status;
}

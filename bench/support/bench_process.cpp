// Process helpers for the benchmarks: /proc readers and a small spawn/stop pair.
#include "bench_process.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

extern char** environ;

namespace zimoklas::bench {
namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The arguments of a process, split at their NUL separators.
std::vector<std::string> CommandLine(pid_t pid) {
  const std::string raw = ReadWhole("/proc/" + std::to_string(pid) + "/cmdline");
  std::vector<std::string> args;
  std::size_t start = 0;
  while (start < raw.size()) {
    const std::size_t end = raw.find('\0', start);
    args.push_back(raw.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return args;
}

// Every numeric entry of /proc.
std::vector<pid_t> AllPids() {
  std::vector<pid_t> pids;
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return pids;
  while (const dirent* entry = readdir(dir)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (end != entry->d_name && *end == '\0') pids.push_back(static_cast<pid_t>(pid));
  }
  closedir(dir);
  return pids;
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<double> ProcessCpuSeconds(pid_t pid) {
  const std::string stat = ReadWhole("/proc/" + std::to_string(pid) + "/stat");
  // The command name may hold blanks and parentheses; the fields follow the last ')'.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  unsigned long long utime = 0;
  unsigned long long stime = 0;
  // Field 3 (state) comes first; utime and stime are fields 14 and 15.
  for (int index = 3; index <= 15 && fields >> field; ++index) {
    if (index == 14) utime = std::strtoull(field.c_str(), nullptr, 10);
    if (index == 15) stime = std::strtoull(field.c_str(), nullptr, 10);
  }
  if (!fields) return std::nullopt;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::optional<long long> PeakRssBytes(pid_t pid) {
  std::istringstream status(ReadWhole("/proc/" + std::to_string(pid) + "/status"));
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
  }
  return std::nullopt;
}

double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double MonotonicSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, bool quiet) {
  if (argv.empty()) return -1;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = fork();
  if (pid != 0) return pid;
  for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
  if (quiet) {
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      close(null);
    }
  }
  execvp(args[0], args.data());
  std::perror(args[0]);
  _exit(127);
}

bool Running(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == 0;
}

void Stop(pid_t pid, double grace) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  const double until = MonotonicSeconds() + grace;
  int status = 0;
  while (MonotonicSeconds() < until) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno == ECHILD)) return;
    usleep(20000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
}

pid_t FindXServer(const std::string& display) {
  for (const pid_t pid : AllPids()) {
    const std::vector<std::string> args = CommandLine(pid);
    if (args.empty()) continue;
    const std::string name = BaseName(args[0]);
    if (name != "Xvfb" && name != "Xorg" && name != "X") continue;
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (args[i] == display) return pid;
    }
  }
  return -1;
}

pid_t FindWineserver(const std::string& prefix) {
  struct stat info {};
  if (stat(prefix.c_str(), &info) != 0) return -1;
  // The folder's parent depends on the Wine version (/tmp/.wine-UID, /tmp/wine-XXXXXX);
  // its own name does not.
  char folder[64];
  std::snprintf(folder, sizeof folder, "/server-%llx-%llx",
                static_cast<unsigned long long>(info.st_dev),
                static_cast<unsigned long long>(info.st_ino));
  for (const pid_t pid : AllPids()) {
    const std::vector<std::string> args = CommandLine(pid);
    if (args.empty() || BaseName(args[0]).rfind("wineserver", 0) != 0) continue;
    char cwd[256];
    const std::string link = "/proc/" + std::to_string(pid) + "/cwd";
    const ssize_t length = readlink(link.c_str(), cwd, sizeof cwd - 1);
    if (length <= 0) continue;
    cwd[length] = '\0';
    const std::string path(cwd);
    const std::string suffix(folder);
    if (path.size() > suffix.size() &&
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
      return pid;
    }
  }
  return -1;
}

}  // namespace zimoklas::bench

// The running cost of another program on a virtual display: its CPU share, the X
// server's share over the same interval, a wineserver's share for Wine programs, and the
// program's peak RSS. Used to measure the Windows build under Wine and a peer saver.
//
//   proc_cost [--size WxH | --size display] [--seconds N] [--warmup N]
//             [--wine-prefix DIR] [--env NAME=VALUE]... -- PROGRAM ARGS...
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/bench_display.hpp"
#include "support/bench_process.hpp"
#include "support/bench_report.hpp"

namespace zb = zimoklas::bench;

namespace {

struct Options {
  int width = 1920;
  int height = 1080;
  double seconds = 20;
  double warmup = 3;
  std::string winePrefix;
  std::vector<std::string> env;
  std::vector<std::string> program;
};

void Usage() {
  std::fprintf(stderr,
               "usage: proc_cost [--size WxH | --size display] [--seconds N] [--warmup N]\n"
               "                 [--wine-prefix DIR] [--env NAME=VALUE]... -- PROGRAM ARGS...\n");
}

bool Parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      options.program.assign(argv + i + 1, argv + argc);
      return !options.program.empty();
    }
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (arg == "--size") {
      if (std::strcmp(value, "display") == 0) {
        options.width = options.height = 0;
      } else if (std::sscanf(value, "%dx%d", &options.width, &options.height) != 2 ||
                 options.width <= 0 || options.height <= 0) {
        return false;
      }
    } else if (arg == "--seconds") {
      options.seconds = std::atof(value);
    } else if (arg == "--warmup") {
      options.warmup = std::atof(value);
    } else if (arg == "--wine-prefix") {
      options.winePrefix = value;
    } else if (arg == "--env") {
      options.env.emplace_back(value);
    } else {
      return false;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options) || options.seconds <= 0 || options.warmup < 0) {
    Usage();
    return 2;
  }
  zb::VirtualDisplay display(options.width, options.height);
  if (!display.ok()) {
    std::fprintf(stderr, "proc_cost: %s\n", display.error().c_str());
    return 1;
  }
  const pid_t program = zb::Spawn(options.program, options.env);
  if (program <= 0) {
    std::fprintf(stderr, "proc_cost: could not start %s\n", options.program[0].c_str());
    return 1;
  }
  usleep(static_cast<useconds_t>(options.warmup * 1e6));
  const pid_t wineserver = options.winePrefix.empty() ? -1 : zb::FindWineserver(options.winePrefix);

  const double start = zb::MonotonicSeconds();
  const auto programStart = zb::ProcessCpuSeconds(program);
  const auto serverStart = zb::ProcessCpuSeconds(display.server());
  const auto wineStart = zb::ProcessCpuSeconds(wineserver);
  usleep(static_cast<useconds_t>(options.seconds * 1e6));
  const double wall = zb::MonotonicSeconds() - start;
  const auto programEnd = zb::ProcessCpuSeconds(program);
  const auto serverEnd = zb::ProcessCpuSeconds(display.server());
  const auto wineEnd = zb::ProcessCpuSeconds(wineserver);
  const auto rss = zb::PeakRssBytes(program);
  const bool stillRunning = zb::Running(program);
  zb::Stop(program);

  if (!stillRunning || !programStart || !programEnd || !rss) {
    std::fprintf(stderr, "proc_cost: %s ended before the measurement did\n",
                 options.program[0].c_str());
    return 1;
  }
  zb::Report report;
  report.Add("seconds", wall, "s", "measured interval");
  report.Add("program_cpu_share", 100 * (*programEnd - *programStart) / wall, "%",
             "program CPU (user + sys, share of one core)");
  if (serverStart && serverEnd) {
    report.Add("xserver_cpu_share", 100 * (*serverEnd - *serverStart) / wall, "%",
               "X server CPU (share of one core)");
  }
  if (wineStart && wineEnd) {
    report.Add("wineserver_cpu_share", 100 * (*wineEnd - *wineStart) / wall, "%",
               "wineserver CPU (share of one core)");
  } else if (!options.winePrefix.empty()) {
    std::fprintf(stderr, "proc_cost: no wineserver runs for %s\n", options.winePrefix.c_str());
  }
  report.Add("program_peak_rss", static_cast<double>(*rss) / (1024.0 * 1024.0), "MB",
             "program peak RSS");
  std::string title = options.program[0];
  for (std::size_t i = 1; i < options.program.size(); ++i) title += " " + options.program[i];
  report.Print(title + " on " + display.name());
  return 0;
}

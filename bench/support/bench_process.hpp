// Process helpers for the benchmarks: start and stop programs under test, and read their
// CPU time and peak memory from /proc.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace zimoklas::bench {

// User plus system CPU time of a process so far, in seconds; empty once it is gone.
std::optional<double> ProcessCpuSeconds(pid_t pid);

// The process's peak resident set (VmHWM), in bytes; empty once it is gone.
std::optional<long long> PeakRssBytes(pid_t pid);

// This process's own user plus system CPU time so far, in seconds (getrusage).
double OwnCpuSeconds();

// Seconds on CLOCK_MONOTONIC.
double MonotonicSeconds();

// Starts argv[0] with the given arguments (searched on PATH), with extra "NAME=VALUE"
// entries added to the environment, its output sent to /dev/null unless `quiet` is false.
// Returns the child's pid, or -1 when it could not be started.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
            bool quiet = true);

// Asks a child to end (SIGTERM), waits up to `grace` seconds, then kills it; reaps it.
void Stop(pid_t pid, double grace = 2.0);

// True while the child runs; reaps it once it has ended.
bool Running(pid_t pid);

// The pid of the process that serves X display ":N" (an Xvfb or Xorg whose arguments
// name that display), or -1.
pid_t FindXServer(const std::string& display);

// The pid of the wineserver of a Wine prefix: its working folder is the server folder
// that Wine derives from the prefix's device and inode. -1 when none runs.
pid_t FindWineserver(const std::string& prefix);

}  // namespace zimoklas::bench

// The saver as a child process: `zimoklas /s`, found beside zimoklas-idle, then on PATH.
#pragma once

#include <sys/types.h>

#include <string>

namespace zimoklas::idle {

// Starts the saver; its process id, or -1 with `error` saying why it could not start.
// The saver gets SIGTERM if the launcher dies without ending it.
pid_t StartSaverProcess(std::string& error);

}  // namespace zimoklas::idle

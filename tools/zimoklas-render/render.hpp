// The render tool as a function, so that tests can run it without a process.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

namespace zimoklas::render {

// Runs the tool on its arguments (without the program name); `out` is standard output
// (the usage, and the log for "--log -"), `err` gets one-line errors. Returns the exit
// status: 0 done, 1 an output could not be written, 2 a bad option or draws file.
int RunRender(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace zimoklas::render

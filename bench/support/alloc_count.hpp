// Heap allocations counted as they happen: every operator new of the program, and every
// malloc, calloc and realloc of the process (Xlib's, Pango's and cairo's included). The
// counters live in alloc_count.cpp, which replaces those functions for the program it is
// linked into; link it into a benchmark only.
#pragma once

#include <cstdint>

namespace zimoklas::bench {

std::uint64_t OperatorNewCalls();
std::uint64_t MallocCalls();

}  // namespace zimoklas::bench

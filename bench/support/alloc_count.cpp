// Replaces the global operator new and glibc's malloc family with counting versions that
// hand the work to glibc's own allocator.
#include "alloc_count.hpp"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

// glibc's own allocator, under the names it exports for programs that replace malloc.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
void* __libc_malloc(std::size_t size) noexcept;
void* __libc_calloc(std::size_t count, std::size_t size) noexcept;
void* __libc_realloc(void* p, std::size_t size) noexcept;
}
// NOLINTEND(bugprone-reserved-identifier)

namespace {
std::atomic<std::uint64_t> operatorNewCalls{0};
std::atomic<std::uint64_t> mallocCalls{0};
}  // namespace

namespace zimoklas::bench {

std::uint64_t OperatorNewCalls() {
  return operatorNewCalls.load(std::memory_order_relaxed);
}

std::uint64_t MallocCalls() {
  return mallocCalls.load(std::memory_order_relaxed);
}

}  // namespace zimoklas::bench

extern "C" {
// NOLINTBEGIN(bugprone-reserved-identifier)
void* malloc(std::size_t size) noexcept {
  mallocCalls.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) noexcept {
  mallocCalls.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) noexcept {
  mallocCalls.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, size);
}
// NOLINTEND(bugprone-reserved-identifier)
}

// Arrays and the nothrow forms come through this one; nothing in the program is
// over-aligned.
void* operator new(std::size_t size) {
  operatorNewCalls.fetch_add(1, std::memory_order_relaxed);
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

// Message loop and tick schedule. Plain SetTimer cannot go below the system's timer
// granularity (10 to 16 ms), so the tick comes from a waitable timer waited on together
// with the message queue.
#include "platform/win32/win32_message_loop.hpp"

#include <windows.h>

namespace zimoklas::win32 {
namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// How many missed ticks a late wake may still run back to back.
constexpr std::uint64_t kMaxCatchUp = 4;

std::int64_t Now() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

std::int64_t Frequency() {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return frequency.QuadPart;
}

HANDLE CreateTickTimer(bool& highResolution) {
  HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                        TIMER_ALL_ACCESS);
  highResolution = timer != nullptr;
  if (timer == nullptr) timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
  return timer;
}

// False once WM_QUIT has been taken from the queue.
bool PumpMessages(int& exitCode) {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    if (msg.message == WM_QUIT) {
      exitCode = static_cast<int>(msg.wParam);
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

}  // namespace

int RunMessageLoop(const std::function<void()>& tick, std::chrono::microseconds period,
                   TickStats* stats) {
  TickStats local;
  TickStats& s = stats != nullptr ? *stats : local;
  HANDLE timer = CreateTickTimer(s.highResolution);
  const auto periodMs = static_cast<LONG>(period.count() / 1000 > 0 ? period.count() / 1000 : 1);
  LARGE_INTEGER firstDue{};
  firstDue.QuadPart = -static_cast<LONGLONG>(period.count()) * 10;  // relative, 100 ns units
  if (timer != nullptr) SetWaitableTimer(timer, &firstDue, periodMs, nullptr, nullptr, FALSE);

  const std::int64_t frequency = Frequency();
  const std::int64_t start = Now();
  const auto periodCounts = period.count() * frequency / 1000000;
  std::uint64_t scheduled = 0;  // ticks due so far, delivered or dropped

  int exitCode = 0;
  for (;;) {
    const DWORD handles = timer != nullptr ? 1 : 0;
    // Without a timer the loop still ticks, on a millisecond sleep instead.
    const DWORD wait = MsgWaitForMultipleObjectsEx(handles, timer != nullptr ? &timer : nullptr,
                                                   timer != nullptr ? INFINITE : 1, QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
    if (wait == WAIT_FAILED) break;
    // Half a period of slack, so that a wake a little early or late counts as on time.
    const auto due = static_cast<std::uint64_t>((Now() - start + periodCounts / 2) / periodCounts);
    if (due > scheduled) {
      std::uint64_t run = due - scheduled;
      if (run > kMaxCatchUp) {
        s.dropped += run - kMaxCatchUp;
        run = kMaxCatchUp;
      }
      scheduled = due;
      for (std::uint64_t i = 0; i < run; ++i) {
        tick();
        ++s.delivered;
      }
    }
    if (!PumpMessages(exitCode)) break;
  }
  if (timer != nullptr) {
    CancelWaitableTimer(timer);
    CloseHandle(timer);
  }
  return exitCode;
}

}  // namespace zimoklas::win32

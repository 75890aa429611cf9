// The saver's speed on a real window: the cost of one full-load animation tick through
// the two candidate pixel paths (SetPixelV straight to the window, and a DIB-section
// shadow blitted after each tick), and the ticks per second that the scene's message
// loop delivers while the saver runs. Run under Wine on a 1920 x 1080 display:
//   wine build/windows/bench/win32/win32_scene_bench.exe [seconds]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "animation/random.hpp"
#include "animation/tick.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/full_load.hpp"
#include "platform/win32/win32_message_loop.hpp"
#include "platform/win32/win32_pixels.hpp"
#include "platform/win32/win32_scene.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"

namespace zimoklas::win32 {
namespace {

double Seconds() {
  LARGE_INTEGER counter{}, frequency{};
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump() {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) DispatchMessageW(&msg);
}

// The alternative path: pixels go to a 32-bit top-down DIB section the size of the
// window, and after the tick the box around that tick's writes is blitted to the window.
class ShadowPixels {
 public:
  ShadowPixels(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    bits_ = static_cast<std::uint32_t*>(bits);
  }
  ~ShadowPixels() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  ShadowPixels(const ShadowPixels&) = delete;
  ShadowPixels& operator=(const ShadowPixels&) = delete;

  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    // 0x00BBGGRR to the DIB's 0x00RRGGBB.
    bits_[static_cast<std::size_t>(y) * width_ + x] =
        (colour & 0x00FF00U) | ((colour & 0xFFU) << 16) | ((colour >> 16) & 0xFFU);
    left_ = std::min(left_, x);
    top_ = std::min(top_, y);
    right_ = std::max(right_, x + 1);
    bottom_ = std::max(bottom_, y + 1);
  }
  void Present(HDC window) {
    if (right_ > left_)
      BitBlt(window, left_, top_, right_ - left_, bottom_ - top_, dc_, left_, top_, SRCCOPY);
    left_ = top_ = INT32_MAX;
    right_ = bottom_ = INT32_MIN;
  }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  std::uint32_t* bits_;
  std::int32_t left_ = INT32_MAX, top_ = INT32_MAX, right_ = INT32_MIN, bottom_ = INT32_MIN;
};

constexpr int kTicksPerRound = 64;  // as in bench/tick_bench.cpp: flakes stay on screen
constexpr int kRounds = 40;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Median microseconds of one full-load tick run by `runTick`, which writes its pixels.
template <class RunTick>
double FullLoadTickMicroseconds(RunTick runTick) {
  const auto start = headless::FullLoad();
  auto state = std::make_unique<animation::AnimationState>(*start);
  headless::FullLoadDraws random;
  std::vector<double> perTick;
  for (int round = 0; round < kRounds; ++round) {
    *state = *start;
    for (int i = 0; i < kTicksPerRound; ++i) {
      const double t0 = Seconds();
      runTick(*state, random);
      perTick.push_back((Seconds() - t0) * 1e6);
      Pump();  // as the message loop does between ticks
    }
  }
  return Median(perTick);
}

}  // namespace
}  // namespace zimoklas::win32

int main(int argc, char** argv) {
  using namespace zimoklas;
  const double runSeconds = argc > 1 ? std::atof(argv[1]) : 10.0;

  settings::MemoryStore store;  // the defaults: white snow, "P.F. <year>"
  headless::FakeClock clock;
  animation::Pcg32 random;
  settings::Module1 module;
  win32::SceneWindow window(GetModuleHandleW(nullptr), [] {});
  saver::Form1 form(window, store, clock, random, module);
  window.Attach(&form);
  form.Form_Load("/s");
  window.Show();
  win32::Pump();
  const SizeF size = window.ClientSize();
  const animation::ScaleSize scale{size.width, size.height};
  std::printf("window %.0f x %.0f\n", size.width, size.height);

  const double direct = win32::FullLoadTickMicroseconds([&](auto& state, auto& draws) {
    HDC dc = GetDC(window.handle());
    win32::WindowPixels pixels(dc);
    animation::Tick(state, draws, pixels, scale);
    ReleaseDC(window.handle(), dc);
  });
  win32::ShadowPixels shadow(static_cast<int>(size.width), static_cast<int>(size.height));
  const double shadowed = win32::FullLoadTickMicroseconds([&](auto& state, auto& draws) {
    HDC dc = GetDC(window.handle());
    animation::Tick(state, draws, shadow, scale);
    shadow.Present(dc);
    ReleaseDC(window.handle(), dc);
  });
  std::printf("full-load tick (5000 pixel writes), median of %d ticks:\n", 40 * 64);
  std::printf("  SetPixelV to the window:        %8.0f us\n", direct);
  std::printf("  DIB-section shadow + BitBlt:    %8.0f us\n", shadowed);

  // The saver itself: the scene's message loop with its 5 ms tick, for `runSeconds`.
  win32::TickStats stats;
  const double t0 = win32::Seconds();
  win32::RunMessageLoop(
      [&] {
        HDC dc = GetDC(window.handle());
        win32::WindowPixels pixels(dc);
        form.Timer1_Timer(pixels);
        ReleaseDC(window.handle(), dc);
        if (win32::Seconds() - t0 >= runSeconds) PostQuitMessage(0);
      },
      std::chrono::microseconds(5000), &stats);
  const double elapsed = win32::Seconds() - t0;
  std::printf(
      "scene loop over %.1f s: %llu ticks delivered, %.1f ticks/s, %llu dropped, "
      "%s timer\n",
      elapsed, static_cast<unsigned long long>(stats.delivered),
      static_cast<double>(stats.delivered) / elapsed,
      static_cast<unsigned long long>(stats.dropped),
      stats.highResolution ? "high-resolution" : "plain");
  form.Unload();
  return 0;
}

// The cost of one animation tick at full load: 500 live sparks and 1500 falling flakes,
// with a sink that discards the pixels, with the render tool's 1920 x 1080 frame, and
// (given a display) through the X11 scene's pixel path.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "animation/tick.hpp"
#include "platform/headless/frame.hpp"
#include "platform/headless/full_load.hpp"
#ifdef ZIMOKLAS_HAVE_X11
#include "platform/x11/x11_pixels.hpp"
#endif

namespace zimoklas::animation {
namespace {

constexpr ScaleSize kScale{1920, 1080};
// The state is put back after this many ticks, before any flake can reach the bottom.
constexpr int kTicksPerRound = 64;

struct DiscardSink {
  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) {
    checksum += static_cast<std::uint32_t>(x) ^ static_cast<std::uint32_t>(y) ^ colour;
  }
  std::uint32_t checksum = 0;
};

// `afterTick` runs after each tick, timed; `betweenRounds` when the state is put back,
// untimed.
template <class Sink, class AfterTick = void (*)(), class BetweenRounds = void (*)()>
void RunFullLoad(
    benchmark::State& bench, Sink& sink, AfterTick afterTick = [] {},
    BetweenRounds betweenRounds = [] {}) {
  const auto start = headless::FullLoad();
  auto state = std::make_unique<AnimationState>(*start);
  headless::FullLoadDraws random;
  int ticks = 0;
  for (auto _ : bench) {
    Tick(*state, random, sink, kScale);
    afterTick();
    if (++ticks == kTicksPerRound) {
      bench.PauseTiming();
      ticks = 0;
      *state = *start;
      betweenRounds();
      bench.ResumeTiming();
    }
  }
}

void BM_FullLoadTick_DiscardSink(benchmark::State& bench) {
  DiscardSink sink;
  RunFullLoad(bench, sink);
  benchmark::DoNotOptimize(sink.checksum);
}
BENCHMARK(BM_FullLoadTick_DiscardSink)->Unit(benchmark::kMicrosecond);

void BM_FullLoadTick_FrameSink(benchmark::State& bench) {
  headless::Frame frame(1920, 1080);
  RunFullLoad(bench, frame);
  benchmark::DoNotOptimize(frame.pixels().data());
}
BENCHMARK(BM_FullLoadTick_FrameSink)->Unit(benchmark::kMicrosecond);

#ifdef ZIMOKLAS_HAVE_X11
// The tick drawn through the X11 scene's pixel path into a window of $DISPLAY, one flush a
// tick: what the saver spends a tick apart from waking up.
void BM_FullLoadTick_X11PixelBatch(benchmark::State& bench) {
  // One connection for every run of the benchmark: the server may still be busy with the
  // last run's closed connection.
  static Display* const display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    bench.SkipWithError("no X display");
    return;
  }
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 1920, 1080, 0, 0, 0);
  XMapWindow(display, window);
  XSync(display, False);
  {
    x11::PixelBatch batch(display, window, DefaultVisual(display, screen),
                          DefaultColormap(display, screen));
    batch.SetSize(1920, 1080);
    // The sync between rounds lets the server catch up, so that a backlog never blocks a
    // flush.
    RunFullLoad(
        bench, batch, [&batch] { batch.Flush(); }, [] { XSync(display, False); });
  }
  XDestroyWindow(display, window);
  XSync(display, False);
}
BENCHMARK(BM_FullLoadTick_X11PixelBatch)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
}  // namespace zimoklas::animation

BENCHMARK_MAIN();

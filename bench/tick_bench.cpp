// The cost of one animation tick at full load: 500 live sparks and 1500 falling flakes,
// with a sink that discards the pixels and with the render tool's 1920 x 1080 frame.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "animation/tick.hpp"
#include "platform/headless/frame.hpp"
#include "platform/headless/full_load.hpp"

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

template <class Sink>
void RunFullLoad(benchmark::State& bench, Sink& sink) {
  const auto start = headless::FullLoad();
  auto state = std::make_unique<AnimationState>(*start);
  headless::FullLoadDraws random;
  int ticks = 0;
  for (auto _ : bench) {
    Tick(*state, random, sink, kScale);
    if (++ticks == kTicksPerRound) {
      bench.PauseTiming();
      ticks = 0;
      *state = *start;
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

}  // namespace
}  // namespace zimoklas::animation

BENCHMARK_MAIN();

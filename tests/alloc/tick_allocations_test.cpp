// Counts every allocation made through operator new while the animation ticks. It
// replaces the global operator new, so it is a program of its own.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

#include "animation/random.hpp"
#include "animation/tick.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/frame.hpp"
#include "platform/headless/full_load.hpp"
#include "platform/headless/headless_window.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"

namespace {
std::size_t allocations = 0;
}  // namespace

// Arrays and the nothrow forms come through this one; nothing in the program is
// over-aligned.
void* operator new(std::size_t size) {
  ++allocations;
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

namespace zimoklas::animation {
namespace {

constexpr int kTicks = 10000;

TEST(Allocation, NoneInTenThousandTicksAtFullLoad) {
  const std::size_t start = allocations;
  auto probe = std::make_unique<int>(0);
  ASSERT_EQ(allocations, start + 1) << "the counting operator new is not in use";

  const std::unique_ptr<AnimationState> state = headless::FullLoad();
  headless::Frame frame(1920, 1080);
  headless::FullLoadDraws random;

  const std::size_t before = allocations;
  for (int tick = 0; tick < kTicks; ++tick) Tick(*state, random, frame, {1920, 1080});
  EXPECT_EQ(allocations - before, 0u);

  std::size_t live = 0;
  for (const Spark& spark : state->Sparks) live += spark.Active != kFalse ? 1 : 0;
  EXPECT_EQ(live, kSparkSlots);
}

TEST(Allocation, NoneInTenThousandTicksOfTheSceneWindow) {
  headless::HeadlessWindow window({1920, 1080});
  settings::MemoryStore store;
  headless::FakeClock clock;
  Pcg32 random;
  settings::Module1 module;
  auto form = std::make_unique<saver::Form1>(window, store, clock, random, module);
  window.Attach(form.get());
  ASSERT_EQ(form->Form_Load("/s"), saver::Mode::Saver);
  window.Show();
  headless::Frame frame(1920, 1080);

  const std::size_t before = allocations;
  int bursts = 0;
  for (int tick = 0; tick < kTicks; ++tick) {
    const bool flying = form->animation().RocketActive != kFalse;
    form->Timer1_Timer(frame);
    if (flying && form->animation().RocketActive == kFalse) ++bursts;
  }
  EXPECT_EQ(allocations - before, 0u);
  EXPECT_GT(bursts, 50);  // launches, bursts, deaths and flake starts all took place
}

}  // namespace
}  // namespace zimoklas::animation

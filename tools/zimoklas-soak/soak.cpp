// The soak run: Form1 on the headless window with a fake clock, a memory store and the
// program's own generator; a checking sink in front of the in-memory frame.
#include "soak.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <ostream>

#include "animation/animation_state.hpp"
#include "animation/random.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/frame.hpp"
#include "platform/headless/headless_window.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"
#include "settings/module1.hpp"

namespace zimoklas::soak {
namespace {

constexpr std::int32_t kMargin = 2;
constexpr std::size_t kMaxFaults = 10;
constexpr std::uint64_t kTicksPerSecond =
    saver::Form1::kTimer2Interval / saver::Form1::kTimer1Interval;
constexpr std::uint64_t kProgressEvery = 1'000'000;
// Far inside the 32-bit range that the pixel call converts to; a position beyond it
// means the motion has run away.
constexpr double kPositionBound = 1e6;

// Forwards each write to the frame, counts it by where it lies, checks that a write
// inside the window shows at once, and keeps the tick's first writes, the rocket's.
class CheckingSink {
 public:
  CheckingSink(headless::Frame& frame, SoakReport& report) : frame_(frame), report_(report) {}

  void SetPixel(std::int32_t x, std::int32_t y, Colour colour) {
    frame_.SetPixel(x, y, colour);
    ++report_.writes;
    report_.minX = std::min(report_.minX, x);
    report_.maxX = std::max(report_.maxX, x);
    report_.minY = std::min(report_.minY, y);
    report_.maxY = std::max(report_.maxY, y);
    if (x >= 0 && x < frame_.width() && y >= 0 && y < frame_.height()) {
      ++report_.writesInside;
      if (frame_.At(x, y) != colour) wrongPixel_ = true;
    } else if (InMargin(x, y)) {
      ++report_.writesInMargin;
    } else {
      ++report_.writesBeyond;
    }
    if (tickWrites_ < first_.size()) first_[tickWrites_] = {x, y};
    ++tickWrites_;
  }

  void StartTick() {
    tickWrites_ = 0;
    wrongPixel_ = false;
  }
  bool InMargin(std::int32_t x, std::int32_t y) const {
    return x >= -kMargin && x < frame_.width() + kMargin && y >= -kMargin &&
           y < frame_.height() + kMargin;
  }
  // The first `count` writes of the tick lie within the margin.
  bool FirstWritesInMargin(std::size_t count) const {
    return std::all_of(first_.begin(), first_.begin() + static_cast<std::ptrdiff_t>(count),
                       [this](const Point& p) { return InMargin(p.x, p.y); });
  }
  std::size_t tickWrites() const { return tickWrites_; }
  bool wrongPixel() const { return wrongPixel_; }

 private:
  struct Point {
    std::int32_t x = 0, y = 0;
  };
  headless::Frame& frame_;
  SoakReport& report_;
  std::array<Point, 6> first_{};
  std::size_t tickWrites_ = 0;
  bool wrongPixel_ = false;
};

bool Sane(double value) {
  return std::isfinite(value) && std::abs(value) < kPositionBound;
}

bool IsVbBool(VbBool value) {
  return value == kTrue || value == kFalse;
}

// The pools' invariants: flags that are booleans, and finite positions and speeds. Also
// counts the live sparks and flakes into the report.
bool CheckPools(const animation::AnimationState& s, SoakReport& report) {
  ++report.poolChecks;
  std::size_t sparks = 0;
  std::size_t flakes = 0;
  bool sane = IsVbBool(s.RocketActive) && Sane(s.RocketX) && Sane(s.RocketY) &&
              Sane(s.RocketDrift) && Sane(s.RocketSpeed);
  for (const animation::Spark& spark : s.Sparks) {
    sane = sane && IsVbBool(spark.Active);
    if (spark.Active == kFalse) continue;
    ++sparks;
    sane = sane && Sane(spark.X) && Sane(spark.Y) && Sane(spark.VX) && Sane(spark.VY);
  }
  for (const animation::Flake& flake : s.Flakes) {
    sane = sane && IsVbBool(flake.Active);
    if (flake.Active == kFalse) continue;
    ++flakes;
    sane = sane && Sane(flake.X) && Sane(flake.Y) && Sane(flake.Speed);
  }
  report.maxSparks = std::max(report.maxSparks, sparks);
  report.maxFlakes = std::max(report.maxFlakes, flakes);
  return sane;
}

}  // namespace

SoakReport RunSoak(const SoakOptions& options, std::ostream* progress) {
  SoakReport report;
  headless::HeadlessWindow window(
      {static_cast<float>(options.width), static_cast<float>(options.height)});
  settings::MemoryStore store;
  headless::FakeClock clock;
  animation::Pcg32 random;
  settings::Module1 module;
  saver::Form1 form(window, store, clock, random, module);
  window.Attach(&form);
  form.Form_Load("/s");
  window.Show();
  random.Seed(options.seed);

  headless::Frame frame(options.width, options.height);
  CheckingSink sink(frame, report);
  // The rocket's streak stays within the margin when the window is large enough for its
  // whole flight (612 rows up, 54 columns either way from the middle half).
  const bool rocketFits = options.height >= 640 && options.width >= 240;
  std::vector<std::string>& faults = report.faults;
  const auto fault = [&](std::uint64_t tick, const std::string& what) {
    if (faults.size() < kMaxFaults) faults.push_back("tick " + std::to_string(tick) + ": " + what);
  };

  for (std::uint64_t tick = 1; tick <= options.ticks; ++tick) {
    const bool rocketBefore = form.animation().RocketActive != kFalse;
    sink.StartTick();
    form.Timer1_Timer(sink);
    const bool rocketAfter = form.animation().RocketActive != kFalse;
    // In flight after the tick: erase and draw; burst on it: the erase only.
    const std::size_t rocket = rocketAfter ? 6 : (rocketBefore ? 3 : 0);
    if (rocketBefore && !rocketAfter) ++report.bursts;
    report.rocketWrites += rocket;
    if (sink.tickWrites() < rocket) fault(tick, "the rocket wrote fewer pixels than it moves");
    if (rocketFits && !sink.FirstWritesInMargin(std::min(rocket, sink.tickWrites()))) {
      fault(tick, "a rocket pixel outside the window's margin");
    }
    if (sink.wrongPixel()) fault(tick, "a write inside the window did not show");
    if (tick % kTicksPerSecond == 0) {
      form.Timer2_Timer();
      clock.reads.clear();
      window.repaints.clear();
    }
    if (tick % options.checkEvery == 0 || tick == options.ticks) {
      if (!CheckPools(form.animation(), report)) fault(tick, "a flag or position is broken");
    }
    report.ticks = tick;
    if (progress != nullptr && tick % kProgressEvery == 0) {
      *progress << "tick " << tick << ": max live " << report.maxSparks << " sparks, "
                << report.maxFlakes << " flakes; " << report.writes << " writes; "
                << report.faults.size() << " faults" << std::endl;
    }
  }
  return report;
}

void PrintReport(const SoakReport& report, double seconds, std::ostream& out) {
  out << "ticks: " << report.ticks << " in " << seconds << " s\n"
      << "pool checks: " << report.poolChecks << "\n"
      << "max live: " << report.maxSparks << " sparks, " << report.maxFlakes << " flakes\n"
      << "bursts: " << report.bursts << "\n"
      << "pixel writes checked: " << report.writes << " (" << report.writesInside
      << " inside the window, " << report.writesInMargin << " in its 2-pixel margin, "
      << report.writesBeyond << " beyond it)\n"
      << "rocket writes, all within the margin: " << report.rocketWrites << "\n"
      << "write extremes: x " << report.minX << ".." << report.maxX << ", y " << report.minY << ".."
      << report.maxY << "\n"
      << "faults: " << report.faults.size() << "\n";
  for (const std::string& fault : report.faults) out << "  " << fault << "\n";
}

}  // namespace zimoklas::soak

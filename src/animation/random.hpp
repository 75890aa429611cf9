// The program's one random generator: uniform single-precision draws in [0, 1).
#pragma once

#include <cstdint>

namespace zimoklas::animation {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  virtual void Seed(std::uint64_t seed) = 0;
  virtual float Draw() = 0;
};

// PCG32 (XSH RR 64/32, O'Neill 2014): small, fast, and with a good statistical record.
// A draw keeps the top 24 bits, so every value is an exact float in [0, 1).
class Pcg32 final : public RandomSource {
 public:
  explicit Pcg32(std::uint64_t seed = 0) { Seed(seed); }

  void Seed(std::uint64_t seed) override {
    state_ = 0;
    Next();
    state_ += seed;
    Next();
  }

  float Draw() override { return static_cast<float>(Next() >> 8) * 0x1.0p-24f; }

  std::uint32_t Next() {
    const std::uint64_t old = state_;
    state_ = old * 6364136223846793005ULL + kIncrement;
    const auto xorshifted = static_cast<std::uint32_t>(((old >> 18U) ^ old) >> 27U);
    const auto rot = static_cast<std::uint32_t>(old >> 59U);
    return (xorshifted >> rot) | (xorshifted << ((32U - rot) & 31U));
  }

 private:
  static constexpr std::uint64_t kIncrement = 1442695040888963407ULL;
  std::uint64_t state_ = 0;
};

}  // namespace zimoklas::animation

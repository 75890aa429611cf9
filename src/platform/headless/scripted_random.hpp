// A random source for tests and the render tool: it replays a given list of draws in
// order and throws DrawsExhausted once the list runs out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "animation/random.hpp"

namespace zimoklas::headless {

class DrawsExhausted : public std::runtime_error {
 public:
  explicit DrawsExhausted(std::size_t used)
      : std::runtime_error("the scripted draws ran out after " + std::to_string(used)),
        used_(used) {}
  std::size_t used() const { return used_; }

 private:
  std::size_t used_;
};

class ScriptedRandom final : public animation::RandomSource {
 public:
  ScriptedRandom() = default;
  explicit ScriptedRandom(std::vector<float> draws) : draws_(std::move(draws)) {}

  // Appends draws to be replayed after the ones already given.
  void Add(std::initializer_list<float> draws) { draws_.insert(draws_.end(), draws); }
  void Add(float draw, std::size_t times) { draws_.insert(draws_.end(), times, draw); }

  // Seeding changes nothing: the script is the sequence.
  void Seed(std::uint64_t /*seed*/) override {}
  float Draw() override {
    if (next_ == draws_.size()) throw DrawsExhausted(next_);
    return draws_[next_++];
  }

  std::size_t used() const { return next_; }
  std::size_t remaining() const { return draws_.size() - next_; }

 private:
  std::vector<float> draws_;
  std::size_t next_ = 0;
};

}  // namespace zimoklas::headless

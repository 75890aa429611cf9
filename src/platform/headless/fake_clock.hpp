// A clock for tests and tools: fixed texts and year, and a record of the order in which
// the date and the time were read.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "saver/saver_platform.hpp"

namespace zimoklas::headless {

class FakeClock final : public saver::Clock {
 public:
  FakeClock(std::string date = "31.12.2026", std::string time = "23:59:58", int year = 2026)
      : date_(std::move(date)), time_(std::move(time)), year_(year) {}

  void Set(std::string date, std::string time, int year) {
    date_ = std::move(date);
    time_ = std::move(time);
    year_ = year;
  }
  // Called after every read of the date or time, to let the clock move on between them.
  void OnRead(std::function<void(FakeClock&)> hook) { onRead_ = std::move(hook); }

  std::string ShortDate() override {
    reads.emplace_back("date");
    std::string value = date_;
    if (onRead_) onRead_(*this);
    return value;
  }
  std::string LongTime() override {
    reads.emplace_back("time");
    std::string value = time_;
    if (onRead_) onRead_(*this);
    return value;
  }
  int CurrentYear() override { return year_; }
  std::uint64_t SeedFromTimeOfDay() override { return 86399; }

  std::vector<std::string> reads;

 private:
  std::string date_;
  std::string time_;
  int year_;
  std::function<void(FakeClock&)> onRead_;
};

}  // namespace zimoklas::headless

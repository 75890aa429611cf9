// Cookies of the inhibitors, by caller.
#include "idle/inhibitor_book.hpp"

#include <algorithm>
#include <utility>

namespace zimoklas::idle {

std::uint32_t InhibitorBook::Inhibit(const std::string& caller, std::string application,
                                     std::string reason) {
  do {
    ++last_;  // wraps after 2^32 cookies; 0 and cookies still held are skipped
  } while (last_ == 0 || held_.contains(last_));
  held_.emplace(last_, Inhibitor{caller, std::move(application), std::move(reason)});
  return last_;
}

bool InhibitorBook::UnInhibit(const std::string& caller, std::uint32_t cookie) {
  const auto found = held_.find(cookie);
  if (found == held_.end() || found->second.caller != caller) return false;
  held_.erase(found);
  return true;
}

std::size_t InhibitorBook::CallerVanished(const std::string& caller) {
  return std::erase_if(held_,
                       [&caller](const auto& entry) { return entry.second.caller == caller; });
}

bool InhibitorBook::Holds(const std::string& caller) const {
  return std::any_of(held_.begin(), held_.end(),
                     [&caller](const auto& entry) { return entry.second.caller == caller; });
}

}  // namespace zimoklas::idle

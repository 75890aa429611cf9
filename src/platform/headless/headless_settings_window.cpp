// The headless settings window.
#include "platform/headless/headless_settings_window.hpp"

#include <algorithm>

namespace zimoklas::headless {
namespace {

std::optional<std::string> Copy(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

}  // namespace

std::intptr_t HeadlessSettingsWindow::ShellExecuteA(std::intptr_t owner, const char* operation,
                                                    const char* file, const char* parameters,
                                                    const char* directory, int showCommand) {
  shellCalls.push_back(
      {owner, Copy(operation), Copy(file), Copy(parameters), Copy(directory), showCommand});
  return shellResult;
}

std::size_t HeadlessSettingsWindow::CountOf(dialog::Form2Control control) const {
  return static_cast<std::size_t>(std::count(changes.begin(), changes.end(), control));
}

}  // namespace zimoklas::headless

// The headless settings window: records what Form2 asked of its window (which controls
// to show anew, heights, shell calls, messages, the end of the program), so tests and
// tools can run the settings window's logic without a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_platform.hpp"

namespace zimoklas::headless {

class HeadlessSettingsWindow final : public dialog::SettingsWindowView {
 public:
  struct ShellCall {
    std::intptr_t owner = 0;
    std::optional<std::string> operation, file, parameters, directory;
    int showCommand = 0;
  };

  void ControlChanged(dialog::Form2Control control) override { changes.push_back(control); }
  void SetClientHeight(float twips) override { heights.push_back(twips); }
  std::intptr_t ShellExecuteA(std::intptr_t owner, const char* operation, const char* file,
                              const char* parameters, const char* directory,
                              int showCommand) override;
  void ShowError(std::string_view utf8Message) override { errors.emplace_back(utf8Message); }
  void EndProgram() override { ++ended; }

  // How often a control was shown anew.
  std::size_t CountOf(dialog::Form2Control control) const;

  std::vector<dialog::Form2Control> changes;
  std::vector<float> heights;
  std::vector<ShellCall> shellCalls;
  std::vector<std::string> errors;
  int ended = 0;
  // What the shell answers; above 32 means it took the request.
  std::intptr_t shellResult = 42;
};

}  // namespace zimoklas::headless

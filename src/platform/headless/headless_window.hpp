// The headless scene window: a window that exists only in memory. It records what the
// logic asked of it (topmost placement, cursor, show, hide, unload, repaints) and
// measures text with a fixed metric, so tests and tools can run Form1 without a display.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "saver/form1.hpp"
#include "saver/saver_platform.hpp"

namespace zimoklas::headless {

class HeadlessWindow final : public saver::SaverWindow {
 public:
  explicit HeadlessWindow(SizeF screen = {1920, 1080}, float dpi = 96);

  // The resize step runs through this form when the window's size changes.
  void Attach(saver::Form1* form) { form_ = form; }
  // Shows the window as the platform does after the load step: the first layout runs.
  void Show();

  // Fixed metric: every character is half an em wide and a line is one em high, where
  // an em is the font's size in pixels. Tests can give a text an exact extent.
  void SetExtent(const std::string& utf8, SizeF extent) { extents_[utf8] = extent; }
  // Or measures every text with a real text layer.
  using Measure = std::function<SizeF(const FontDesign&, std::string_view)>;
  void SetMeasure(Measure measure) { measure_ = std::move(measure); }
  void FailSetWindowPos(bool fail) { failSetWindowPos_ = fail; }

  saver::WindowHandle hWnd() const override { return 0x1234; }
  int SetWindowPos(saver::WindowHandle window, saver::WindowHandle insertAfter, int x, int y,
                   int cx, int cy, unsigned flags) override;
  int ShowCursor(bool show) override;
  void Hide() override { visible = false; }
  void EndProcess() override { ended = true; }
  void ShowSettingsWindow() override { ++settingsWindowsShown; }
  void Destroy() override { ++destroyed; }
  float Dpi() const override { return dpi_; }
  SizeF PrimaryScreenSize() const override { return screen_; }
  void SetBounds(float left, float top, float width, float height) override;
  SizeF ClientSize() const override { return client_; }
  SizeF MeasureText(const FontDesign& font, std::string_view utf8) override;
  void Repaint(const RectF& area) override { repaints.push_back(area); }

  struct SetWindowPosCall {
    saver::WindowHandle window, insertAfter;
    int x, y, cx, cy;
    unsigned flags;
  };

  // What the logic did to the window.
  std::vector<SetWindowPosCall> setWindowPosCalls;
  std::vector<bool> cursorCalls;  // the argument of each ShowCursor call
  int cursorCount = 0;            // the display count, 0 before the saver starts
  bool visible = false;
  bool topmost = false;
  bool ended = false;
  int settingsWindowsShown = 0;
  int destroyed = 0;
  int resizes = 0;
  float left = 0, top = 0;
  std::vector<RectF> repaints;

 private:
  saver::Form1* form_ = nullptr;
  SizeF screen_;
  SizeF client_;
  float dpi_;
  bool failSetWindowPos_ = false;
  std::map<std::string, SizeF> extents_;
  Measure measure_;
};

}  // namespace zimoklas::headless

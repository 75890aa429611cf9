// Headless scene window.
#include "platform/headless/headless_window.hpp"

#include <cmath>

namespace zimoklas::headless {

HeadlessWindow::HeadlessWindow(SizeF screen, float dpi)
    : screen_(screen),
      client_{saver::TwipsToPixels(saver::kDesignClientWidthTwips, dpi),
              saver::TwipsToPixels(saver::kDesignClientHeightTwips, dpi)},
      dpi_(dpi) {}

void HeadlessWindow::Show() {
  visible = true;
  if (form_ != nullptr) {
    ++resizes;
    form_->Form_Resize();
  }
}

int HeadlessWindow::SetWindowPos(saver::WindowHandle window, saver::WindowHandle insertAfter, int x,
                                 int y, int cx, int cy, unsigned flags) {
  setWindowPosCalls.push_back({window, insertAfter, x, y, cx, cy, flags});
  if (failSetWindowPos_) return 0;
  topmost = insertAfter == saver::kHwndTopmost;
  return 1;
}

int HeadlessWindow::ShowCursor(bool show) {
  cursorCalls.push_back(show);
  cursorCount += show ? 1 : -1;
  return cursorCount;
}

void HeadlessWindow::SetBounds(float newLeft, float newTop, float width, float height) {
  left = newLeft;
  top = newTop;
  if (client_.width == width && client_.height == height) return;
  client_ = {width, height};
  if (visible && form_ != nullptr) {
    ++resizes;
    form_->Form_Resize();
  }
}

SizeF HeadlessWindow::MeasureText(const FontDesign& font, std::string_view utf8) {
  if (measure_) return measure_(font, utf8);
  const auto it = extents_.find(std::string(utf8));
  if (it != extents_.end()) return it->second;
  std::size_t characters = 0;
  for (const char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U) ++characters;
  }
  const float em = font.EmPixels(dpi_);
  return {static_cast<float>(characters) * std::round(em / 2.0f), em};
}

}  // namespace zimoklas::headless

// The scene window on Win32: its native styles and placement, the events it forwards to
// Form1, and label repaints that wipe the animation under them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "animation/random.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/headless_window.hpp"
#include "platform/win32/win32_fonts.hpp"
#include "platform/win32/win32_scene.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"

namespace zimoklas::win32 {
namespace {

struct Saver {
  Saver() : window(GetModuleHandleW(nullptr), [] {}), form(window, store, clock, random, module) {
    window.Attach(&form);
  }
  // Pumps what the window has queued, as the message loop would.
  static void Pump() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  settings::MemoryStore store;
  headless::FakeClock clock;
  animation::Pcg32 random;
  settings::Module1 module;
  SceneWindow window;
  saver::Form1 form;
};

TEST(SceneWindow, IsABorderlessTopmostPopupOverThePrimaryScreen) {
  Saver saver;
  HWND hwnd = saver.window.handle();
  if (hwnd == nullptr) GTEST_SKIP() << "no display to create windows on";
  ASSERT_EQ(saver.form.Form_Load("/s"), saver::Mode::Saver);
  saver.window.Show();

  const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST) << "placed by SetWindowPos(HWND_TOPMOST)";
  EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW) << "not in the taskbar";
  EXPECT_FALSE(exStyle & WS_EX_APPWINDOW);
  wchar_t title[32] = {};
  GetWindowTextW(hwnd, title, 32);
  EXPECT_STREQ(title, L"Zimoklas");
  EXPECT_NE(GetClassLongPtrW(hwnd, GCLP_HICON), 0) << "the program's icon";

  RECT rect{};
  GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(saver.form.ScaleWidth(), static_cast<float>(GetSystemMetrics(SM_CXSCREEN)));
  saver.form.Unload();
}

TEST(SceneWindow, ForwardsInputToTheFormsRules) {
  Saver saver;
  HWND hwnd = saver.window.handle();
  if (hwnd == nullptr) GTEST_SKIP() << "no display to create windows on";
  saver.form.Form_Load("/s");
  saver.window.Show();
  Saver::Pump();
  const saver::SceneLabel& large = saver.form.label(saver::LabelId::Label2);
  const LPARAM onLarge = MAKELPARAM(static_cast<int>(large.left + large.width / 2),
                                    static_cast<int>(large.top + large.height / 2));
  const LPARAM onSky = MAKELPARAM(20, 600);

  SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, onLarge);
  SendMessageW(hwnd, WM_LBUTTONUP, 0, onLarge);
  SendMessageW(hwnd, WM_KEYDOWN, VK_SHIFT, 0);
  const int movesBefore = saver.form.moveCount(saver::MoveTarget::Window);
  for (int i = movesBefore; i < 10; ++i) SendMessageW(hwnd, WM_MOUSEMOVE, 0, onSky);
  EXPECT_EQ(saver.form.moveCount(saver::MoveTarget::Window), 10);
  EXPECT_TRUE(saver.window.alive()) << "a click on a label, Shift and ten moves keep it";

  SendMessageW(hwnd, WM_CHAR, L'x', 0);
  EXPECT_FALSE(saver.window.alive());
  EXPECT_FALSE(IsWindow(hwnd));
  MSG quit{};
  EXPECT_NE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE), FALSE)
      << "the loop is told to end";
}

TEST(SceneWindow, AWindowClosedFromOutsideGivesTheCursorBack) {
  Saver saver;
  HWND hwnd = saver.window.handle();
  if (hwnd == nullptr) GTEST_SKIP() << "no display to create windows on";
  saver.form.Form_Load("/s");  // hides the cursor once
  saver.window.Show();
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(saver.form.unloaded());
  EXPECT_EQ(ShowCursor(TRUE), 1) << "the count is back where it was before the saver";
  ShowCursor(FALSE);
  Saver::Pump();
}

// Label repaints on a 32-bit memory picture of the scene, filled with "animation".
TEST(ScenePaint, ARepaintWipesTheAnimationInItsAreaAndDrawsTheLabel) {
  headless::HeadlessWindow headless({1920, 1080}, 96);
  settings::MemoryStore store;
  headless::FakeClock clock;
  animation::Pcg32 random;
  settings::Module1 module;
  saver::Form1 form(headless, store, clock, random, module);
  headless.Attach(&form);
  form.Form_Load("/s");
  headless.Show();

  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 1920, -1080, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP picture = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(picture, nullptr);
  HGDIOBJ old = SelectObject(dc, picture);
  auto* pixels = static_cast<std::uint32_t*>(bits);
  constexpr std::uint32_t kSpark = 0x00FFC828;  // 0x00RRGGBB in the DIB
  std::fill(pixels, pixels + 1920 * 1080, kSpark);

  FontCache fonts(96);
  const saver::SceneLabel& notice = form.label(saver::LabelId::Label4);
  const RECT area = OuterPixels(notice.Bounds());
  PaintScene(dc, area, form, fonts);
  GdiFlush();

  int sparksInside = 0, noticeInk = 0, changedOutside = 0;
  for (int y = 0; y < 1080; ++y) {
    for (int x = 0; x < 1920; ++x) {
      const std::uint32_t p = pixels[y * 1920 + x];
      const bool inside = x >= area.left && x < area.right && y >= area.top && y < area.bottom;
      if (inside && p == kSpark) ++sparksInside;
      if (inside && p == 0x00C00000) ++noticeInk;  // (192, 0, 0)
      if (!inside && p != kSpark) ++changedOutside;
    }
  }
  EXPECT_EQ(sparksInside, 0) << "the repaint fills its area black";
  EXPECT_GT(noticeInk, 20) << "and draws the notice's glyphs in dark red";
  EXPECT_EQ(changedOutside, 0) << "nothing outside the area is touched";

  SelectObject(dc, old);
  DeleteObject(picture);
  DeleteDC(dc);
}

}  // namespace
}  // namespace zimoklas::win32

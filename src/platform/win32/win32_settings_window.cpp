// The settings window Form2 on Windows: a fixed tool window with native scroll bars,
// text boxes, check box and buttons, and drawn labels, shapes and picture. It forwards
// the user's actions to the core's Form2 and shows each control's new state.
#include "platform/win32/win32_settings_window.hpp"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <array>
#include <optional>
#include <string>

#include "dialog/dialog_platform.hpp"
#include "dialog/form2.hpp"
#include "dialog/form2_design.hpp"
#include "platform/win32/win32_fonts.hpp"
#include "platform/win32/win32_picture.hpp"
#include "platform/win32/win32_settings_paint.hpp"
#include "platform/win32/win32_text.hpp"

namespace zimoklas::win32 {
namespace {

using dialog::ControlDesign;
using dialog::ControlKind;
using dialog::Form2Control;
using dialog::ScrollBarId;

constexpr wchar_t kClassName[] = L"ZimoklasSettings";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE;

// Command identifiers: Enter and Esc send IDOK and IDCANCEL, so the buttons they press
// carry those.
constexpr int kIdHScroll1 = 101;
constexpr int kIdText1 = 104;
constexpr int kIdCheck1 = 105;
constexpr int kIdText2 = 106;
constexpr int kIdCommand3 = 107;

std::optional<dialog::ScrollAction> ActionOf(int code) {
  switch (code) {
    case SB_LINELEFT:
      return dialog::ScrollAction::LineLeft;
    case SB_LINERIGHT:
      return dialog::ScrollAction::LineRight;
    case SB_PAGELEFT:
      return dialog::ScrollAction::PageLeft;
    case SB_PAGERIGHT:
      return dialog::ScrollAction::PageRight;
    case SB_LEFT:
      return dialog::ScrollAction::ToLeft;
    case SB_RIGHT:
      return dialog::ScrollAction::ToRight;
    case SB_THUMBTRACK:
      return dialog::ScrollAction::ThumbTrack;
    case SB_THUMBPOSITION:
      return dialog::ScrollAction::ThumbRelease;
    case SB_ENDSCROLL:
      return dialog::ScrollAction::EndScroll;
    default:
      return std::nullopt;
  }
}

std::wstring WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

class SettingsWindow final : public dialog::SettingsWindowView {
 public:
  SettingsWindow(HINSTANCE instance, settings::Store& store, settings::Module1& module,
                 saver::Clock& clock)
      : instance_(instance), form_(*this, store, module, clock) {}
  SettingsWindow(const SettingsWindow&) = delete;
  SettingsWindow& operator=(const SettingsWindow&) = delete;

  int Run();

  void ControlChanged(Form2Control control) override;
  void SetClientHeight(float twips) override;
  std::intptr_t ShellExecuteA(std::intptr_t owner, const char* operation, const char* file,
                              const char* parameters, const char* directory,
                              int showCommand) override;
  void ShowError(std::string_view utf8Message) override;
  void EndProgram() override;

 private:
  enum class Target : std::uint8_t { None, Image1, Label7 };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool Create();
  // Resizes the window so that its client area has this size.
  void SizeClientTo(int width, int height);
  HWND CreateChild(const ControlDesign& design);
  void AddTooltip(HWND tooltip, const ControlDesign& design, HWND control);
  void OnCommand(int id, int code);
  void OnScroll(HWND bar, int code);
  void OnPaint();
  Target TargetAt(POINT point);
  RECT BoundsOf(std::string_view name) {
    return painter_->Bounds(*dialog::FindDesign(name), form_);
  }
  void Invalidate(const RECT& rect) { InvalidateRect(hwnd_, &rect, FALSE); }
  void SetTextIfDifferent(HWND control, const std::string& utf8);

  HINSTANCE instance_;
  dialog::Form2 form_;
  HWND hwnd_ = nullptr;
  std::optional<SettingsPainter> painter_;
  std::array<HWND, 3> bars_{};
  HWND text1_ = nullptr;
  HWND text2_ = nullptr;
  HWND check1_ = nullptr;
  HFONT font_ = nullptr;
  std::array<RECT, 3> labelRects_{};
  Target pressed_ = Target::None;
  bool mirroring_ = false;
  bool destroying_ = false;
};

int SettingsWindow::Run() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  const GdiplusSession gdiplus;
  if (!Create()) return 0;

  form_.Form_Load();
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  // The first control in the tab order that takes the focus.
  SetFocus(bars_[0]);

  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &message) != FALSE) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

bool SettingsWindow::Create() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  // The window keeps a dialog's extra data, so the dialog manager handles the default
  // and cancel buttons and the tab order for it.
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = instance_;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);

  painter_.emplace(instance_, ScreenDpi());

  const int clientWidth = painter_->Px(dialog::kClientWidth);
  const int clientHeight = painter_->Px(dialog::kClientHeight);
  RECT outer{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
  const std::wstring caption = Utf8ToWide(dialog::kWindowCaption);
  hwnd_ = CreateWindowExW(kExStyle, kClassName, caption.c_str(), kStyle, CW_USEDEFAULT,
                          CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top,
                          nullptr, nullptr, instance_, this);
  if (hwnd_ == nullptr) return false;
  // Corrects for any difference between the computed and the real frame.
  SizeClientTo(clientWidth, clientHeight);

  font_ = painter_->Font(dialog::kDefaultFont);
  HWND tooltip =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
  for (const ControlDesign& design : dialog::kForm2Design) {
    HWND control = CreateChild(design);
    if (tooltip != nullptr && !design.tooltip.empty()) AddTooltip(tooltip, design, control);
  }
  SendMessageW(hwnd_, DM_SETDEFID, IDOK, 0);
  labelRects_ = {BoundsOf("Label1"), BoundsOf("Label2"), BoundsOf("Label3")};
  return true;
}

HWND SettingsWindow::CreateChild(const ControlDesign& design) {
  const RECT r = painter_->DesignRect(design);
  const auto make = [&](const wchar_t* cls, const std::wstring& text, DWORD style, DWORD exStyle,
                        int id) {
    HWND child =
        CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                        r.right - r.left, r.bottom - r.top, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return child;
  };
  switch (design.kind) {
    case ControlKind::ScrollBar: {
      // HScroll1 to HScroll3: red, green, blue.
      const int number = design.name.back() - '1';
      const auto bar = static_cast<ScrollBarId>(number);
      HWND child = make(L"SCROLLBAR", L"", WS_TABSTOP | SBS_HORZ, 0, kIdHScroll1 + number);
      const dialog::ScrollBarState& state = form_.scrollBar(bar);
      SCROLLINFO info{
          sizeof(info), SIF_RANGE | SIF_POS | SIF_PAGE, state.Min, state.Max, 0, state.Value, 0};
      SetScrollInfo(child, SB_CTL, &info, TRUE);
      bars_[static_cast<std::size_t>(bar)] = child;
      return child;
    }
    case ControlKind::TextBox: {
      const bool first = design.name == "Text1";
      const dialog::TextBoxState& state = first ? form_.Text1() : form_.Text2();
      HWND child = make(L"EDIT", Utf8ToWide(state.Text),
                        WS_TABSTOP | ES_AUTOHSCROLL | (state.Enabled ? 0 : WS_DISABLED),
                        WS_EX_CLIENTEDGE, first ? kIdText1 : kIdText2);
      (first ? text1_ : text2_) = child;
      return child;
    }
    case ControlKind::CheckBox:
      check1_ =
          make(L"BUTTON", Utf8ToWide(form_.Check1Caption()), WS_TABSTOP | BS_3STATE, 0, kIdCheck1);
      SendMessageW(check1_, BM_SETCHECK, static_cast<WPARAM>(form_.Check1Value()), 0);
      return check1_;
    case ControlKind::Button: {
      const int id = design.isDefault ? IDOK : design.isCancel ? IDCANCEL : kIdCommand3;
      return make(L"BUTTON", Utf8ToWide(design.caption),
                  WS_TABSTOP | (design.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, id);
    }
    default:
      return nullptr;  // drawn by the painter
  }
}

void SettingsWindow::AddTooltip(HWND tooltip, const ControlDesign& design, HWND control) {
  std::wstring text = Utf8ToWide(design.tooltip);
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.uFlags = TTF_SUBCLASS;
  info.hwnd = hwnd_;
  info.lpszText = text.data();
  if (control != nullptr) {
    info.uFlags |= TTF_IDISHWND;
    info.uId = reinterpret_cast<UINT_PTR>(control);
  } else {
    // A drawn part: the tip belongs to its rectangle on the window.
    info.uId = 1;
    info.rect = painter_->DesignRect(design);
  }
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

LRESULT CALLBACK SettingsWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<SettingsWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->hwnd_ != hwnd) {
    return DefDlgProcW(hwnd, message, wParam, lParam);
  }
  return self->Handle(message, wParam, lParam);
}

LRESULT SettingsWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_HSCROLL:
      OnScroll(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == check1_) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, dialog::FindDesign("Check1")->foreColour.value_or(0));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_LBUTTONDOWN: {
      pressed_ = TargetAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (pressed_ != Target::None) SetCapture(hwnd_);
      return 0;
    }
    case WM_LBUTTONUP: {
      const Target pressed = pressed_;
      pressed_ = Target::None;
      if (GetCapture() == hwnd_) ReleaseCapture();
      // A click is a press and a release over the same part.
      if (pressed == Target::None ||
          TargetAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) != pressed) {
        return 0;
      }
      if (pressed == Target::Image1) form_.Image1_Click();
      if (pressed == Target::Label7) form_.Label7_Click();
      return 0;
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
        POINT point{};
        GetCursorPos(&point);
        ScreenToClient(hwnd_, &point);
        if (TargetAt(point) == Target::Label7) {
          SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32651)));  // IDC_HELP
          return TRUE;
        }
      }
      break;
    case WM_CLOSE:
      // The close box and the system's requests to close.
      form_.Unload();
      return 0;
    case WM_ENDSESSION:
      if (wParam != FALSE) form_.Unload();
      return 0;
    case WM_DESTROY:
      destroying_ = true;
      form_.Unload();
      hwnd_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefDlgProcW(hwnd_, message, wParam, lParam);
}

void SettingsWindow::OnCommand(int id, int code) {
  switch (id) {
    case IDOK:
      form_.Command1_Click();
      return;
    case IDCANCEL:
      form_.Command2_Click();
      return;
    case kIdCommand3:
      if (code == BN_CLICKED) form_.Command3_Click();
      return;
    case kIdCheck1:
      if (code == BN_CLICKED) form_.UserClickedCheck1();
      return;
    case kIdText1:
      if (code == EN_CHANGE && !mirroring_) form_.UserEditedText1(WideToUtf8(WindowText(text1_)));
      return;
    case kIdText2:
      if (code == EN_CHANGE && !mirroring_) form_.UserEditedText2(WideToUtf8(WindowText(text2_)));
      return;
    default:
      return;
  }
}

void SettingsWindow::OnScroll(HWND bar, int code) {
  for (std::size_t i = 0; i < bars_.size(); ++i) {
    if (bars_[i] != bar) continue;
    const std::optional<dialog::ScrollAction> action = ActionOf(code);
    if (!action) return;
    SCROLLINFO info{sizeof(info), SIF_TRACKPOS, 0, 0, 0, 0, 0};
    GetScrollInfo(bar, SB_CTL, &info);
    form_.UserScrolled(static_cast<ScrollBarId>(i), *action, info.nTrackPos);
    return;
  }
}

void SettingsWindow::OnPaint() {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd_, &ps);
  RECT client{};
  GetClientRect(hwnd_, &client);
  // Painted off screen first, so the swatch and labels do not flicker while a bar moves.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  painter_->Paint(memory, ps.rcPaint, form_);
  BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
         ps.rcPaint.bottom - ps.rcPaint.top, memory, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  EndPaint(hwnd_, &ps);
}

SettingsWindow::Target SettingsWindow::TargetAt(POINT point) {
  RECT image = painter_->DesignRect(*dialog::FindDesign("Image1"));
  if (PtInRect(&image, point) != FALSE) return Target::Image1;
  RECT link = BoundsOf("Label7");
  if (PtInRect(&link, point) != FALSE) return Target::Label7;
  return Target::None;
}

void SettingsWindow::SetTextIfDifferent(HWND control, const std::string& utf8) {
  const std::wstring text = Utf8ToWide(utf8);
  if (WindowText(control) != text) SetWindowTextW(control, text.c_str());
}

void SettingsWindow::ControlChanged(Form2Control control) {
  if (hwnd_ == nullptr) return;
  // Setting a native control's state raises no handler: scroll bars and check boxes
  // notify only on the user's actions, and a text box's change notice is ignored here.
  mirroring_ = true;
  switch (control) {
    case Form2Control::HScroll1:
    case Form2Control::HScroll2:
    case Form2Control::HScroll3: {
      const auto bar =
          static_cast<std::size_t>(control) - static_cast<std::size_t>(Form2Control::HScroll1);
      SetScrollPos(bars_[bar], SB_CTL, form_.scrollBar(static_cast<ScrollBarId>(bar)).Value, TRUE);
      break;
    }
    case Form2Control::Label1:
    case Form2Control::Label2:
    case Form2Control::Label3: {
      const auto label =
          static_cast<std::size_t>(control) - static_cast<std::size_t>(Form2Control::Label1);
      Invalidate(labelRects_[label]);
      labelRects_[label] = BoundsOf(std::array{"Label1", "Label2", "Label3"}[label]);
      Invalidate(labelRects_[label]);
      break;
    }
    case Form2Control::Shape1:
      Invalidate(BoundsOf("Shape1"));
      break;
    case Form2Control::Image1:
      Invalidate(BoundsOf("Image1"));
      break;
    case Form2Control::Text1:
      SetTextIfDifferent(text1_, form_.Text1().Text);
      break;
    case Form2Control::Text2:
      SetTextIfDifferent(text2_, form_.Text2().Text);
      EnableWindow(text2_, form_.Text2().Enabled ? TRUE : FALSE);
      break;
    case Form2Control::Check1:
      SetTextIfDifferent(check1_, form_.Check1Caption());
      SendMessageW(check1_, BM_SETCHECK, static_cast<WPARAM>(form_.Check1Value()), 0);
      break;
  }
  mirroring_ = false;
}

void SettingsWindow::SizeClientTo(int width, int height) {
  // The frame and title bar are whatever this desktop draws: measured, not assumed.
  RECT client{};
  GetClientRect(hwnd_, &client);
  if (client.right == width && client.bottom == height) return;
  RECT window{};
  GetWindowRect(hwnd_, &window);
  SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left + width - client.right,
               window.bottom - window.top + height - client.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SettingsWindow::SetClientHeight(float twips) {
  if (hwnd_ == nullptr) return;
  RECT client{};
  GetClientRect(hwnd_, &client);
  SizeClientTo(client.right, painter_->Px(twips));
}

std::intptr_t SettingsWindow::ShellExecuteA(std::intptr_t owner, const char* operation,
                                            const char* file, const char* parameters,
                                            const char* directory, int showCommand) {
  return reinterpret_cast<std::intptr_t>(::ShellExecuteA(reinterpret_cast<HWND>(owner), operation,
                                                         file, parameters, directory, showCommand));
}

void SettingsWindow::ShowError(std::string_view utf8Message) {
  const std::wstring text = Utf8ToWide(utf8Message);
  const std::wstring caption = Utf8ToWide(dialog::kWindowCaption);
  MessageBoxW(hwnd_, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void SettingsWindow::EndProgram() {
  if (hwnd_ != nullptr && !destroying_) {
    destroying_ = true;
    DestroyWindow(hwnd_);
  }
  PostQuitMessage(0);
}

}  // namespace

int RunSettingsWindow(HINSTANCE instance, settings::Store& store, settings::Module1& module,
                      saver::Clock& clock) {
  SettingsWindow window(instance, store, module, clock);
  return window.Run();
}

}  // namespace zimoklas::win32

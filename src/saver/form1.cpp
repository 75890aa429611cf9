// The scene window's logic.
#include "saver/form1.hpp"

#include <cctype>
#include <utility>

#include "settings/settings.hpp"

namespace zimoklas::saver {

Mode DispatchMode(std::string_view argumentText) {
  std::string mode(argumentText.substr(0, 2));
  for (char& c : mode) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (mode == "/p") return Mode::Preview;
  if (mode == "/s") return Mode::Saver;
  return Mode::Configuration;
}

std::string ClockText(Clock& clock) {
  std::string text = clock.ShortDate();
  text += "     ";
  text += clock.LongTime();
  return text;
}

Form1::Form1(SaverWindow& window, settings::Store& store, Clock& clock,
             animation::RandomSource& random, settings::Module1& module)
    : window_(window), store_(store), clock_(clock), random_(random), module_(module) {
  const float dpi = window_.Dpi();
  for (const LabelDesign& design : kLabelDesigns) {
    SceneLabel& label = mutableLabel(design.id);
    label.design = &design;
    label.caption = design.caption;
    label.left = TwipsToPixels(design.leftTwips, dpi);
    label.top = TwipsToPixels(design.topTwips, dpi);
    const SizeF extent = window_.MeasureText(design.font, label.caption);
    label.width = extent.width;
    label.height = extent.height;
  }
}

Mode Form1::Form_Load(std::string_view argumentText) {
  random_.Seed(clock_.SeedFromTimeOfDay());
  settings::ReadStartupSettings(store_, module_);
  animation_.SnowColour = MakeColour(module_.SnowRed, module_.SnowGreen, module_.SnowBlue);
  if (module_.UsePfYear != kFalse) {
    SetCaption(LabelId::Label2, "P.F. " + std::to_string(clock_.CurrentYear()));
  } else {
    SetCaption(LabelId::Label2, module_.SecondText);
  }
  SetCaption(LabelId::Label1, ClockText(clock_));
  SetCaption(LabelId::Label3, module_.GreetingText);

  const Mode mode = DispatchMode(argumentText);
  switch (mode) {
    case Mode::Preview:
      window_.Hide();
      window_.EndProcess();
      break;
    case Mode::Configuration:
      window_.Hide();
      window_.ShowSettingsWindow();
      break;
    case Mode::Saver: {
      VbBool onTop = kTrue;
      VzdyNahore(window_, onTop);
      window_.ShowCursor(false);
      break;
    }
  }
  return mode;
}

void Form1::VzdyNahore(const SaverWindow& FrmID, VbBool& OnTop) {
  // Only the true case is ever asked for; false takes the window out of the band.
  const WindowHandle insertAfter = OnTop != kFalse ? kHwndTopmost : kHwndNoTopmost;
  const int result =
      window_.SetWindowPos(FrmID.hWnd(), insertAfter, 0, 0, 0, 0, kSwpNoSize | kSwpNoMove);
  OnTop = ToVbBool(result != 0);
}

void Form1::Form_Resize() {
  const SizeF screen = window_.PrimaryScreenSize();
  window_.SetBounds(0, 0, screen.width, screen.height);
  const float scaleWidth = ScaleWidth();
  for (LabelId id : {LabelId::Label1, LabelId::Label2, LabelId::Label3}) {
    SetLeft(id, scaleWidth / 2.0f - label(id).width / 2.0f);
  }
  SetLeft(LabelId::Label4, scaleWidth - label(LabelId::Label4).width - 8.0f);
  SetTop(LabelId::Label4, ScaleHeight() - label(LabelId::Label4).height - 8.0f);
}

void Form1::Timer2_Timer() {
  SetCaption(LabelId::Label1, ClockText(clock_));
  // Moving the notice away and straight back repaints it over the animation.
  SetLeft(LabelId::Label4, label(LabelId::Label4).left - 1.0f);
  SetLeft(LabelId::Label4, label(LabelId::Label4).left + 1.0f);
}

void Form1::SetCaption(LabelId id, std::string caption) {
  SceneLabel& l = mutableLabel(id);
  const RectF before = l.Bounds();
  l.caption = std::move(caption);
  const SizeF extent = window_.MeasureText(l.design->font, l.caption);
  l.width = extent.width;
  l.height = extent.height;
  window_.Repaint(Union(before, l.Bounds()));
}

void Form1::SetLeft(LabelId id, float left) {
  SceneLabel& l = mutableLabel(id);
  if (l.left == left) return;
  const RectF before = l.Bounds();
  l.left = left;
  window_.Repaint(Union(before, l.Bounds()));
}

void Form1::SetTop(LabelId id, float top) {
  SceneLabel& l = mutableLabel(id);
  if (l.top == top) return;
  const RectF before = l.Bounds();
  l.top = top;
  window_.Repaint(Union(before, l.Bounds()));
}

std::array<const SceneLabel*, kLabelCount> Form1::LabelsInPaintOrder() const {
  std::array<const SceneLabel*, kLabelCount> order{};
  for (std::size_t i = 0; i < kLabelCount; ++i) order[i] = &label(kLabelDesigns[i].id);
  return order;
}

const SceneLabel* Form1::LabelAt(float x, float y) const {
  const auto order = LabelsInPaintOrder();
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    if ((*it)->Bounds().Contains(x, y)) return *it;
  }
  return nullptr;
}

bool Form1::OverWindow(float x, float y) const {
  const SizeF client = window_.ClientSize();
  return x >= 0 && y >= 0 && x < client.width && y < client.height;
}

void Form1::PointerMoved(float x, float y) {
  if (!OverWindow(x, y)) return;
  const SceneLabel* over = LabelAt(x, y);
  if (over == nullptr) return Form_MouseMove();
  switch (over->design->id) {
    case LabelId::Label1:
      return Label1_MouseMove();
    case LabelId::Label2:
      return Label2_MouseMove();
    case LabelId::Label3:
      return Label3_MouseMove();
    case LabelId::Label4:
      return;  // the notice has no handlers
  }
}

void Form1::PointerPressed(float x, float y) {
  if (OverWindow(x, y) && LabelAt(x, y) == nullptr) Form_MouseDown();
}

void Form1::PointerReleased(float x, float y) {
  if (OverWindow(x, y) && LabelAt(x, y) == nullptr) Form_MouseUp();
}

void Form1::PointerAtShow(float x, float y) {
  if (pointerAtShowCounted_) return;
  pointerAtShowCounted_ = true;
  PointerMoved(x, y);
}

bool IsKeyCharacter(std::uint32_t character) {
  return character != 0x00 && character != 0x7F && !(character >= 0x80 && character <= 0x9F);
}

void Form1::Form_KeyPress(std::uint32_t character) {
  if (IsKeyCharacter(character)) Unload();
}
void Form1::Form_MouseDown() {
  Unload();
}
void Form1::Form_MouseUp() {
  Unload();
}
void Form1::Form_MouseMove() {
  CountMove(MoveTarget::Window);
}
void Form1::Label1_MouseMove() {
  CountMove(MoveTarget::Label1);
}
void Form1::Label2_MouseMove() {
  CountMove(MoveTarget::Label2);
}
void Form1::Label3_MouseMove() {
  CountMove(MoveTarget::Label3);
}

void Form1::CountMove(MoveTarget target) {
  if (unloaded_) return;
  std::uint8_t& count = MoveCount[static_cast<std::size_t>(target)];
  ++count;
  if (count > 10) Unload();
}

void Form1::Form_Unload() {
  window_.ShowCursor(true);
}

void Form1::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  Form_Unload();
  window_.Destroy();
}

}  // namespace zimoklas::saver

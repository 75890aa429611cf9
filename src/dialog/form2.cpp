// The settings window's logic.
#include "dialog/form2.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "dialog/form2_design.hpp"
#include "settings/settings.hpp"

namespace zimoklas::dialog {
namespace {

constexpr Form2Control ControlOf(ScrollBarId bar) {
  switch (bar) {
    case ScrollBarId::HScroll1:
      return Form2Control::HScroll1;
    case ScrollBarId::HScroll2:
      return Form2Control::HScroll2;
    case ScrollBarId::HScroll3:
      return Form2Control::HScroll3;
  }
  return Form2Control::HScroll1;
}

constexpr std::size_t IndexOf(ScrollBarId bar) {
  return static_cast<std::size_t>(bar);
}

// A label's tint: half the byte, rounded down, over the label's base.
std::uint8_t Tint(std::uint8_t value, int base) {
  return static_cast<std::uint8_t>(std::floor(static_cast<double>(value) / 2.0) + base);
}

LabelState DesignLabel(std::string_view name) {
  const ControlDesign* design = FindDesign(name);
  return {std::string(design->caption), design->foreColour.value_or(0)};
}

}  // namespace

std::int16_t PositionAfter(const ScrollBarState& bar, ScrollAction action, int thumbPosition) {
  int next = bar.Value;
  switch (action) {
    case ScrollAction::LineLeft:
      next -= bar.SmallChange;
      break;
    case ScrollAction::LineRight:
      next += bar.SmallChange;
      break;
    case ScrollAction::PageLeft:
      next -= bar.LargeChange;
      break;
    case ScrollAction::PageRight:
      next += bar.LargeChange;
      break;
    case ScrollAction::ToLeft:
      next = bar.Min;
      break;
    case ScrollAction::ToRight:
      next = bar.Max;
      break;
    case ScrollAction::ThumbTrack:
    case ScrollAction::ThumbRelease:
      next = thumbPosition;
      break;
    case ScrollAction::EndScroll:
      break;
  }
  return static_cast<std::int16_t>(std::clamp<int>(next, bar.Min, bar.Max));
}

namespace {

// The setting behind a stored key, as the window's user knows it.
std::string_view SettingName(std::string_view key) {
  if (key == settings::kKeySnihR) return "červená složka barvy sněhu";
  if (key == settings::kKeySnihG) return "zelená složka barvy sněhu";
  if (key == settings::kKeySnihB) return "modrá složka barvy sněhu";
  if (key == settings::kKeyText1) return "první text";
  if (key == settings::kKeyText2) return "druhý text";
  if (key == settings::kKeyPf) return "volba P.F. s letopočtem";
  return {};
}

}  // namespace

std::string SaveFailureMessage(const settings::SaveFailure& failure) {
  std::string message = "Nastavení se nepodařilo uložit: úložiště odmítlo zápis hodnoty „";
  message += failure.key;
  message += "“";
  if (const std::string_view name = SettingName(failure.key); !name.empty()) {
    message += " (";
    message += name;
    message += ")";
  }
  message += ".";
  if (!failure.reason.empty()) {
    message += "\nDůvod: ";
    message += failure.reason;
  }
  message += "\n\n";
  if (failure.undone) {
    message += "Hodnoty zapsané před ní byly vráceny, uložené nastavení zůstalo beze změny. ";
  } else if (failure.storeUnchanged) {
    message += "Uložené nastavení zůstalo beze změny. ";
  } else {
    message += "Část hodnot už mohla být uložena. ";
  }
  message +=
      "Vaše úpravy zůstávají v okně. Zkuste to prosím znovu, nebo okno zavřete tlačítkem "
      "Storno.";
  return message;
}

std::string LinkFailureMessage() {
  std::string message = "Webovou stránku ";
  message += kWebAddress;
  message += " se nepodařilo otevřít: systém nemá pro webové adresy nastavený žádný prohlížeč.";
  return message;
}

Form2::Form2(SettingsWindowView& view, settings::Store& store, settings::Module1& module,
             saver::Clock& clock)
    : view_(view),
      store_(store),
      module_(module),
      clock_(clock),
      labels_{DesignLabel("Label1"), DesignLabel("Label2"), DesignLabel("Label3")},
      // The swatch matches the design positions of the bars until a bar first moves.
      shape1FillColor_(MakeColour(255, 255, 255)),
      text1_{std::string(FindDesign("Text1")->caption), true},
      // Disabled at design, in step with the ticked check box.
      text2_{std::string(FindDesign("Text2")->caption), false},
      check1Value_(settings::kChecked),
      check1Caption_(FindDesign("Check1")->caption) {}

void Form2::Form_Load() {
  check1Caption_ = std::string(kCheck1CaptionPrefix) + std::to_string(clock_.CurrentYear()) + "\"";
  Show(Form2Control::Check1);

  module_.SnowRed = settings::ReadColour(store_, settings::kKeySnihR);
  module_.SnowGreen = settings::ReadColour(store_, settings::kKeySnihG);
  module_.SnowBlue = settings::ReadColour(store_, settings::kKeySnihB);
  SetText1(settings::ReadText(store_, settings::kKeyText1, settings::kDefaultGreeting));
  SetText2(settings::ReadText(store_, settings::kKeyText2, settings::kDefaultSecondText));
  SetCheck1Value(settings::ReadCheckState(store_));
  module_.UsePfYear = ToVbBool(check1Value_ == settings::kChecked);

  SetScrollValue(ScrollBarId::HScroll1, module_.SnowRed);
  SetScrollValue(ScrollBarId::HScroll2, module_.SnowGreen);
  SetScrollValue(ScrollBarId::HScroll3, module_.SnowBlue);
}

void Form2::Form_Unload() {
  view_.EndProgram();
}

void Form2::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  Form_Unload();
}

void Form2::Command1_Click() {
  // A refused write must not close the window: the user's edits would be lost with it.
  if (const std::optional<settings::SaveFailure> refused = SaveSettings()) {
    view_.ShowError(SaveFailureMessage(*refused));
    return;
  }
  Unload();
}

void Form2::Command2_Click() {
  Unload();
}

void Form2::Command3_Click() {
  SetScrollValue(ScrollBarId::HScroll1, 255);
  SetScrollValue(ScrollBarId::HScroll2, 255);
  SetScrollValue(ScrollBarId::HScroll3, 255);
  SetText1(std::string(settings::kDefaultGreeting));
  SetText2(std::string(settings::kDefaultSecondText));
  SetCheck1Value(settings::kChecked);
}

void Form2::Check1_Click() {
  const bool ticked = check1Value_ == settings::kChecked;
  text2_.Enabled = !ticked;
  module_.UsePfYear = ToVbBool(ticked);
  Show(Form2Control::Text2);
}

void Form2::HScroll1_Change() {
  ScrollHandler(ScrollBarId::HScroll1);
}
void Form2::HScroll1_Scroll() {
  ScrollHandler(ScrollBarId::HScroll1);
}
void Form2::HScroll2_Change() {
  ScrollHandler(ScrollBarId::HScroll2);
}
void Form2::HScroll2_Scroll() {
  ScrollHandler(ScrollBarId::HScroll2);
}
void Form2::HScroll3_Change() {
  ScrollHandler(ScrollBarId::HScroll3);
}
void Form2::HScroll3_Scroll() {
  ScrollHandler(ScrollBarId::HScroll3);
}

void Form2::Image1_Click() {
  PanelOpen_ = static_cast<VbBool>(~PanelOpen_);
  const bool open = PanelOpen_ != kFalse;
  image1Picture_ = open ? Picture::ChevronsUp : Picture::ChevronsDown;
  Show(Form2Control::Image1);
  height_ = open ? kUnfoldedClientHeight : kFoldedClientHeight;
  view_.SetClientHeight(*height_);
}

void Form2::Label7_Click() {
  // The shell answers 32 or less when it could not open the address (no browser, no
  // handler): the user is told, instead of a click that silently does nothing.
  if (view_.ShellExecuteA(0, nullptr, kWebAddress, nullptr, nullptr, kShowNormal) <= 32) {
    view_.ShowError(LinkFailureMessage());
  }
}

void Form2::SetScrollValue(ScrollBarId bar, std::int16_t value) {
  const ScrollBarState& state = bars_[IndexOf(bar)];
  if (MoveBar(bar, std::clamp(value, state.Min, state.Max))) RaiseChange(bar);
}

void Form2::SetCheck1Value(std::int16_t state) {
  if (state == check1Value_) return;
  check1Value_ = state;
  Show(Form2Control::Check1);
  Check1_Click();
}

void Form2::SetText1(std::string text) {
  if (text == text1_.Text) return;
  text1_.Text = std::move(text);
  Show(Form2Control::Text1);
}

void Form2::SetText2(std::string text) {
  if (text == text2_.Text) return;
  text2_.Text = std::move(text);
  Show(Form2Control::Text2);
}

void Form2::UserScrolled(ScrollBarId bar, ScrollAction action, int thumbPosition) {
  const ScrollBarState& state = bars_[IndexOf(bar)];
  std::optional<std::int16_t>& dragStart = dragStart_[IndexOf(bar)];
  const std::int16_t next = PositionAfter(state, action, thumbPosition);
  switch (action) {
    case ScrollAction::ThumbTrack:
      if (!dragStart) dragStart = state.Value;
      if (MoveBar(bar, next)) RaiseScroll(bar);
      return;
    case ScrollAction::ThumbRelease: {
      const std::int16_t before = dragStart.value_or(state.Value);
      dragStart.reset();
      MoveBar(bar, next);
      if (next != before) RaiseChange(bar);
      return;
    }
    case ScrollAction::EndScroll:
      return;
    default:
      if (MoveBar(bar, next)) RaiseChange(bar);
      return;
  }
}

bool Form2::MoveBar(ScrollBarId bar, std::int16_t value) {
  ScrollBarState& state = bars_[IndexOf(bar)];
  if (value == state.Value) return false;
  state.Value = value;
  Show(ControlOf(bar));
  return true;
}

void Form2::UserClickedCheck1() {
  // A click ticks an unticked or greyed box and unticks a ticked one.
  SetCheck1Value(check1Value_ == settings::kChecked ? settings::kUnchecked : settings::kChecked);
}

void Form2::UserEditedText1(std::string text) {
  text1_.Text = std::move(text);
}

void Form2::UserEditedText2(std::string text) {
  text2_.Text = std::move(text);
}

std::optional<settings::SaveFailure> Form2::SaveSettings() {
  settings::SavedValues values;
  values.red = module_.SnowRed;
  values.green = module_.SnowGreen;
  values.blue = module_.SnowBlue;
  values.text1 = text1_.Text;
  values.text2 = text2_.Text;
  values.checkState = check1Value_;
  return settings::WriteAll(store_, values);
}

void Form2::UpdateColourPreview() {
  shape1FillColor_ = MakeColour(module_.SnowRed, module_.SnowGreen, module_.SnowBlue);
  Show(Form2Control::Shape1);
  labels_[0].Caption = "R = " + settings::FormatByte(module_.SnowRed);
  labels_[1].Caption = "G = " + settings::FormatByte(module_.SnowGreen);
  labels_[2].Caption = "B = " + settings::FormatByte(module_.SnowBlue);
  labels_[0].ForeColor = MakeColour(Tint(module_.SnowRed, 128), 0, 0);
  labels_[1].ForeColor = MakeColour(0, Tint(module_.SnowGreen, 32), 0);
  labels_[2].ForeColor = MakeColour(0, 0, Tint(module_.SnowBlue, 128));
  Show(Form2Control::Label1);
  Show(Form2Control::Label2);
  Show(Form2Control::Label3);
}

void Form2::ScrollHandler(ScrollBarId bar) {
  const std::uint8_t value = static_cast<std::uint8_t>(bars_[IndexOf(bar)].Value);
  switch (bar) {
    case ScrollBarId::HScroll1:
      module_.SnowRed = value;
      break;
    case ScrollBarId::HScroll2:
      module_.SnowGreen = value;
      break;
    case ScrollBarId::HScroll3:
      module_.SnowBlue = value;
      break;
  }
  UpdateColourPreview();
}

void Form2::RaiseChange(ScrollBarId bar) {
  switch (bar) {
    case ScrollBarId::HScroll1:
      HScroll1_Change();
      break;
    case ScrollBarId::HScroll2:
      HScroll2_Change();
      break;
    case ScrollBarId::HScroll3:
      HScroll3_Change();
      break;
  }
}

void Form2::RaiseScroll(ScrollBarId bar) {
  switch (bar) {
    case ScrollBarId::HScroll1:
      HScroll1_Scroll();
      break;
    case ScrollBarId::HScroll2:
      HScroll2_Scroll();
      break;
    case ScrollBarId::HScroll3:
      HScroll3_Scroll();
      break;
  }
}

}  // namespace zimoklas::dialog

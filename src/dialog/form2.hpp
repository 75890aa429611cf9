// Form2, the settings window, as plain logic: the state of every control its handlers
// touch, the handlers themselves, and the rule that setting a value from the program runs
// that control's handler when the value changes. A backend owns the real window, forwards
// the user's actions here and shows each control's new state when told.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/types.hpp"
#include "dialog/dialog_platform.hpp"
#include "saver/saver_platform.hpp"
#include "settings/module1.hpp"
#include "settings/store.hpp"

namespace zimoklas::dialog {

struct ScrollBarState {
  std::int16_t Value = 255;
  std::int16_t Min = 0;
  std::int16_t Max = 255;
  std::int16_t SmallChange = 1;
  std::int16_t LargeChange = 16;
};

struct LabelState {
  std::string Caption;
  Colour ForeColor = 0;
};

struct TextBoxState {
  std::string Text;
  bool Enabled = true;
};

// The position a user action leaves a bar at, kept within its range. `thumbPosition`
// counts only for the thumb.
std::int16_t PositionAfter(const ScrollBarState& bar, ScrollAction action, int thumbPosition);

// The message shown when a save failed: which setting, why, and what the store holds now.
std::string SaveFailureMessage(const settings::SaveFailure& failure);
// The message shown when the web page could not be opened.
std::string LinkFailureMessage();

class Form2 {
 public:
  Form2(SettingsWindowView& view, settings::Store& store, settings::Module1& module,
        saver::Clock& clock);

  // Events, under the names the window's design gives them.
  void Form_Load();
  void Form_Unload();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Check1_Click();
  void HScroll1_Change();
  void HScroll1_Scroll();
  void HScroll2_Change();
  void HScroll2_Scroll();
  void HScroll3_Change();
  void HScroll3_Scroll();
  void Image1_Click();
  void Label7_Click();

  // Setting a value from the program: when it differs from the current one, the control
  // takes it and its handler runs before the setter returns.
  void SetScrollValue(ScrollBarId bar, std::int16_t value);
  void SetCheck1Value(std::int16_t state);
  void SetText1(std::string text);
  void SetText2(std::string text);

  // The user's actions, as the backend reports them. A bar's thumb raises the scroll
  // handler while it is dragged and the change handler when it is let go; everything
  // else that moves a bar raises the change handler. Typing into a text box only
  // updates its text, which the native control already shows.
  void UserScrolled(ScrollBarId bar, ScrollAction action, int thumbPosition = 0);
  void UserClickedCheck1();
  void UserEditedText1(std::string text);
  void UserEditedText2(std::string text);

  // Unloads the window, whatever closed it (the buttons, the close box, the system): the
  // unload step runs once; later calls do nothing.
  void Unload();

  // The controls' state, for the backend to show and for tests.
  const ScrollBarState& scrollBar(ScrollBarId bar) const {
    return bars_[static_cast<std::size_t>(bar)];
  }
  const LabelState& Label1() const { return labels_[0]; }
  const LabelState& Label2() const { return labels_[1]; }
  const LabelState& Label3() const { return labels_[2]; }
  Colour Shape1FillColor() const { return shape1FillColor_; }
  const TextBoxState& Text1() const { return text1_; }
  const TextBoxState& Text2() const { return text2_; }
  std::int16_t Check1Value() const { return check1Value_; }
  const std::string& Check1Caption() const { return check1Caption_; }
  VbBool PanelOpen() const { return PanelOpen_; }
  Picture Image1Picture() const { return image1Picture_; }
  // The client height last set by the fold, in twips; none while the window keeps the
  // size it opened with.
  std::optional<float> Height() const { return height_; }
  bool unloaded() const { return unloaded_; }

 private:
  // Writes the six settings; returns the first key the store refused.
  std::optional<settings::SaveFailure> SaveSettings();
  void UpdateColourPreview();
  void ScrollHandler(ScrollBarId bar);
  // Puts a bar at a position within its range and shows it; false when it was there.
  bool MoveBar(ScrollBarId bar, std::int16_t value);
  void RaiseChange(ScrollBarId bar);
  void RaiseScroll(ScrollBarId bar);
  void Show(Form2Control control) { view_.ControlChanged(control); }

  SettingsWindowView& view_;
  settings::Store& store_;
  settings::Module1& module_;
  saver::Clock& clock_;

  std::array<ScrollBarState, 3> bars_{};
  std::array<LabelState, 3> labels_;
  Colour shape1FillColor_;
  TextBoxState text1_;
  TextBoxState text2_;
  std::int16_t check1Value_;
  std::string check1Caption_;
  VbBool PanelOpen_ = kFalse;
  Picture image1Picture_ = Picture::ChevronsDown;
  std::optional<float> height_;
  // The bar a thumb drag started on, and its value before the drag.
  std::array<std::optional<std::int16_t>, 3> dragStart_{};
  bool unloaded_ = false;
};

}  // namespace zimoklas::dialog

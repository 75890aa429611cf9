// The settings window as designed: the window's own properties and every control's
// kind, place in twips, caption, colours, font, tooltip and tab order. Backends build the
// native window from this table; Form2 starts from these values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/geometry.hpp"
#include "common/types.hpp"
#include "dialog/dialog_platform.hpp"

namespace zimoklas::dialog {

inline constexpr std::string_view kWindowCaption = "Zimoklas  by Ombra Software";
// The design client area, in twips: the folded state the window opens in.
inline constexpr float kClientWidth = 4455;
inline constexpr float kClientHeight = 3105;
// Outer heights (title bar and borders included) of the folded and unfolded window, as
// the window was laid out, and the title bar and frame they included then. Frames differ
// between desktops, so the fold sets the client heights these give: folded the client
// area ends between the buttons and the rule, unfolded it reaches past the last line.
inline constexpr float kFoldedHeight = 3480;
inline constexpr float kUnfoldedHeight = 5985;
inline constexpr float kDesignFrameHeight = 375;
inline constexpr float kFoldedClientHeight = kFoldedHeight - kDesignFrameHeight;
inline constexpr float kUnfoldedClientHeight = kUnfoldedHeight - kDesignFrameHeight;

inline constexpr char kWebAddress[] = "http://www.ombra.example/";
inline constexpr int kShowNormal = 1;

// The check box caption at load: this prefix, the year, and a closing double quote.
inline constexpr std::string_view kCheck1CaptionPrefix = "Místo druhého textu použít text \"P.F. ";

inline constexpr FontDesign kDefaultFont{"MS Sans Serif", 8, false, Charset::Western};
inline constexpr FontDesign kTitleFont{"MS Sans Serif", 9.75f, true, Charset::CentralEuropean};

enum class ControlKind : std::uint8_t {
  Frame,
  ScrollBar,
  Label,
  Shape,
  TextBox,
  CheckBox,
  Button,
  Image,
  Line,
};
enum class Container : std::uint8_t { Window, Frame1 };
enum class ShapeKind : std::uint8_t { None, RoundedRectangle, Circle };

struct ControlDesign {
  std::string_view name;
  ControlKind kind;
  std::int8_t tabIndex = -1;  // -1: takes no part in the tab order
  Container container = Container::Window;
  // Twips, from the container's top-left corner. A line runs from (left, top) to
  // (left + width, top + height).
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
  std::string_view caption = {};
  std::optional<Colour> foreColour = std::nullopt;  // none: the system's colour for the kind
  FontDesign font = kDefaultFont;
  std::string_view tooltip = {};
  bool autoSize = false;  // a one-line label as large as its caption
  bool wordWrap = false;  // a fixed label whose caption wraps inside it
  bool visible = true;
  bool isDefault = false;  // Enter presses it
  bool isCancel = false;   // Esc presses it
  ShapeKind shape = ShapeKind::None;
  Picture picture = Picture::ChevronsDown;
  int lineWidthPixels = 1;
};

// The about panel's own texts.
inline constexpr std::string_view kAuthorLine = "Vytvořil Jan Sněžný, j.snezny@ombra.example";
inline constexpr std::string_view kOwnershipLine = "Copyright © 2007 Ombra Software";
inline constexpr std::string_view kWebLabel = "www.ombra.example";
inline constexpr std::string_view kThanksParagraph =
    "Chcete-li autorovi poděkovat, pošlete libovolnou částku na jeho účet 1234567890/0000. "
    "Každá koruna zahřeje víc než svařák. Děkuji, krásné svátky! Sněžák";
inline constexpr std::string_view kVersionLine =
    "v1.0.                                                                      Id.:31207";

// In creation order, which is also the tab order of the controls that take the focus.
inline constexpr std::array<ControlDesign, 26> kForm2Design = {{
    {.name = "Frame1",
     .kind = ControlKind::Frame,
     .tabIndex = 0,
     .left = 120,
     .top = 120,
     .width = 4215,
     .height = 1335,
     .caption = "Barva sněhu",
     .foreColour = MakeColour(0, 0, 0)},
    {.name = "HScroll1",
     .kind = ControlKind::ScrollBar,
     .tabIndex = 1,
     .container = Container::Frame1,
     .left = 840,
     .top = 240,
     .width = 2415,
     .height = 255},
    {.name = "HScroll2",
     .kind = ControlKind::ScrollBar,
     .tabIndex = 2,
     .container = Container::Frame1,
     .left = 840,
     .top = 600,
     .width = 2415,
     .height = 255},
    {.name = "HScroll3",
     .kind = ControlKind::ScrollBar,
     .tabIndex = 3,
     .container = Container::Frame1,
     .left = 840,
     .top = 960,
     .width = 2415,
     .height = 255},
    {.name = "Label1",
     .kind = ControlKind::Label,
     .tabIndex = 4,
     .container = Container::Frame1,
     .left = 120,
     .top = 240,
     .width = 570,
     .height = 195,
     .caption = "R = 255",
     .foreColour = MakeColour(192, 0, 0),
     .autoSize = true},
    {.name = "Label2",
     .kind = ControlKind::Label,
     .tabIndex = 5,
     .container = Container::Frame1,
     .left = 120,
     .top = 600,
     .width = 570,
     .height = 195,
     .caption = "G = 255",
     .foreColour = MakeColour(0, 128, 0),
     .autoSize = true},
    {.name = "Label3",
     .kind = ControlKind::Label,
     .tabIndex = 6,
     .container = Container::Frame1,
     .left = 120,
     .top = 960,
     .width = 555,
     .height = 195,
     .caption = "B = 255",
     .foreColour = MakeColour(0, 0, 192),
     .autoSize = true},
    {.name = "Shape1",
     .kind = ControlKind::Shape,
     .container = Container::Frame1,
     .left = 3360,
     .top = 240,
     .width = 735,
     .height = 975,
     .shape = ShapeKind::RoundedRectangle},
    {.name = "Text1",
     .kind = ControlKind::TextBox,
     .tabIndex = 7,
     .left = 120,
     .top = 1560,
     .width = 4215,
     .height = 285,
     .caption = "Veselé vánoce a šťastný nový rok..."},
    {.name = "Check1",
     .kind = ControlKind::CheckBox,
     .tabIndex = 8,
     .left = 120,
     .top = 1920,
     .width = 4215,
     .height = 195,
     .caption = "Místo hruhého textu použít PF.200x",
     .foreColour = MakeColour(0, 0, 0)},
    {.name = "Text2",
     .kind = ControlKind::TextBox,
     .tabIndex = 9,
     .left = 360,
     .top = 2160,
     .width = 1215,
     .height = 285,
     .caption = "PF"},
    {.name = "Command1",
     .kind = ControlKind::Button,
     .tabIndex = 10,
     .left = 2040,
     .top = 2640,
     .width = 1095,
     .height = 375,
     .caption = "OK",
     .tooltip = "Uložit a zavřít okno",
     .isDefault = true},
    {.name = "Command2",
     .kind = ControlKind::Button,
     .tabIndex = 11,
     .left = 3240,
     .top = 2640,
     .width = 1095,
     .height = 375,
     .caption = "Storno",
     .tooltip = "Zavřít okno",
     .isCancel = true},
    {.name = "Command3",
     .kind = ControlKind::Button,
     .tabIndex = 12,
     .left = 120,
     .top = 2640,
     .width = 1095,
     .height = 375,
     .caption = "Default",
     .tooltip = "Nastaví defaultní hodnoty"},
    {.name = "Image1",
     .kind = ControlKind::Image,
     .left = 1380,
     .top = 2640,
     .width = 480,
     .height = 375,
     .tooltip = "O programu"},
    {.name = "Image2",
     .kind = ControlKind::Image,
     .left = 3240,
     .top = 2160,
     .width = 480,
     .height = 375,
     .visible = false},
    {.name = "Image3",
     .kind = ControlKind::Image,
     .left = 3840,
     .top = 2160,
     .width = 480,
     .height = 375,
     .visible = false,
     .picture = Picture::ChevronsUp},
    {.name = "Line1",
     .kind = ControlKind::Line,
     .left = 120,
     .top = 3240,
     .width = 4200,
     .height = 0,
     .lineWidthPixels = 2},
    {.name = "Label4",
     .kind = ControlKind::Label,
     .tabIndex = 13,
     .left = 120,
     .top = 3360,
     .width = 1665,
     .height = 240,
     .caption = "Zimoklas",
     .font = kTitleFont,
     .autoSize = true},
    {.name = "Label5",
     .kind = ControlKind::Label,
     .tabIndex = 14,
     .left = 360,
     .top = 3720,
     .width = 3210,
     .height = 195,
     .caption = kAuthorLine,
     .autoSize = true},
    {.name = "Label6",
     .kind = ControlKind::Label,
     .tabIndex = 15,
     .left = 360,
     .top = 3960,
     .width = 2340,
     .height = 195,
     .caption = kOwnershipLine,
     .autoSize = true},
    {.name = "Label7",
     .kind = ControlKind::Label,
     .tabIndex = 16,
     .left = 360,
     .top = 4320,
     .width = 1800,
     .height = 240,
     .caption = kWebLabel,
     .font = kTitleFont,
     .autoSize = true},
    {.name = "Shape2",
     .kind = ControlKind::Shape,
     .left = 3120,
     .top = 4080,
     .width = 615,
     .height = 615,
     .shape = ShapeKind::Circle},
    {.name = "Shape3",
     .kind = ControlKind::Shape,
     .left = 3480,
     .top = 4080,
     .width = 495,
     .height = 495,
     .shape = ShapeKind::Circle},
    {.name = "Label15",
     .kind = ControlKind::Label,
     .tabIndex = 17,
     .left = 120,
     .top = 4680,
     .width = 4245,
     .height = 675,
     .caption = kThanksParagraph,
     .foreColour = MakeColour(128, 0, 0),
     .wordWrap = true},
    {.name = "Label8",
     .kind = ControlKind::Label,
     .tabIndex = 18,
     .left = 120,
     .top = 5400,
     .width = 4185,
     .height = 195,
     .caption = kVersionLine,
     .autoSize = true},
}};

// The design entry of a control by name; nullptr when there is none.
constexpr const ControlDesign* FindDesign(std::string_view name) {
  for (const ControlDesign& design : kForm2Design) {
    if (design.name == name) return &design;
  }
  return nullptr;
}

}  // namespace zimoklas::dialog

// What the settings window's logic needs from the platform: a way to show each control's
// new state, the window's height, the shell, a message box and the end of the program.
// Backends implement this; Form2 decides everything and the backend only carries it out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zimoklas::dialog {

// The controls whose state Form2 changes at run time.
enum class Form2Control : std::uint8_t {
  HScroll1,
  HScroll2,
  HScroll3,
  Label1,
  Label2,
  Label3,
  Shape1,
  Text1,
  Text2,
  Check1,
  Image1,
};
inline constexpr std::size_t kForm2ControlCount = 11;

// The three colour bars, in the order red, green, blue.
enum class ScrollBarId : std::uint8_t { HScroll1 = 0, HScroll2 = 1, HScroll3 = 2 };

// What the user did to a scroll bar: the arrows, the track, the keyboard's Home and End,
// and the thumb (moved while dragging, then released at a position).
enum class ScrollAction : std::uint8_t {
  LineLeft,
  LineRight,
  PageLeft,
  PageRight,
  ToLeft,
  ToRight,
  ThumbTrack,
  ThumbRelease,
  EndScroll,
};

enum class Picture : std::uint8_t { ChevronsDown, ChevronsUp };

class SettingsWindowView {
 public:
  virtual ~SettingsWindowView() = default;

  // The control's state in Form2 changed; show it. The backend reads the new state from
  // Form2 and must not raise any of Form2's handlers while it does so.
  virtual void ControlChanged(Form2Control control) = 0;
  // Sets the height of the window's client area, in twips; whatever frame and title bar
  // the desktop draws come on top. The position and width stay.
  virtual void SetClientHeight(float twips) = 0;
  // The shell's ShellExecuteA: owner window, operation (null for the default verb),
  // file, parameters, directory, show command. Returns the shell's instance value.
  virtual std::intptr_t ShellExecuteA(std::intptr_t owner, const char* operation, const char* file,
                                      const char* parameters, const char* directory,
                                      int showCommand) = 0;
  // Tells the user something went wrong, in a message box owned by the window; returns
  // when the user has closed it.
  virtual void ShowError(std::string_view utf8Message) = 0;
  // Ends the program at once: the window goes with it, and nothing else of the program
  // runs any more.
  virtual void EndProgram() = 0;
};

}  // namespace zimoklas::dialog

// What end-to-end tests need to drive the programs on an X display, the Windows program
// file under Wine and the native `zimoklas`: the program, the per-user settings (the Wine
// prefix's registry, a private key file), processes with their exit status, top-level
// windows, screenshots, keyboard and pointer input through XTest, and displays of their
// own for tests that change or end one.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Xlib's display, declared here so that its macros stay out of the tests.
struct _XDisplay;  // NOLINT(bugprone-reserved-identifier)

namespace zimoklas::e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// The program file under test, or why the end-to-end tests cannot run here (no display,
// no Wine prefix, no program file). Starts one Wine server for the whole run.
struct Program {
  std::string path;
  std::string missing;
};
Program FindProgram();
// The native program build/linux/zimoklas, or why it cannot run (no display, not built).
Program FindNativeProgram();
// True when scripts/test demands the end-to-end run: a missing program then fails the
// tests instead of skipping them.
bool EndToEndRequired();

// The registry of the test's Wine prefix, as `reg import` and `reg export` see it.
namespace registry {
inline constexpr const char* kSettingsKey = "HKEY_CURRENT_USER\\Software\\Ombra\\Zimoklas";
struct Value {
  std::string type;  // "REG_SZ", "REG_DWORD", "REG_BINARY", ...
  std::string text;  // the text of a REG_SZ; the .reg notation of anything else
};
// Replaces the key with exactly these REG_SZ values (none: the key is removed).
void SeedTexts(const std::string& key, const std::map<std::string, std::string>& values);
// Imports .reg lines (without the header) as they stand, e.g. "\"SnihR\"=dword:00000007".
void Import(const std::vector<std::string>& lines);
// The values of a key; empty when the key does not exist.
std::map<std::string, Value> Read(const std::string& key);

// Sets the DPI that Wine's programs started from now on see, and puts the system's
// default back when it goes out of scope.
class ScopedScreenDpi {
 public:
  explicit ScopedScreenDpi(int dpi);
  ScopedScreenDpi(const ScopedScreenDpi&) = delete;
  ScopedScreenDpi& operator=(const ScopedScreenDpi&) = delete;
  ~ScopedScreenDpi();
};

// Sets one of the system's colours by its name under Control Panel\Colors ("ButtonText",
// "WindowText") for the programs started from now on; the default is back at the end.
class ScopedSystemColour {
 public:
  ScopedSystemColour(std::string name, int red, int green, int blue);
  ScopedSystemColour(const ScopedSystemColour&) = delete;
  ScopedSystemColour& operator=(const ScopedSystemColour&) = delete;
  ~ScopedSystemColour();

 private:
  std::string name_;
};
}  // namespace registry

// A process started from an argument vector; killed when still running at the end.
// `environment` adds or replaces variables ("NAME=value"); the output goes to `log`.
class Process {
 public:
  explicit Process(std::vector<std::string> argv, const std::vector<std::string>& environment = {},
                   const std::string& log = "");
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  // The exit status once the process has ended within `timeout`.
  std::optional<int> WaitForExit(Milliseconds timeout);
  bool Running();
  void Signal(int signal);
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
};

// `wine <program> <arguments>`, for a program file or a Wine command such as "reg".
class WineProcess : public Process {
 public:
  WineProcess(const std::string& program, const std::vector<std::string>& arguments);
};

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool empty() const { return right <= left || bottom <= top; }
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

class Image {
 public:
  Image() = default;
  Image(int width, int height) : width_(width), height_(height), pixels_(width * height) {}
  int width() const { return width_; }
  int height() const { return height_; }
  Rgb at(int x, int y) const { return pixels_[y * width_ + x]; }
  void set(int x, int y, Rgb c) { pixels_[y * width_ + x] = c; }

  // Pixels in `area` (the whole image by default) that match.
  template <class Pred>
  int Count(Pred match, std::optional<Box> area = std::nullopt) const;
  int CountColour(Rgb colour, std::optional<Box> area = std::nullopt) const {
    return Count([colour](Rgb c) { return c == colour; }, area);
  }
  // The smallest box around the pixels of a colour within `area`; empty when none.
  Box BoundsOf(Rgb colour, std::optional<Box> area = std::nullopt) const;
  // The part of the image inside `box`, which must lie within it.
  Image Crop(const Box& box) const;
  // Written for a person to look at when a test fails.
  bool SavePng(const std::string& path) const;

 private:
  Box Clip(std::optional<Box> area) const;
  int width_ = 0, height_ = 0;
  std::vector<Rgb> pixels_;
};

// The X display the programs run on (DISPLAY), with XTest input.
class Screen {
 public:
  Screen();
  // Another display, e.g. a VirtualDisplay's.
  explicit Screen(const std::string& name);
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;
  ~Screen();
  bool ok() const { return display_ != nullptr; }
  int width() const;
  int height() const;

  // Mapped top-level windows with this title.
  int CountMappedWindows(const std::string& title);
  // Waits until a window with this title is mapped; false on timeout.
  bool WaitForWindow(const std::string& title, Milliseconds timeout);
  // The screen rectangles of the mapped top-level windows with this title, frame
  // included, bottom first in stacking order.
  std::vector<Box> WindowBoxes(const std::string& title);
  // The bottom one of them; empty when there is none.
  Box WindowBox(const std::string& title);
  // The 32-bit CARDINAL property `name` of the bottom window with this title; -1 when
  // there is no such window or property.
  long WindowCardinal(const std::string& title, const std::string& name);
  // Asks the bottom window with this title to close, as a window manager's close box
  // does (WM_DELETE_WINDOW); false when there is no such window.
  bool RequestClose(const std::string& title);
  Image Capture();

  // Input as a person gives it; each call is flushed and followed by a short pause so
  // that the program sees separate events.
  void MovePointer(int x, int y);
  void Click(int button = 1);
  void PressButton(int button);
  void ReleaseButton(int button);
  // A key by its X keysym name ("a", "Escape", "Shift_L", "Left"): press and release.
  void TapKey(const std::string& keysym);

  // A plain black top-level window for a program to draw into, mapped at `box`, with
  // backing store Always, as the xscreensaver daemon makes its window.
  unsigned long CreateWindow(const Box& box);
  // The topmost mapped top-level window; 0 when there is none.
  unsigned long TopWindow();
  // The backing store the window has now: NotUseful 0, WhenMapped 1, Always 2; -1 when
  // there is no such window.
  int BackingStore(unsigned long window);
  void ResizeWindow(unsigned long window, int width, int height);
  void DestroyWindow(unsigned long window);

 private:
  void Settle();
  ::_XDisplay* display_ = nullptr;
};

// Another X client that holds the keyboard, as a desktop shell's overview or an open
// menu does: it grabs it at once for a small window of its own.
class KeyboardGrab {
 public:
  explicit KeyboardGrab(const std::string& display = "");
  KeyboardGrab(const KeyboardGrab&) = delete;
  KeyboardGrab& operator=(const KeyboardGrab&) = delete;
  ~KeyboardGrab();
  bool held() const { return held_; }
  // Lets the keyboard go and gives the focus to its own window, as a shell does when its
  // overview closes.
  void Release();

 private:
  ::_XDisplay* display_ = nullptr;
  unsigned long window_ = 0;
  bool held_ = false;
};

// Where the client area of a Wine window with this title lies on the screen, as Windows
// keeps it; empty when a helper program cannot find the window.
Box WineClientBox(const std::string& title);

// An Xvfb of the test's own, for tests that change the display or end it.
class VirtualDisplay {
 public:
  explicit VirtualDisplay(const std::string& size = "1280x720x24");
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;
  ~VirtualDisplay();
  bool ok() const { return server_ != nullptr; }
  const std::string& name() const { return name_; }
  // Ends the server, as a crash or a logout would.
  void Kill();

 private:
  std::string name_;
  std::unique_ptr<Process> server_;
};

// The six stored settings by key, as the settings window writes them.
using Settings = std::map<std::string, std::string>;
// What the settings window writes after Default.
extern const Settings kDefaults;
// The defaults with some values changed.
Settings DefaultsWith(const Settings& changes);

// Where a failing test leaves its screenshots.
std::string ArtifactPath(const std::string& name);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Writes the settings key file the native program reads under the configuration folder
// `configHome`: group Zimoklas with the values.
void WriteKeyFile(const std::string& configHome, const Settings& values);

// Saves the image as the artifact `name`.png, names it in the test's report, and returns it.
Image SaveShot(Image image, const std::string& name);

// What the fixtures share: the program under test, and the screen.
class ProgramTest : public ::testing::Test {
 protected:
  // Takes the program and opens the screen. A missing program fails the test when the
  // end-to-end run is required, and skips it otherwise.
  void Require(const Program& program);
  // True when Require failed or skipped the test.
  bool Stopped() const { return HasFatalFailure() || IsSkipped(); }

  std::string program_;
  std::optional<Screen> screen_;
};

// The saver's end-to-end fixture: the program is required, the settings key is removed
// before and after each test (the prefix is shared with scripts/run), and the screen is
// ready.
class WineTest : public ProgramTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// The native program's fixture: the program is required, each test gets its own empty
// configuration folder (XDG_CONFIG_HOME), and the screen is ready.
class NativeTest : public ProgramTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes the settings key file the program reads, group Zimoklas.
  void SeedKeyFile(const Settings& values) { WriteKeyFile(configHome_, values); }
  std::string keyFile() const { return configHome_ + "/Ombra/Zimoklas.conf"; }
  // Starts the program, after `launcher` when one is given, with the private
  // configuration folder and `environment`; its output goes to the file log().
  std::unique_ptr<Process> Start(const std::vector<std::string>& arguments,
                                 std::vector<std::string> environment = {},
                                 const std::vector<std::string>& launcher = {});
  std::string ReadLog() const { return ReadFile(log()); }
  std::string log() const { return configHome_ + "/output.log"; }

  std::string configHome_;
};

template <class Pred>
int Image::Count(Pred match, std::optional<Box> area) const {
  const Box box = Clip(area);
  int count = 0;
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      if (match(at(x, y))) ++count;
    }
  }
  return count;
}

}  // namespace zimoklas::e2e

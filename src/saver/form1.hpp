// Form1, the scene window, as plain logic: start-up and mode dispatch, the layout of its
// text lines, the clock line, and ending on user input. A backend owns the real window
// and forwards its events here.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "animation/animation_state.hpp"
#include "animation/pixel_sink.hpp"
#include "animation/random.hpp"
#include "animation/tick.hpp"
#include "common/types.hpp"
#include "saver/saver_platform.hpp"
#include "saver/scene_labels.hpp"
#include "settings/module1.hpp"
#include "settings/store.hpp"

namespace zimoklas::saver {

enum class Mode : std::uint8_t { Preview, Saver, Configuration };

// The mode chosen by the first two characters of the argument text, lower-cased.
Mode DispatchMode(std::string_view argumentText);

// The clock line: short date, five blanks, long time; the date is read first.
std::string ClockText(Clock& clock);

// True for a character that counts as a key press. DEL and NUL do not: on Windows, where
// the rule comes from, the keys that yield them elsewhere (Delete, Ctrl+8, Ctrl+2) yield
// no character, and no key yields a C1 control. Enter, Esc, Tab, Backspace and the
// Ctrl+letter controls count, as they do there.
bool IsKeyCharacter(std::uint32_t character);

// Targets whose pointer movements are counted separately.
enum class MoveTarget : std::uint8_t { Window = 0, Label1 = 1, Label2 = 2, Label3 = 3 };

class Form1 {
 public:
  Form1(SaverWindow& window, settings::Store& store, Clock& clock, animation::RandomSource& random,
        settings::Module1& module);

  // The load step: seed, settings, snow colour, the three texts, then the mode.
  // Returns the mode; in saver mode the backend shows the window afterwards.
  Mode Form_Load(std::string_view argumentText);
  // Full screen, the three main lines centred, the notice in the bottom-right corner.
  void Form_Resize();
  // How often the backend runs each timer.
  static constexpr std::chrono::milliseconds kTimer1Interval{5};
  static constexpr std::chrono::milliseconds kTimer2Interval{1000};

  // Once a second: the clock line, and a repaint of the notice.
  void Timer2_Timer();
  // Every 5 ms: one animation tick, its pixels written to the sink as they happen.
  template <animation::PixelSink Sink>
  void Timer1_Timer(Sink& sink) {
    // One query of the client area a tick: on a real window each one is a system call.
    const SizeF scale = window_.ClientSize();
    animation::Tick(animation_, random_, sink, {scale.width, scale.height});
  }

  // Input. Key presses that yield a character (a code point, see IsKeyCharacter), and
  // clicks over the window outside the labels, end the saver; movements are counted per
  // target.
  void Form_KeyPress(std::uint32_t character);
  void Form_MouseDown();
  void Form_MouseUp();
  void Form_MouseMove();
  void Label1_MouseMove();
  void Label2_MouseMove();
  void Label3_MouseMove();
  void Form_Unload();

  // Raw pointer events at a client position, routed to the label under the pointer
  // (the topmost one) or to the window. Label4 and clicks on labels 1-3 do nothing, and
  // so does anything outside the client area: a pointer grab reports events over the
  // whole screen, other monitors included.
  void PointerMoved(float x, float y);
  void PointerPressed(float x, float y);
  void PointerReleased(float x, float y);
  // A pointer found resting over the window as it appears makes one movement of the
  // target under it. Backends report it whenever they learn where the pointer is on a
  // newly shown window; only the first report counts.
  void PointerAtShow(float x, float y);

  // Places a window at the top of the band of topmost windows.
  void VzdyNahore(const SaverWindow& FrmID, VbBool& OnTop);

  // Runs the unload step and destroys the window; later calls do nothing.
  void Unload();
  bool unloaded() const { return unloaded_; }

  const SceneLabel& label(LabelId id) const { return labels_[static_cast<std::size_t>(id)]; }
  // Labels in creation order, the bottom one first; backends draw them in this order.
  std::array<const SceneLabel*, kLabelCount> LabelsInPaintOrder() const;
  std::uint8_t moveCount(MoveTarget target) const {
    return MoveCount[static_cast<std::size_t>(target)];
  }
  Colour snowColour() const { return animation_.SnowColour; }
  const animation::AnimationState& animation() const { return animation_; }
  // For benchmarks that hold the pools full while the real scene runs.
  animation::AnimationState& animationForBenchmark() { return animation_; }
  float ScaleWidth() const { return window_.ClientSize().width; }
  float ScaleHeight() const { return window_.ClientSize().height; }

 private:
  SceneLabel& mutableLabel(LabelId id) { return labels_[static_cast<std::size_t>(id)]; }
  void SetCaption(LabelId id, std::string caption);
  void SetLeft(LabelId id, float left);
  void SetTop(LabelId id, float top);
  void CountMove(MoveTarget target);
  const SceneLabel* LabelAt(float x, float y) const;
  bool OverWindow(float x, float y) const;

  SaverWindow& window_;
  settings::Store& store_;
  Clock& clock_;
  animation::RandomSource& random_;
  settings::Module1& module_;

  std::array<SceneLabel, kLabelCount> labels_;
  animation::AnimationState animation_;  // also holds SnowColour
  std::array<std::uint8_t, 4> MoveCount{};
  bool unloaded_ = false;
  bool pointerAtShowCounted_ = false;
};

}  // namespace zimoklas::saver

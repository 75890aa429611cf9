// Idle detection on X11: alarms on the X server's IDLETIME counter (XSync), or the
// MIT-SCREEN-SAVER extension's notification where the server lacks that counter.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <X11/extensions/sync.h>
#include <glib-unix.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "idle/idle_watch.hpp"

namespace zimoklas::idle {
namespace {

std::function<void(const std::string&)> g_lost;

int OnIoError(Display* /*display*/) {
  // Xlib ends the process when this returns; the launcher ends its saver first.
  if (g_lost) g_lost("the X display has gone");
  std::_Exit(1);
}

std::int64_t Value(const XSyncValue& value) {
  return (static_cast<std::int64_t>(XSyncValueHigh32(value)) << 32) |
         static_cast<std::uint32_t>(XSyncValueLow32(value));
}

XSyncValue MakeValue(std::int64_t value) {
  XSyncValue result;
  XSyncIntsToValue(&result, static_cast<unsigned int>(value & 0xFFFFFFFF),
                   static_cast<int>(value >> 32));
  return result;
}

class X11IdleWatch final : public IdleWatch {
 public:
  X11IdleWatch(int seconds, IdleEvents events)
      : timeout_(seconds * 1000LL), events_(std::move(events)) {}
  X11IdleWatch(const X11IdleWatch&) = delete;
  X11IdleWatch& operator=(const X11IdleWatch&) = delete;

  ~X11IdleWatch() override {
    if (source_ != 0) g_source_remove(source_);
    if (drain_ != 0) g_source_remove(drain_);
    if (display_ == nullptr) return;
    if (idleAlarm_ != 0) XSyncDestroyAlarm(display_, idleAlarm_);
    if (activeAlarm_ != 0) XSyncDestroyAlarm(display_, activeAlarm_);
    if (screenSaver_) {
      XSetScreenSaver(display_, savedTimeout_, savedInterval_, savedBlanking_, savedExposures_);
    }
    XCloseDisplay(display_);
  }

  bool Connect(std::string& why) {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
      why = "no X display";
      return false;
    }
    g_lost = events_.lost;
    XSetIOErrorHandler(OnIoError);
    if (!FindIdleCounter() && !UseScreenSaverExtension()) {
      why = "the X server has neither the IDLETIME counter nor MIT-SCREEN-SAVER";
      return false;
    }
    if (!screenSaver_) Rearm();
    source_ =
        g_unix_fd_add(ConnectionNumber(display_),
                      static_cast<GIOCondition>(G_IO_IN | G_IO_ERR | G_IO_HUP), OnReadable, this);
    XFlush(display_);
    DrainSoon();
    return true;
  }

  std::string Mechanism() const override {
    return screenSaver_ ? "X11 MIT-SCREEN-SAVER notification" : "X11 XSync IDLETIME alarms";
  }

  void Rearm() override {
    if (screenSaver_) {
      // The server's own timer restarts only on input; a reset counts as input.
      XResetScreenSaver(display_);
      XFlush(display_);
      return;
    }
    // A new period from now, or from the last input if that is later; while the seat
    // stays idle meanwhile, input must still be noticed.
    XSyncValue now;
    XSyncQueryCounter(display_, counter_, &now);
    const std::int64_t idle = Value(now);
    if (idle >= timeout_) {
      SetAlarm(idleAlarm_, idle + timeout_, XSyncPositiveComparison);
      SetAlarm(activeAlarm_, idle - 1, XSyncNegativeComparison);
    } else {
      SetAlarm(idleAlarm_, timeout_, XSyncPositiveComparison);
      DropActiveAlarm();
    }
    XFlush(display_);
    DrainSoon();
  }

 private:
  bool FindIdleCounter() {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XSyncQueryExtension(display_, &eventBase, &errorBase) ||
        !XSyncInitialize(display_, &major, &minor)) {
      return false;
    }
    syncEventBase_ = eventBase;
    int count = 0;
    XSyncSystemCounter* counters = XSyncListSystemCounters(display_, &count);
    for (int i = 0; i < count; ++i) {
      if (std::strcmp(counters[i].name, "IDLETIME") == 0) counter_ = counters[i].counter;
    }
    if (counters != nullptr) XSyncFreeSystemCounterList(counters);
    return counter_ != 0;
  }

  bool UseScreenSaverExtension() {
    int eventBase = 0, errorBase = 0;
    if (!XScreenSaverQueryExtension(display_, &eventBase, &errorBase)) return false;
    screenSaver_ = true;
    screenSaverEventBase_ = eventBase;
    XGetScreenSaver(display_, &savedTimeout_, &savedInterval_, &savedBlanking_, &savedExposures_);
    XSetScreenSaver(display_, static_cast<int>(timeout_ / 1000), 0, DontPreferBlanking,
                    AllowExposures);
    XScreenSaverSelectInput(display_, DefaultRootWindow(display_), ScreenSaverNotifyMask);
    return true;
  }

  // Arms (or re-arms) an alarm that fires when the idle time crosses `value`.
  void SetAlarm(XSyncAlarm& alarm, std::int64_t value, XSyncTestType test) {
    XSyncAlarmAttributes attributes{};
    attributes.trigger.counter = counter_;
    attributes.trigger.value_type = XSyncAbsolute;
    attributes.trigger.wait_value = MakeValue(value);
    attributes.trigger.test_type = test;
    attributes.delta = MakeValue(0);
    attributes.events = True;
    const unsigned long mask = XSyncCACounter | XSyncCAValueType | XSyncCAValue | XSyncCATestType |
                               XSyncCADelta | XSyncCAEvents;
    if (alarm == 0) {
      alarm = XSyncCreateAlarm(display_, mask, &attributes);
    } else {
      XSyncChangeAlarm(display_, alarm, mask, &attributes);
    }
  }

  void Handle(const XEvent& event) {
    if (screenSaver_) {
      if (event.type != screenSaverEventBase_ + ScreenSaverNotify) return;
      const auto& notify = reinterpret_cast<const XScreenSaverNotifyEvent&>(event);
      if (notify.state == ScreenSaverOn) {
        events_.idle();
      } else if (notify.state == ScreenSaverOff) {
        events_.active();
      }
      return;
    }
    if (event.type != syncEventBase_ + XSyncAlarmNotify) return;
    const auto& notify = reinterpret_cast<const XSyncAlarmNotifyEvent&>(event);
    if (notify.state == XSyncAlarmDestroyed) return;
    if (notify.alarm == idleAlarm_) {
      // Idle: the next alarm fires as soon as the idle time drops, i.e. on input.
      SetAlarm(activeAlarm_, Value(notify.counter_value) - 1, XSyncNegativeComparison);
      XFlush(display_);
      events_.idle();
    } else if (notify.alarm == activeAlarm_) {
      DropActiveAlarm();
      SetAlarm(idleAlarm_, timeout_, XSyncPositiveComparison);
      XFlush(display_);
      events_.active();
    }
  }

  void DropActiveAlarm() {
    if (activeAlarm_ != 0) XSyncDestroyAlarm(display_, activeAlarm_);
    activeAlarm_ = 0;
  }

  // Round trips read events into Xlib's queue, where the socket no longer shows them.
  void DrainSoon() {
    if (drain_ == 0) drain_ = g_idle_add(OnDrain, this);
  }

  static gboolean OnDrain(gpointer data) {
    auto* self = static_cast<X11IdleWatch*>(data);
    self->drain_ = 0;
    OnReadable(0, G_IO_IN, data);
    return G_SOURCE_REMOVE;
  }

  static gboolean OnReadable(gint /*fd*/, GIOCondition /*condition*/, gpointer data) {
    auto* self = static_cast<X11IdleWatch*>(data);
    // XPending reads what is there, and calls the error handler when the server is gone.
    while (XPending(self->display_) > 0) {
      XEvent event;
      XNextEvent(self->display_, &event);
      self->Handle(event);
    }
    return G_SOURCE_CONTINUE;
  }

  std::int64_t timeout_;
  IdleEvents events_;
  Display* display_ = nullptr;
  XSyncCounter counter_ = 0;
  XSyncAlarm idleAlarm_ = 0;
  XSyncAlarm activeAlarm_ = 0;
  int syncEventBase_ = 0;
  bool screenSaver_ = false;
  int screenSaverEventBase_ = 0;
  int savedTimeout_ = 0, savedInterval_ = 0, savedBlanking_ = 0, savedExposures_ = 0;
  guint source_ = 0;
  guint drain_ = 0;
};

}  // namespace

std::unique_ptr<IdleWatch> StartX11IdleWatch(int seconds, IdleEvents events, std::string& why) {
  auto watch = std::make_unique<X11IdleWatch>(seconds, std::move(events));
  if (!watch->Connect(why)) return nullptr;
  return watch;
}

}  // namespace zimoklas::idle

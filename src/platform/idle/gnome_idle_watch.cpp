// Idle detection on GNOME (Wayland and X11): Mutter's idle monitor over D-Bus, with the
// session manager's idle inhibitors (IsInhibited with the idle flag) where one runs.
#include <gio/gio.h>

#include <cstdint>
#include <utility>

#include "idle/idle_watch.hpp"

namespace zimoklas::idle {
namespace {

constexpr const char* kMutter = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* kSessionManager = "org.gnome.SessionManager";
constexpr const char* kSessionPath = "/org/gnome/SessionManager";
constexpr std::uint32_t kInhibitIdle = 8;

class GnomeIdleWatch final : public IdleWatch {
 public:
  GnomeIdleWatch(GDBusConnection* bus, int seconds, IdleEvents events)
      : bus_(bus), timeout_(seconds * 1000ULL), events_(std::move(events)) {}
  GnomeIdleWatch(const GnomeIdleWatch&) = delete;
  GnomeIdleWatch& operator=(const GnomeIdleWatch&) = delete;

  ~GnomeIdleWatch() override {
    for (const guint id : {watchSignal_, addedSignal_, removedSignal_}) {
      if (id != 0) g_dbus_connection_signal_unsubscribe(bus_, id);
    }
    if (nameWatch_ != 0) g_bus_unwatch_name(nameWatch_);
    g_object_unref(bus_);
  }

  void Start() {
    watchSignal_ = g_dbus_connection_signal_subscribe(
        bus_, kMutter, kMutter, "WatchFired", kMonitorPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        OnWatchFired, this, nullptr);
    nameWatch_ = g_bus_watch_name_on_connection(bus_, kMutter, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                nullptr, OnMutterVanished, this, nullptr);
    sessionManager_ = HasOwner(bus_, kSessionManager);
    if (sessionManager_) {
      for (const char* signal : {"InhibitorAdded", "InhibitorRemoved"}) {
        const guint id = g_dbus_connection_signal_subscribe(
            bus_, kSessionManager, kSessionManager, signal, kSessionPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, OnInhibitorsChanged, this, nullptr);
        (signal[9] == 'A' ? addedSignal_ : removedSignal_) = id;
      }
      ReadInhibited();
    }
    Rearm();
  }

  std::string Mechanism() const override {
    return std::string("GNOME org.gnome.Mutter.IdleMonitor watches") +
           (sessionManager_ ? ", inhibitors from org.gnome.SessionManager"
                            : ", no session manager for inhibitors");
  }

  void Rearm() override {
    // A new period from now, or from the last input if that is later.
    std::uint64_t interval = timeout_;
    if (GVariant* reply = Call(kMutter, kMonitorPath, kMutter, "GetIdletime", nullptr)) {
      guint64 idle = 0;
      g_variant_get(reply, "(t)", &idle);
      g_variant_unref(reply);
      if (idle >= timeout_) {
        interval = idle + timeout_;
        AddActiveWatch();
      }
    }
    SetIdleWatch(interval);
  }

  static bool HasOwner(GDBusConnection* bus, const char* name) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        -1, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply != nullptr) {
      g_variant_get(reply, "(b)", &owned);
      g_variant_unref(reply);
    }
    return owned != FALSE;
  }

 private:
  GVariant* Call(const char* name, const char* path, const char* interface, const char* method,
                 GVariant* arguments) {
    GError* error = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(bus_, name, path, interface, method, arguments, nullptr,
                                    G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (error != nullptr) g_error_free(error);
    return reply;
  }

  // Mutter fires an idle watch each time the idle time reaches its interval.
  void SetIdleWatch(std::uint64_t interval) {
    if (idleWatch_ != 0)
      Call(kMutter, kMonitorPath, kMutter, "RemoveWatch", g_variant_new("(u)", idleWatch_));
    idleWatch_ = 0;
    if (GVariant* reply = Call(kMutter, kMonitorPath, kMutter, "AddIdleWatch",
                               g_variant_new("(t)", static_cast<guint64>(interval)))) {
      g_variant_get(reply, "(u)", &idleWatch_);
      g_variant_unref(reply);
    }
    intervalIsLonger_ = interval != timeout_;
  }

  void AddActiveWatch() {
    if (activeWatch_ != 0) return;
    if (GVariant* reply = Call(kMutter, kMonitorPath, kMutter, "AddUserActiveWatch", nullptr)) {
      g_variant_get(reply, "(u)", &activeWatch_);
      g_variant_unref(reply);
    }
  }

  void ReadInhibited() {
    if (GVariant* reply = Call(kSessionManager, kSessionPath, kSessionManager, "IsInhibited",
                               g_variant_new("(u)", kInhibitIdle))) {
      gboolean inhibited = FALSE;
      g_variant_get(reply, "(b)", &inhibited);
      g_variant_unref(reply);
      events_.inhibited(inhibited != FALSE);
    }
  }

  static void OnWatchFired(GDBusConnection* /*bus*/, const gchar* /*sender*/, const gchar* /*path*/,
                           const gchar* /*interface*/, const gchar* /*signal*/,
                           GVariant* parameters, gpointer data) {
    auto* self = static_cast<GnomeIdleWatch*>(data);
    guint id = 0;
    g_variant_get(parameters, "(u)", &id);
    if (id != 0 && id == self->idleWatch_) {
      // After a longer first period, the plain idle time counts again.
      if (self->intervalIsLonger_) self->SetIdleWatch(self->timeout_);
      self->AddActiveWatch();
      self->events_.idle();
    } else if (id != 0 && id == self->activeWatch_) {
      // A user-active watch fires once.
      self->activeWatch_ = 0;
      if (self->intervalIsLonger_) self->SetIdleWatch(self->timeout_);
      self->events_.active();
    }
  }

  static void OnInhibitorsChanged(GDBusConnection* /*bus*/, const gchar* /*sender*/,
                                  const gchar* /*path*/, const gchar* /*interface*/,
                                  const gchar* /*signal*/, GVariant* /*parameters*/,
                                  gpointer data) {
    static_cast<GnomeIdleWatch*>(data)->ReadInhibited();
  }

  static void OnMutterVanished(GDBusConnection* /*bus*/, const gchar* /*name*/, gpointer data) {
    static_cast<GnomeIdleWatch*>(data)->events_.lost("GNOME's compositor has gone");
  }

  GDBusConnection* bus_;
  std::uint64_t timeout_;
  IdleEvents events_;
  bool sessionManager_ = false;
  bool intervalIsLonger_ = false;
  guint idleWatch_ = 0;
  guint activeWatch_ = 0;
  guint watchSignal_ = 0, addedSignal_ = 0, removedSignal_ = 0, nameWatch_ = 0;
};

}  // namespace

std::unique_ptr<IdleWatch> StartGnomeIdleWatch(int seconds, IdleEvents events, std::string& why) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) {
    why = "no session bus";
    return nullptr;
  }
  if (!GnomeIdleWatch::HasOwner(bus, kMutter)) {
    why = "no GNOME idle monitor on the session bus";
    g_object_unref(bus);
    return nullptr;
  }
  auto watch = std::make_unique<GnomeIdleWatch>(bus, seconds, std::move(events));
  watch->Start();
  return watch;
}

}  // namespace zimoklas::idle

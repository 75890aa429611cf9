// org.freedesktop.ScreenSaver's Inhibit, UnInhibit and GetActive, with the cookies kept
// by the launcher's inhibitor book and callers watched until they leave the bus.
#include "dbus_screensaver_service.hpp"

#include <gio/gio.h>

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "idle/inhibitor_book.hpp"

namespace zimoklas::idle {
namespace {

constexpr const char* kName = "org.freedesktop.ScreenSaver";
constexpr const char* kIntrospection =
    "<node><interface name='org.freedesktop.ScreenSaver'>"
    "<method name='Inhibit'><arg type='s' name='application_name' direction='in'/>"
    "<arg type='s' name='reason_for_inhibit' direction='in'/>"
    "<arg type='u' name='cookie' direction='out'/></method>"
    "<method name='UnInhibit'><arg type='u' name='cookie' direction='in'/></method>"
    "<method name='GetActive'><arg type='b' name='active' direction='out'/></method>"
    "</interface></node>";

class DbusScreenSaverService final : public ScreenSaverService {
 public:
  DbusScreenSaverService(GDBusConnection* bus, std::function<void(bool)> inhibited,
                         std::function<bool()> active, bool verbose)
      : bus_(bus),
        inhibited_(std::move(inhibited)),
        active_(std::move(active)),
        verbose_(verbose) {}
  DbusScreenSaverService(const DbusScreenSaverService&) = delete;
  DbusScreenSaverService& operator=(const DbusScreenSaverService&) = delete;

  ~DbusScreenSaverService() override {
    for (const auto& [caller, watch] : callerWatches_) g_bus_unwatch_name(watch);
    for (const guint id : objects_) g_dbus_connection_unregister_object(bus_, id);
    if (info_ != nullptr) g_dbus_node_info_unref(info_);
    g_object_unref(bus_);
  }

  bool Offer(std::string& why) {
    // Asked without replacing anyone and without queueing: a desktop that has the name
    // keeps it.
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", kName, 4U /* DBUS_NAME_FLAG_DO_NOT_QUEUE */),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    guint result = 0;
    if (reply != nullptr) {
      g_variant_get(reply, "(u)", &result);
      g_variant_unref(reply);
    }
    if (result != 1 /* DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER */) {
      why = "another program owns org.freedesktop.ScreenSaver";
      return false;
    }
    info_ = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    static constexpr GDBusInterfaceVTable kVTable{OnCall, nullptr, nullptr, {}};
    // Programs use either path.
    for (const char* path : {"/org/freedesktop/ScreenSaver", "/ScreenSaver"}) {
      objects_.push_back(g_dbus_connection_register_object(bus_, path, info_->interfaces[0],
                                                           &kVTable, this, nullptr, nullptr));
    }
    return true;
  }

 private:
  static void OnCall(GDBusConnection* /*bus*/, const gchar* sender, const gchar* /*path*/,
                     const gchar* /*interface*/, const gchar* method, GVariant* parameters,
                     GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<DbusScreenSaverService*>(data);
    const std::string caller = sender != nullptr ? sender : "";
    const std::string name = method;
    if (name == "Inhibit") {
      const gchar* application = nullptr;
      const gchar* reason = nullptr;
      g_variant_get(parameters, "(&s&s)", &application, &reason);
      const std::uint32_t cookie = self->book_.Inhibit(caller, application, reason);
      self->WatchCaller(caller);
      if (self->verbose_) {
        std::fprintf(stderr, "zimoklas-idle: inhibited by %s (%s): cookie %u\n", application,
                     reason, cookie);
      }
      g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", cookie));
    } else if (name == "UnInhibit") {
      guint cookie = 0;
      g_variant_get(parameters, "(u)", &cookie);
      if (!self->book_.UnInhibit(caller, cookie)) {
        g_dbus_method_invocation_return_dbus_error(invocation,
                                                   "org.freedesktop.DBus.Error.InvalidArgs",
                                                   "This caller holds no such cookie");
        return;
      }
      g_dbus_method_invocation_return_value(invocation, nullptr);
      if (self->verbose_) std::fprintf(stderr, "zimoklas-idle: cookie %u given back\n", cookie);
      self->Forget(caller);
    } else {
      g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", self->active_()));
      return;
    }
    self->inhibited_(self->book_.inhibited());
  }

  void WatchCaller(const std::string& caller) {
    if (callerWatches_.contains(caller)) return;
    callerWatches_[caller] =
        g_bus_watch_name_on_connection(bus_, caller.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
                                       OnCallerVanished, this, nullptr);
  }

  // Stops watching a caller that holds no cookie any more.
  void Forget(const std::string& caller) {
    if (book_.Holds(caller)) return;
    const auto found = callerWatches_.find(caller);
    if (found == callerWatches_.end()) return;
    g_bus_unwatch_name(found->second);
    callerWatches_.erase(found);
  }

  static void OnCallerVanished(GDBusConnection* /*bus*/, const gchar* name, gpointer data) {
    auto* self = static_cast<DbusScreenSaverService*>(data);
    const std::size_t dropped = self->book_.CallerVanished(name);
    if (self->verbose_ && dropped > 0) {
      std::fprintf(stderr, "zimoklas-idle: %s left the bus; %zu cookie(s) dropped\n", name,
                   dropped);
    }
    self->Forget(name);
    self->inhibited_(self->book_.inhibited());
  }

  GDBusConnection* bus_;
  std::function<void(bool)> inhibited_;
  std::function<bool()> active_;
  bool verbose_;
  InhibitorBook book_;
  std::map<std::string, guint> callerWatches_;
  std::vector<guint> objects_;
  GDBusNodeInfo* info_ = nullptr;
};

}  // namespace

std::unique_ptr<ScreenSaverService> OfferScreenSaverService(std::function<void(bool)> inhibited,
                                                            std::function<bool()> active,
                                                            bool verbose, std::string& why) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) {
    why = "no session bus";
    return nullptr;
  }
  auto service = std::make_unique<DbusScreenSaverService>(bus, std::move(inhibited),
                                                          std::move(active), verbose);
  if (!service->Offer(why)) return nullptr;
  return service;
}

}  // namespace zimoklas::idle

// Idle detection on Wayland: ext-idle-notify-v1 where the compositor offers it, else
// KDE's org_kde_kwin_idle (sway 1.7, KWin). Both count the idle inhibitors of surfaces,
// such as a film playing full screen, as input.
#include <glib-unix.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstring>
#include <utility>

#include "idle/idle_watch.hpp"
#include "kde-idle-client-protocol.h"
#ifdef ZIMOKLAS_HAVE_EXT_IDLE_NOTIFY
#include "ext-idle-notify-v1-client-protocol.h"
#endif

namespace zimoklas::idle {
namespace {

class WaylandIdleWatch final : public IdleWatch {
 public:
  WaylandIdleWatch(int seconds, IdleEvents events)
      : timeout_(seconds * 1000U), events_(std::move(events)) {}
  WaylandIdleWatch(const WaylandIdleWatch&) = delete;
  WaylandIdleWatch& operator=(const WaylandIdleWatch&) = delete;

  ~WaylandIdleWatch() override {
    if (source_ != 0) g_source_remove(source_);
    DropNotification();
#ifdef ZIMOKLAS_HAVE_EXT_IDLE_NOTIFY
    if (notifier_ != nullptr) ext_idle_notifier_v1_destroy(notifier_);
#endif
    if (kdeIdle_ != nullptr) org_kde_kwin_idle_destroy(kdeIdle_);
    if (seat_ != nullptr) wl_seat_destroy(seat_);
    if (registry_ != nullptr) wl_registry_destroy(registry_);
    if (display_ != nullptr) wl_display_disconnect(display_);
  }

  // False, with `why` filled, when there is no compositor or it offers neither protocol.
  bool Connect(std::string& why) {
    display_ = wl_display_connect(nullptr);
    if (display_ == nullptr) {
      why = "no Wayland compositor";
      return false;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    wl_display_roundtrip(display_);
    if (seat_ == nullptr) {
      why = "the Wayland compositor has no seat";
      return false;
    }
#ifdef ZIMOKLAS_HAVE_EXT_IDLE_NOTIFY
    const bool ext = notifier_ != nullptr;
#else
    const bool ext = false;
#endif
    if (!ext && kdeIdle_ == nullptr) {
      why = "the Wayland compositor offers neither ext-idle-notify-v1 nor org_kde_kwin_idle";
      return false;
    }
    CreateNotification();
    source_ =
        g_unix_fd_add(wl_display_get_fd(display_),
                      static_cast<GIOCondition>(G_IO_IN | G_IO_ERR | G_IO_HUP), OnReadable, this);
    return Flush();
  }

  std::string Mechanism() const override {
#ifdef ZIMOKLAS_HAVE_EXT_IDLE_NOTIFY
    if (notifier_ != nullptr) return "Wayland ext-idle-notify-v1 (honours idle inhibitors)";
#endif
    return "Wayland org_kde_kwin_idle (counts idle inhibitors)";
  }

  void Rearm() override {
    // A new notification times its period from now, or from the last input if later.
    DropNotification();
    CreateNotification();
    Flush();
  }

 private:
  void CreateNotification() {
#ifdef ZIMOKLAS_HAVE_EXT_IDLE_NOTIFY
    if (notifier_ != nullptr) {
      // Version 1's only kind of notification, which honours idle inhibitors.
      notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, timeout_, seat_);
      ext_idle_notification_v1_add_listener(notification_, &kExtListener, this);
      return;
    }
#endif
    kdeTimeout_ = org_kde_kwin_idle_get_idle_timeout(kdeIdle_, seat_, timeout_);
    org_kde_kwin_idle_timeout_add_listener(kdeTimeout_, &kKdeListener, this);
  }

  void DropNotification() {
#ifdef ZIMOKLAS_HAVE_EXT_IDLE_NOTIFY
    if (notification_ != nullptr) ext_idle_notification_v1_destroy(notification_);
    notification_ = nullptr;
#endif
    if (kdeTimeout_ != nullptr) org_kde_kwin_idle_timeout_release(kdeTimeout_);
    kdeTimeout_ = nullptr;
  }

  bool Flush() {
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
      Lost();
      return false;
    }
    return true;
  }

  void Lost() {
    if (source_ != 0) g_source_remove(source_);
    source_ = 0;
    events_.lost("the Wayland compositor has gone");
  }

  static gboolean OnReadable(gint /*fd*/, GIOCondition /*condition*/, gpointer data) {
    auto* self = static_cast<WaylandIdleWatch*>(data);
    if (wl_display_dispatch(self->display_) < 0) {
      self->source_ = 0;
      self->events_.lost("the Wayland compositor has gone");
      return G_SOURCE_REMOVE;
    }
    return self->Flush() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }

  static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t /*version*/) {
    auto* self = static_cast<WaylandIdleWatch*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat_ == nullptr) {
      self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
#ifdef ZIMOKLAS_HAVE_EXT_IDLE_NOTIFY
    } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
      self->notifier_ = static_cast<ext_idle_notifier_v1*>(
          wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
#endif
    } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
      self->kdeIdle_ = static_cast<org_kde_kwin_idle*>(
          wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
    }
  }
  static void OnGlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}
  static constexpr wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};

  static void OnIdle(void* data, org_kde_kwin_idle_timeout* /*timeout*/) {
    static_cast<WaylandIdleWatch*>(data)->events_.idle();
  }
  static void OnResumed(void* data, org_kde_kwin_idle_timeout* /*timeout*/) {
    static_cast<WaylandIdleWatch*>(data)->events_.active();
  }
  static constexpr org_kde_kwin_idle_timeout_listener kKdeListener{OnIdle, OnResumed};

#ifdef ZIMOKLAS_HAVE_EXT_IDLE_NOTIFY
  static void OnIdled(void* data, ext_idle_notification_v1* /*notification*/) {
    static_cast<WaylandIdleWatch*>(data)->events_.idle();
  }
  static void OnExtResumed(void* data, ext_idle_notification_v1* /*notification*/) {
    static_cast<WaylandIdleWatch*>(data)->events_.active();
  }
  static constexpr ext_idle_notification_v1_listener kExtListener{OnIdled, OnExtResumed};
  ext_idle_notifier_v1* notifier_ = nullptr;
  ext_idle_notification_v1* notification_ = nullptr;
#endif

  std::uint32_t timeout_;
  IdleEvents events_;
  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  org_kde_kwin_idle* kdeIdle_ = nullptr;
  org_kde_kwin_idle_timeout* kdeTimeout_ = nullptr;
  guint source_ = 0;
};

}  // namespace

std::unique_ptr<IdleWatch> StartWaylandIdleWatch(int seconds, IdleEvents events, std::string& why) {
  auto watch = std::make_unique<WaylandIdleWatch>(seconds, std::move(events));
  if (!watch->Connect(why)) return nullptr;
  return watch;
}

}  // namespace zimoklas::idle

// The compositor's globals read on an event queue of their own, so that a short look at
// the outputs neither takes events from GTK's queue nor leaves any on it.
#pragma once

#include <wayland-client.h>

namespace zimoklas::wayland {

class PrivateRegistry {
 public:
  // `listener` must outlive this registry; proxies bound through it share its queue and are
  // destroyed by the caller before it.
  PrivateRegistry(wl_display* display, const wl_registry_listener* listener, void* data)
      : display_(display),
        queue_(wl_display_create_queue(display)),
        wrapped_(static_cast<wl_display*>(wl_proxy_create_wrapper(display))) {
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped_), queue_);
    registry_ = wl_display_get_registry(wrapped_);
    wl_registry_add_listener(registry_, listener, data);
  }
  ~PrivateRegistry() {
    wl_registry_destroy(registry_);
    wl_proxy_wrapper_destroy(wrapped_);
    wl_event_queue_destroy(queue_);
  }
  PrivateRegistry(const PrivateRegistry&) = delete;
  PrivateRegistry& operator=(const PrivateRegistry&) = delete;

  // Waits until the compositor has answered everything asked on this queue so far.
  void Roundtrip() { wl_display_roundtrip_queue(display_, queue_); }

 private:
  wl_display* display_;
  wl_event_queue* queue_;
  wl_display* wrapped_;
  wl_registry* registry_ = nullptr;
};

}  // namespace zimoklas::wayland

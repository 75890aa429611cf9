// The scene's own buffers on its window's surface.
#include "platform/wayland/wayland_buffers.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zimoklas::wayland {
void SurfacePixels::OnGlobal(void* self, wl_registry* registry, std::uint32_t name,
                             const char* interface, std::uint32_t /*version*/) {
  auto* pixels = static_cast<SurfacePixels*>(self);
  const std::string_view kind(interface);
  if (kind == wl_shm_interface.name) {
    pixels->shm_ = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
  } else if (kind == wl_compositor_interface.name) {
    pixels->compositor_ =
        static_cast<wl_compositor*>(wl_registry_bind(registry, name, &wl_compositor_interface, 1));
  } else if (kind == wp_viewporter_interface.name && pixels->wantViewport_) {
    pixels->viewporter_ =
        static_cast<wp_viewporter*>(wl_registry_bind(registry, name, &wp_viewporter_interface, 1));
  }
}

void SurfacePixels::OnGlobalRemove(void* /*self*/, wl_registry* /*registry*/,
                                   std::uint32_t /*name*/) {}

SurfacePixels::SurfacePixels(wl_display* display, wl_surface* surface, Frame& frame, bool viewport)
    : frame_(frame), surface_(surface), wantViewport_(viewport) {
  // The globals are read on a queue of their own, so that none of GTK's events is
  // handled here; what is bound then goes back to the connection's own queue.
  wl_event_queue* queue = wl_display_create_queue(display);
  auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), queue);
  wl_registry* registry = wl_display_get_registry(wrapped);
  static const wl_registry_listener listener = {&OnGlobal, &OnGlobalRemove};
  wl_registry_add_listener(registry, &listener, this);
  wl_display_roundtrip_queue(display, queue);
  wl_registry_destroy(registry);
  wl_proxy_wrapper_destroy(wrapped);
  if (shm_ != nullptr) wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(shm_), nullptr);
  if (compositor_ != nullptr) {
    // GTK no longer paints the surface, so it never sends the window's opaque region;
    // every pixel of the scene is opaque, whatever size the surface takes.
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(compositor_), nullptr);
    wl_region* opaque = wl_compositor_create_region(compositor_);
    wl_region_add(opaque, 0, 0, INT32_MAX, INT32_MAX);
    wl_surface_set_opaque_region(surface_, opaque);
    wl_region_destroy(opaque);
  }
  if (viewporter_ != nullptr) {
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(viewporter_), nullptr);
    viewport_ = wp_viewporter_get_viewport(viewporter_, surface_);
  }
  wl_event_queue_destroy(queue);
}

SurfacePixels::~SurfacePixels() {
  if (frameCallback_ != nullptr) wl_callback_destroy(frameCallback_);
  for (Buffer& buffer : buffers_) Release(buffer);
  if (viewport_ != nullptr) wp_viewport_destroy(viewport_);
  if (viewporter_ != nullptr) wp_viewporter_destroy(viewporter_);
  if (shm_ != nullptr) wl_shm_destroy(shm_);
  if (compositor_ != nullptr) wl_compositor_destroy(compositor_);
}

void SurfacePixels::Release(Buffer& buffer) {
  frame_.Forget(buffer.pixels);
  if (buffer.buffer != nullptr) wl_buffer_destroy(buffer.buffer);
  if (buffer.pixels != nullptr) munmap(buffer.pixels, buffer.bytes);
  buffer = Buffer{};
}

bool SurfacePixels::Allocate(Buffer& buffer) {
  const int stride = width_ * 4;
  buffer.bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height_);
  const int fd = memfd_create("zimoklas-frame", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, static_cast<off_t>(buffer.bytes)) != 0) {
    if (fd >= 0) close(fd);
    return false;
  }
  void* memory = mmap(nullptr, buffer.bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (memory == MAP_FAILED) {
    close(fd);
    return false;
  }
  buffer.pixels = static_cast<std::uint32_t*>(memory);
  // New memory is transparent; the buffer starts as the frame did when it took its size,
  // opaque black.
  std::fill_n(buffer.pixels, buffer.bytes / sizeof(std::uint32_t), Frame::kOpaque);
  wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, static_cast<std::int32_t>(buffer.bytes));
  // With alpha, though every pixel is opaque: gnome-shell 43 takes an XRGB8888 buffer at
  // many times the cost of an ARGB8888 one (wayland_floor_cost: a pixel a frame costs it
  // 25-99 % of a core against 3 %), and sway and KWin take both alike.
  buffer.buffer =
      wl_shm_pool_create_buffer(pool, 0, width_, height_, stride, WL_SHM_FORMAT_ARGB8888);
  wl_shm_pool_destroy(pool);
  close(fd);
  static const wl_buffer_listener listener = {&OnBufferRelease};
  wl_buffer_add_listener(buffer.buffer, &listener, this);
  buffer.written = frame_.origin();
  return true;
}

void SurfacePixels::OnBufferRelease(void* self, wl_buffer* released) {
  auto* pixels = static_cast<SurfacePixels*>(self);
  for (Buffer& buffer : pixels->buffers_) {
    if (buffer.buffer == released) buffer.busy = false;
  }
  // A commit that found no free buffer goes out now.
  if (pixels->frameCallback_ == nullptr) pixels->Present(pixels->wanted_);
}

void SurfacePixels::OnFrameDone(void* self, wl_callback* callback, std::uint32_t /*time*/) {
  auto* pixels = static_cast<SurfacePixels*>(self);
  wl_callback_destroy(callback);
  pixels->frameCallback_ = nullptr;
  if (pixels->onFrame_) {
    pixels->onFrame_();
  } else {
    pixels->Present(pixels->wanted_);
  }
}

void SurfacePixels::Present(const SurfaceScale& scale) {
  wanted_ = scale;
  if (!ok() || frameCallback_ != nullptr) return;
  if (frame_.width() != width_ || frame_.height() != height_) {
    // A new size: new buffers, each sent whole.
    for (Buffer& buffer : buffers_) Release(buffer);
    width_ = frame_.width();
    height_ = frame_.height();
    damageWhole_ = true;
  }
  if (!frame_.damaged() && !damageWhole_ && sent_ == scale) return;
  Buffer* target = nullptr;
  for (Buffer& buffer : buffers_) {
    if (!buffer.busy) {
      target = &buffer;
      break;
    }
  }
  if (target == nullptr || width_ <= 0 || height_ <= 0) return;  // a release brings it back
  if (target->buffer == nullptr && !Allocate(*target)) return;
  if (sent_ != scale) SetScale(scale);
  Commit(*target);
}

void SurfacePixels::SetScale(const SurfaceScale& scale) {
  if (viewport_ != nullptr && scale.viewport) {
    wl_surface_set_buffer_scale(surface_, 1);
    wp_viewport_set_destination(viewport_, scale.logicalWidth, scale.logicalHeight);
  } else {
    if (viewport_ != nullptr) wp_viewport_set_destination(viewport_, -1, -1);
    wl_surface_set_buffer_scale(surface_, std::max(1, static_cast<int>(scale.scale)));
  }
  sent_ = scale;
}

void SurfacePixels::Damage(const PixelRect& area) {
  if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface_)) >=
      WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
    wl_surface_damage_buffer(surface_, area.x, area.y, area.width, area.height);
    return;
  }
  // Older surfaces take damage in their own coordinates: the buffer's over its scale,
  // rounded outwards.
  const PixelRect logical = LogicalArea(area, sent_->scale);
  wl_surface_damage(surface_, logical.x, logical.y, logical.width, logical.height);
}

void SurfacePixels::Commit(Buffer& target) {
  // What the ticks wrote since the last commit is the damage; the whole surface after GTK
  // has painted it.
  std::uint64_t boxes = 0;
  if (damageWhole_) {
    frame_.TakeDamage([](const PixelRect& /*r*/) {});
    Damage({0, 0, width_, height_});
    boxes = 1;
    damageWhole_ = false;
  } else {
    frame_.TakeDamage([&](const PixelRect& r) {
      Damage(r);
      ++boxes;
    });
  }
  // Bring the target up to date: the writes since it was last sent, or all of it.
  frame_.CatchUp(target.pixels, target.written);
  target.written = frame_.written();
  frame_.Holds(target.pixels);
  wl_surface_attach(surface_, target.buffer, 0, 0);
  target.busy = true;
  frameCallback_ = wl_surface_frame(surface_);
  static const wl_callback_listener listener = {&OnFrameDone};
  wl_callback_add_listener(frameCallback_, &listener, this);
  wl_surface_commit(surface_);
  ++commits_;
  damageBoxes_ += boxes;
}

}  // namespace zimoklas::wayland

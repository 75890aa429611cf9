// The scene's pixels on Wayland: shared-memory buffers of the scene's own, attached to the
// scene window's surface. A commit brings the buffer up to date with only what was written
// since that buffer was last sent, names only the tiles written since the last commit as
// damage, and waits for the compositor's frame callback before the next one. GTK keeps the
// surface's role (layer or toplevel), its input and its cursor, and paints it itself only when it
// is mapped or resized, from the same frame.
#pragma once

#include <wayland-client.h>

#include <array>
#include <cstdint>

#include "platform/wayland/wayland_frame.hpp"

namespace zimoklas::wayland {

class SurfacePixels {
 public:
  // `surface` is the scene window's surface on `display`; the frame is the scene's.
  SurfacePixels(wl_display* display, wl_surface* surface, Frame& frame);
  SurfacePixels(const SurfacePixels&) = delete;
  SurfacePixels& operator=(const SurfacePixels&) = delete;
  ~SurfacePixels();

  // False when the compositor offers no shared memory.
  bool ok() const { return shm_ != nullptr; }
  // Commits what the frame has gained since the last commit, unless a commit still waits
  // for its frame callback (the callback then commits it) or no buffer is free.
  void Present(int scale);
  // GTK has put a buffer of its own on the surface: the next commit damages it whole.
  void OverPainted() { damageWhole_ = true; }

  std::uint64_t commits() const { return commits_; }
  std::uint64_t damageBoxes() const { return damageBoxes_; }

 private:
  struct Buffer {
    wl_buffer* buffer = nullptr;
    std::uint32_t* pixels = nullptr;
    std::size_t bytes = 0;
    bool busy = false;
    std::uint64_t written = 0;  // the frame's log position it holds
  };
  static constexpr std::size_t kBuffers = 2;

  void Commit(Buffer& target);
  void Damage(const PixelRect& area);
  bool Allocate(Buffer& buffer);
  void Release(Buffer& buffer);
  static void OnGlobal(void* self, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
  static void OnGlobalRemove(void* self, wl_registry* registry, std::uint32_t name);
  static void OnBufferRelease(void* self, wl_buffer* buffer);
  static void OnFrameDone(void* self, wl_callback* callback, std::uint32_t time);

  Frame& frame_;
  wl_surface* surface_;
  wl_shm* shm_ = nullptr;
  wl_callback* frameCallback_ = nullptr;
  std::array<Buffer, kBuffers> buffers_{};
  int width_ = 0, height_ = 0, scale_ = 0;
  bool damageWhole_ = true;
  std::uint64_t commits_ = 0;
  std::uint64_t damageBoxes_ = 0;
};

}  // namespace zimoklas::wayland

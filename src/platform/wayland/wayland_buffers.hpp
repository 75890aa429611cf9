// The scene's pixels on Wayland: shared-memory buffers of the scene's own, attached to the
// scene window's surface. A commit brings the buffer up to date with only what was written
// since that buffer was last sent, names only the tiles written since the last commit as
// damage, and waits for the compositor's frame callback before the next one. GTK keeps the
// surface's role (layer or toplevel), its input and its cursor, and never paints it.
#pragma once

#include <viewporter-client-protocol.h>
#include <wayland-client.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/wayland/wayland_frame.hpp"

namespace zimoklas::wayland {

// How the buffers map onto the surface: at a whole scale through the buffer scale, at a
// fractional one through a viewport the size of the surface.
struct SurfaceScale {
  double scale = 1;
  bool viewport = false;
  int logicalWidth = 0, logicalHeight = 0;
  bool operator==(const SurfaceScale&) const = default;
};

class SurfacePixels {
 public:
  // `surface` is the scene window's surface on `display`; the frame is the scene's.
  // `viewport` asks for a viewport on the surface (fractional scales).
  SurfacePixels(wl_display* display, wl_surface* surface, Frame& frame, bool viewport);
  SurfacePixels(const SurfacePixels&) = delete;
  SurfacePixels& operator=(const SurfacePixels&) = delete;
  ~SurfacePixels();

  // False when the compositor offers no shared memory, or no viewport where one was asked.
  bool ok() const { return shm_ != nullptr && (viewporter_ != nullptr) == wantViewport_; }
  // Commits what the frame has gained since the last commit, unless a commit still waits
  // for its frame callback (the callback then commits it) or no buffer is free.
  void Present(const SurfaceScale& scale);
  // GTK has put a buffer of its own on the surface, at its own scale: the next commit
  // damages it whole and sets the scale again.
  void OverPainted() {
    damageWhole_ = true;
    sent_.reset();
  }

  // Run, in place of a commit, when the compositor asks for the next frame: it runs what
  // is due and presents.
  void OnFrame(std::function<void()> frame) { onFrame_ = std::move(frame); }
  // A commit waits for the compositor to ask for the next frame.
  bool awaitingFrame() const { return frameCallback_ != nullptr; }

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
  void SetScale(const SurfaceScale& scale);

  Frame& frame_;
  wl_surface* surface_;
  wl_shm* shm_ = nullptr;
  wl_compositor* compositor_ = nullptr;
  bool wantViewport_ = false;
  wp_viewporter* viewporter_ = nullptr;
  wp_viewport* viewport_ = nullptr;
  wl_callback* frameCallback_ = nullptr;
  std::function<void()> onFrame_;
  std::array<Buffer, kBuffers> buffers_{};
  int width_ = 0, height_ = 0;
  SurfaceScale wanted_{};             // as last asked for
  std::optional<SurfaceScale> sent_;  // as last set on the surface
  bool damageWhole_ = true;
  std::uint64_t commits_ = 0;
  std::uint64_t damageBoxes_ = 0;
};

}  // namespace zimoklas::wayland

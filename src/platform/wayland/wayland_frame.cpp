// Sizing the scene's frame, and bringing copies of it up to date from its log.
#include "platform/wayland/wayland_frame.hpp"

#include <sys/mman.h>

#include <cstring>
#include <new>

namespace zimoklas::wayland {
namespace {

// Fresh anonymous memory, which is black. It is taken in whole huge pages, on their
// boundary, so that all of it can be huge: writes that land all over a frame miss the
// address cache on nearly every one with small pages.
PixelMemory MapPixels(std::size_t count) {
  constexpr std::size_t kHugePage = std::size_t{2} << 20U;
  const std::size_t bytes = ((count * sizeof(std::uint32_t)) + kHugePage) & ~(kHugePage - 1);
  void* memory =
      mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  auto* raw = static_cast<char*>(memory);
  const std::size_t head =
      (kHugePage - (reinterpret_cast<std::uintptr_t>(raw) & (kHugePage - 1))) & (kHugePage - 1);
  char* start = raw + head;
  if (head != 0) munmap(raw, head);
  munmap(start + bytes, kHugePage - head);
  madvise(start, bytes, MADV_HUGEPAGE);  // a wish; small pages do too
  return {reinterpret_cast<std::uint32_t*>(start), UnmapPixels{bytes}};
}

constexpr std::size_t kPage = 4096;

// Fresh anonymous memory in small pages, which take room only once written: the
// canvas, where only the labels' glyphs are drawn.
PixelMemory MapSparsePixels(std::size_t count) {
  const std::size_t bytes = ((count * sizeof(std::uint32_t)) + kPage - 1) & ~(kPage - 1);
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  return {static_cast<std::uint32_t*>(memory), UnmapPixels{bytes}};
}

// Makes the bytes from `begin` to `end` zero (black), giving the whole pages among them
// back: they read as zero and take no room until written again.
void Zero(char* begin, char* end) {
  const auto offset = [](const char* p) { return reinterpret_cast<std::uintptr_t>(p) % kPage; };
  char* first = begin + ((kPage - offset(begin)) % kPage);
  char* last = end - offset(end);
  if (first >= last || madvise(first, static_cast<std::size_t>(last - first), MADV_DONTNEED) != 0) {
    std::memset(begin, 0, static_cast<std::size_t>(end - begin));
    return;
  }
  std::memset(begin, 0, static_cast<std::size_t>(first - begin));
  std::memset(last, 0, static_cast<std::size_t>(end - last));
}

}  // namespace

void UnmapPixels::operator()(std::uint32_t* pixels) const {
  munmap(pixels, bytes);
}

void Frame::SetSize(int width, int height) {
  width_ = static_cast<std::uint32_t>(std::max(0, width));
  height_ = static_cast<std::uint32_t>(std::max(0, height));
  tileColumns_ = (width_ + kTile - 1) >> kTileShift;
  tileRows_ = (height_ + kTile - 1) >> kTileShift;
  const std::size_t count = static_cast<std::size_t>(width_) * height_;
  picture_ = MapPixels(count);
  canvas_ = MapSparsePixels(count);
  tiles_.assign(static_cast<std::size_t>(tileColumns_) * tileRows_, 0);
  dirty_ = false;
  held_ = {};
  origin_ = ++written_;  // every earlier position is of the old size
  pictureAt_ = written_;
  reach_ = written_;
}

void Frame::Drawn(const PixelRect& area) {
  const Edges edges = Inside(area);
  if (edges.empty()) return;
  const auto [left, top, right, bottom] = edges;
  for (int row = top >> kTileShift; row <= (bottom - 1) >> kTileShift; ++row) {
    for (int column = left >> kTileShift; column <= (right - 1) >> kTileShift; ++column) {
      tiles_[(static_cast<std::size_t>(row) * tileColumns_) + static_cast<std::size_t>(column)] = 1;
    }
  }
  dirty_ = true;
  if (written_ + 2 - reach_ > kLogSize) KeepUp();
  const auto field = [](int value, unsigned shift) {
    return static_cast<std::uint64_t>(value) << shift;
  };
  log_[written_++ & kLogMask] = kAreaMark << 32U;
  log_[written_++ & kLogMask] =
      field(left, 0) | field(top, 16) | field(right - left, 32) | field(bottom - top, 48);
}

void Frame::BlackCanvas(const PixelRect& area) {
  const Edges edges = Inside(area);
  if (edges.empty()) return;
  const auto [left, top, right, bottom] = edges;
  auto* bytes = reinterpret_cast<char*>(canvas_.get());
  const auto at = [&](int x, int y) {
    return bytes + ((static_cast<std::size_t>(y) * width_) + static_cast<std::size_t>(x)) * 4;
  };
  // Whole rows are one run of memory.
  if (left == 0 && right == width()) {
    Zero(at(0, top), at(0, bottom));
    return;
  }
  for (int y = top; y < bottom; ++y) Zero(at(left, y), at(right, y));
}

Frame::Copy Frame::Freshest() const {
  if (held_.pixels != nullptr && held_.at >= pictureAt_) return held_;
  return {picture_.get(), pictureAt_};
}

void Frame::CatchUp(std::uint32_t* target, std::uint64_t since) const {
  if (since < origin_ || written_ - since > kLogSize) {
    const Copy from = Freshest();
    if (from.pixels != target) {
      // The picture's untouched memory is black without alpha.
      const std::size_t count = static_cast<std::size_t>(width_) * height_;
      for (std::size_t n = 0; n < count; ++n) target[n] = from.pixels[n] | kOpaque;
    }
    since = from.at;
  }
  const std::uint32_t* canvas = canvas_.get();
  for (std::uint64_t n = since; n != written_; ++n) {
    const std::uint64_t entry = log_[n & kLogMask];
    if ((entry >> 32U) == kAreaMark) [[unlikely]] {
      // The canvas holds the area's latest drawing. Where that is later than this entry,
      // it is drawn again later in the log, and the writes in between lie under it.
      const std::uint64_t area = log_[++n & kLogMask];
      const std::size_t x = area & 0xFFFFU;
      const std::size_t y = (area >> 16U) & 0xFFFFU;
      const std::size_t columns = (area >> 32U) & 0xFFFFU;
      const std::size_t rows = area >> 48U;
      for (std::size_t row = y; row < y + rows; ++row) {
        const std::size_t at = (row * width_) + x;
        for (std::size_t n = at; n < at + columns; ++n) target[n] = canvas[n] | kOpaque;
      }
      continue;
    }
    target[entry >> 32U] = static_cast<std::uint32_t>(entry);
  }
}

void Frame::Holds(const std::uint32_t* copy) {
  held_ = {copy, written_};
  reach_ = written_;
}

void Frame::Forget(const std::uint32_t* copy) {
  if (copy == nullptr || held_.pixels != copy) return;
  KeepUp();  // the picture takes over from it
  held_ = {};
}

void Frame::KeepUp() {
  CatchUp(picture_.get(), pictureAt_);
  pictureAt_ = written_;
  reach_ = written_;
}

std::uint32_t* Frame::Picture() {
  KeepUp();
  return picture_.get();
}

}  // namespace zimoklas::wayland

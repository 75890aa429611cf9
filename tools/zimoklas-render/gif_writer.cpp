// Animated GIF output: a global screen of the frame's size, a looping extension, and per
// frame a graphics control block, the box of the changed pixels and a colour table of
// their colours, with the unchanged pixels transparent over the frame before.
#include "gif_writer.hpp"

#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace zimoklas::render {
namespace {

constexpr int kTransparent = 0;
constexpr int kMaxColours = 256;

// The changed pixels' bounding box; empty (right < left) when nothing changed.
struct Changed {
  int left = std::numeric_limits<int>::max();
  int top = std::numeric_limits<int>::max();
  int right = -1;
  int bottom = -1;
  bool empty() const { return right < left; }
};

int SquaredDistance(Colour a, Colour b) {
  const int dr = RedOf(a) - RedOf(b);
  const int dg = GreenOf(a) - GreenOf(b);
  const int db = BlueOf(a) - BlueOf(b);
  return dr * dr + dg * dg + db * db;
}

}  // namespace

GifWriter::~GifWriter() {
  if (file_ != nullptr) EGifCloseFile(file_, nullptr);
}

std::optional<std::string> GifWriter::Failed() {
  const std::string message = GifErrorString(file_->Error);
  EGifCloseFile(file_, nullptr);
  file_ = nullptr;
  return message;
}

std::optional<std::string> GifWriter::Open(const std::string& path, int width, int height) {
  // Opened here rather than by giflib, which would make the file readable by its owner
  // alone: the usual rights, as the umask leaves them.
  const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) return std::string(std::strerror(errno));
  int error = 0;
  file_ = EGifOpenFileHandle(descriptor, &error);
  if (file_ == nullptr) {
    close(descriptor);
    return std::string(GifErrorString(error));
  }
  EGifSetGifVersion(file_, true);
  // The screen's own table holds black, which is what shows before the first frame.
  const std::array<GifColorType, 2> black{};
  ColorMapObject* screen = GifMakeMapObject(2, black.data());
  const int described = EGifPutScreenDesc(file_, width, height, 8, 0, screen);
  GifFreeMapObject(screen);
  if (described == GIF_ERROR) return Failed();
  // NETSCAPE2.0: loop for ever.
  static constexpr GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A',
                                                 'P', 'E', '2', '.', '0'};
  static constexpr GifByteType kLoop[] = {1, 0, 0};
  if (EGifPutExtensionLeader(file_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
      EGifPutExtensionBlock(file_, sizeof kApplication, kApplication) == GIF_ERROR ||
      EGifPutExtensionBlock(file_, sizeof kLoop, kLoop) == GIF_ERROR ||
      EGifPutExtensionTrailer(file_) == GIF_ERROR) {
    return Failed();
  }
  shown_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  first_ = true;
  return std::nullopt;
}

std::optional<std::string> GifWriter::Add(const headless::Frame& frame, int centiseconds) {
  const int width = frame.width();
  const std::vector<Colour>& pixels = frame.pixels();
  Changed box;
  for (int y = 0; y < frame.height(); ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * width + x;
      if (first_ || pixels[i] != shown_[i]) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
    }
  }
  // A frame without changes still takes its time: one transparent pixel.
  if (box.empty()) box = {0, 0, 0, 0};

  // The changed pixels' colours, in order of first use; past the table's 255 entries a
  // colour takes the nearest one already in it.
  std::vector<GifColorType> table(1);  // index 0: transparent
  std::unordered_map<Colour, GifPixelType> index;
  const auto indexOf = [&](Colour colour) -> GifPixelType {
    if (const auto found = index.find(colour); found != index.end()) return found->second;
    GifPixelType chosen = 1;
    if (table.size() < kMaxColours) {
      chosen = static_cast<GifPixelType>(table.size());
      table.push_back({RedOf(colour), GreenOf(colour), BlueOf(colour)});
    } else {
      int best = std::numeric_limits<int>::max();
      for (const auto& [known, at] : index) {
        if (const int d = SquaredDistance(known, colour); d < best) {
          best = d;
          chosen = at;
        }
      }
    }
    index.emplace(colour, chosen);
    return chosen;
  };

  const int boxWidth = box.right - box.left + 1;
  const int boxHeight = box.bottom - box.top + 1;
  std::vector<GifPixelType> lines(static_cast<std::size_t>(boxWidth) * boxHeight, kTransparent);
  for (int y = box.top; y <= box.bottom; ++y) {
    for (int x = box.left; x <= box.right; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * width + x;
      if (!first_ && pixels[i] == shown_[i]) continue;
      lines[static_cast<std::size_t>(y - box.top) * boxWidth + (x - box.left)] = indexOf(pixels[i]);
      shown_[i] = pixels[i];
    }
  }
  first_ = false;

  int size = 2;
  while (size < static_cast<int>(table.size())) size *= 2;
  table.resize(static_cast<std::size_t>(size));
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.DelayTime = centiseconds;
  control.TransparentColor = kTransparent;
  GifByteType extension[4];
  const auto length = static_cast<int>(EGifGCBToExtension(&control, extension));
  if (EGifPutExtension(file_, GRAPHICS_EXT_FUNC_CODE, length, extension) == GIF_ERROR) {
    return Failed();
  }
  ColorMapObject* colours = GifMakeMapObject(size, table.data());
  const int described =
      EGifPutImageDesc(file_, box.left, box.top, boxWidth, boxHeight, false, colours);
  GifFreeMapObject(colours);
  if (described == GIF_ERROR) return Failed();
  for (int y = 0; y < boxHeight; ++y) {
    if (EGifPutLine(file_, &lines[static_cast<std::size_t>(y) * boxWidth], boxWidth) == GIF_ERROR) {
      return Failed();
    }
  }
  return std::nullopt;
}

std::optional<std::string> GifWriter::Close() {
  if (file_ == nullptr) return std::nullopt;
  int error = 0;
  const int closed = EGifCloseFile(file_, &error);
  file_ = nullptr;
  if (closed == GIF_ERROR) return std::string(GifErrorString(error));
  return std::nullopt;
}

}  // namespace zimoklas::render

// Writes frames of the in-memory window as an animated GIF through giflib, frame by frame:
// each frame carries only the pixels that changed since the one before.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/types.hpp"
#include "platform/headless/frame.hpp"

struct GifFileType;

namespace zimoklas::render {

class GifWriter {
 public:
  GifWriter() = default;
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;
  ~GifWriter();

  // Creates the file for frames of this size that loop for ever; giflib's message when
  // it cannot.
  std::optional<std::string> Open(const std::string& path, int width, int height);
  // Appends the frame, shown for `centiseconds`.
  std::optional<std::string> Add(const headless::Frame& frame, int centiseconds);
  // Ends the file; giflib's message when the end could not be written.
  std::optional<std::string> Close();

 private:
  std::optional<std::string> Failed();

  GifFileType* file_ = nullptr;
  std::vector<Colour> shown_;  // what the frames so far leave on the screen
  bool first_ = true;
};

}  // namespace zimoklas::render

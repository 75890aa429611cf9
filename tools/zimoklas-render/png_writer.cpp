// PNG output through libpng's simplified writing interface.
#include "png_writer.hpp"

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zimoklas::render {

std::optional<std::string> WritePng(const headless::Frame& frame, const std::string& path) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(frame.pixels().size() * 3);
  for (const Colour c : frame.pixels()) {
    rgb.push_back(RedOf(c));
    rgb.push_back(GreenOf(c));
    rgb.push_back(BlueOf(c));
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(frame.width());
  image.height = static_cast<png_uint_32>(frame.height());
  image.format = PNG_FORMAT_RGB;
  const auto stride = static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
  const int ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), stride, nullptr);
  std::optional<std::string> error;
  if (ok == 0) error = std::string(image.message);
  png_image_free(&image);
  return error;
}

}  // namespace zimoklas::render

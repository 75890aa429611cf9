// Writes an in-memory frame as an 8-bit RGB PNG.
#pragma once

#include <optional>
#include <string>

#include "platform/headless/frame.hpp"

namespace zimoklas::render {

// Nothing on success, else libpng's message.
std::optional<std::string> WritePng(const headless::Frame& frame, const std::string& path);

}  // namespace zimoklas::render

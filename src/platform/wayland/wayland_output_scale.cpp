// Reading an output's fractional scale from its mode and its logical size.
#include "platform/wayland/wayland_output_scale.hpp"

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/wayland/wayland_private_registry.hpp"

namespace zimoklas::wayland {
namespace {

struct Output {
  wl_output* proxy = nullptr;
  int x = 0, y = 0, transform = WL_OUTPUT_TRANSFORM_NORMAL;
  int modeWidth = 0, modeHeight = 0;
};

struct Globals {
  bool fractional = false;
  bool viewporter = false;
  std::vector<Output> outputs;
};

void OnGeometry(void* data, wl_output* /*output*/, std::int32_t x, std::int32_t y,
                std::int32_t /*widthMm*/, std::int32_t /*heightMm*/, std::int32_t /*subpixel*/,
                const char* /*make*/, const char* /*model*/, std::int32_t transform) {
  auto* output = static_cast<Output*>(data);
  output->x = x;
  output->y = y;
  output->transform = transform;
}

void OnMode(void* data, wl_output* /*output*/, std::uint32_t flags, std::int32_t width,
            std::int32_t height, std::int32_t /*refresh*/) {
  auto* output = static_cast<Output*>(data);
  if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
  output->modeWidth = width;
  output->modeHeight = height;
}

// Bound at version 1, which sends only the geometry and the modes.
const wl_output_listener kOutputListener = {&OnGeometry, &OnMode, nullptr,
                                            nullptr,     nullptr, nullptr};

void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
              std::uint32_t /*version*/) {
  auto* globals = static_cast<Globals*>(data);
  const std::string_view kind(interface);
  if (kind == "wp_fractional_scale_manager_v1") globals->fractional = true;
  if (kind == "wp_viewporter") globals->viewporter = true;
  if (kind == wl_output_interface.name) {
    globals->outputs.push_back(
        {static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1))});
  }
}

void OnGlobalRemove(void* /*data*/, wl_registry* /*registry*/, std::uint32_t /*name*/) {}

}  // namespace

std::optional<double> ScaleOfOutput(int modeWidth, int modeHeight, int transform,
                                    int logicalWidth) {
  // The odd transforms turn the output by a quarter.
  const int across = (transform & 1) != 0 ? modeHeight : modeWidth;
  if (across <= 0 || logicalWidth <= 0) return std::nullopt;
  const double scale = std::round(120.0 * across / logicalWidth) / 120.0;
  if (scale <= 0) return std::nullopt;
  return scale;
}

std::optional<double> FractionalScaleOf(wl_display* display, int x, int y, int logicalWidth) {
  Globals globals;
  static const wl_registry_listener listener = {&OnGlobal, &OnGlobalRemove};
  PrivateRegistry registry(display, &listener, &globals);
  registry.Roundtrip();  // the globals, the outputs bound
  // The listeners hold pointers into the list, which no longer grows.
  for (Output& output : globals.outputs) {
    wl_output_add_listener(output.proxy, &kOutputListener, &output);
  }
  registry.Roundtrip();  // the outputs' geometry and modes

  std::optional<double> scale;
  const Output* chosen = globals.outputs.size() == 1 ? globals.outputs.data() : nullptr;
  for (const Output& output : globals.outputs) {
    if (output.x == x && output.y == y) chosen = &output;
  }
  if (globals.fractional && globals.viewporter && chosen != nullptr) {
    scale = ScaleOfOutput(chosen->modeWidth, chosen->modeHeight, chosen->transform, logicalWidth);
  }
  for (const Output& output : globals.outputs) wl_output_destroy(output.proxy);
  return scale;
}

}  // namespace zimoklas::wayland

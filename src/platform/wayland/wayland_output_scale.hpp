// The scale of the output the scene goes on. GTK 3 knows only whole scales; where the
// compositor shows buffers at any scale (it offers fractional scaling and viewports), the
// scene's own buffers can match the output's pixels one to one at a fractional scale too.
#pragma once

#include <wayland-client.h>

#include <optional>

namespace zimoklas::wayland {

// The output's pixels per logical pixel: its current mode over its logical size (the
// mode's sides swapped when the output is turned by a quarter), to the nearest 1/120,
// the step fractional scales come in. Nothing for sizes that give no scale.
std::optional<double> ScaleOfOutput(int modeWidth, int modeHeight, int transform, int logicalWidth);

// The fractional scale of the output at logical position (x, y), `logicalWidth` wide,
// where the compositor offers fractional scaling and viewports; else nothing, and the
// scene keeps GTK's whole scale. Reads the compositor's globals on a queue of its own.
std::optional<double> FractionalScaleOf(wl_display* display, int x, int y, int logicalWidth);

}  // namespace zimoklas::wayland

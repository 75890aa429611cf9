// Pixel values for the scene's colours on any X visual: made from the colour masks on
// TrueColor and DirectColor, allocated in the colormap on the others (PseudoColor and the
// like) once, so that drawing a tick never asks the server or allocates.
#pragma once

#include <X11/Xlib.h>

#include <array>
#include <cstddef>
#include <vector>

#include "common/types.hpp"

namespace zimoklas::x11 {

class PixelValues {
 public:
  PixelValues(Display* display, const Visual* visual, Colormap colormap);
  PixelValues(const PixelValues&) = delete;
  PixelValues& operator=(const PixelValues&) = delete;
  ~PixelValues();

  // Allocates a cell for a colour the scene draws often (black, the snow colour), so that
  // it shows exactly; a no-op where pixel values come from the masks.
  void Reserve(Colour colour);
  // The pixel value for a colour: exact where the visual allows, else the nearest colour
  // of a cube allocated up front (the fireworks' random colours).
  unsigned long Of(Colour colour) const;

 private:
  static constexpr int kLevels = 6;  // per channel; a 6 x 6 x 6 cube, as cairo's
  static constexpr std::size_t kMaxReserved = 8;
  struct Reserved {
    Colour colour;
    unsigned long pixel;
  };
  // A cell of the colormap for the colour, or the nearest one it holds when it is full.
  unsigned long Allocate(Colour colour);

  Display* display_;
  Colormap colormap_;
  const Visual* visual_;
  bool fromMasks_;
  unsigned long redMask_, greenMask_, blueMask_;
  std::array<unsigned long, kLevels * kLevels * kLevels> cube_{};
  std::array<Reserved, kMaxReserved> reserved_{};
  std::size_t reservedCount_ = 0;
  std::vector<unsigned long> allocated_;  // cells to give back
  std::vector<XColor> cells_;             // the colormap's cells, read once it is full
};

}  // namespace zimoklas::x11

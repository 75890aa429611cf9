// The one mapping of the design's font faces onto the faces installed on Linux, shared by
// the scene and the settings window.
#pragma once

#include <string_view>

namespace zimoklas::pango {

// Liberation Sans is Arial's metric twin. It also stands in for the old dialog face: at
// 96 DPI it keeps those labels near their design widths, where the system's sans face
// (often DejaVu Sans) makes them about a quarter wider.
constexpr const char* FamilyFor(std::string_view designFace) {
  constexpr const char* kArialTwin = "Liberation Sans";
  constexpr const char* kDialogFace = "Liberation Sans";
  return designFace == "Arial" ? kArialTwin : kDialogFace;
}

}  // namespace zimoklas::pango

// Escaping outside text for stderr.
#include "platform/glib/printable.hpp"

#include <glib.h>

namespace zimoklas::glib {

std::string Printable(std::string_view text) {
  const bool utf8 = g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    // U+0080..U+009F, the C1 controls, are C2 80..C2 9F in UTF-8.
    const bool c1 = utf8 && byte == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (byte >= 0x20 && byte != 0x7F && (byte < 0x80 || utf8) && !c1) {
      out += text[i];
      continue;
    }
    if (c1) ++i;
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto shown = static_cast<unsigned char>(text[i]);
    out += "\\x";
    out += kHex[shown >> 4];
    out += kHex[shown & 0xF];
  }
  return out;
}

}  // namespace zimoklas::glib

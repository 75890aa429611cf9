// Text from outside the program (a path, a variable, an argument) made safe to show on a
// terminal or in a log.
#pragma once

#include <string>
#include <string_view>

namespace zimoklas::glib {

// Control characters, and bytes that are not UTF-8, become \xNN escapes, so the text can
// neither move the cursor nor recolour a daemon's log.
std::string Printable(std::string_view text);

}  // namespace zimoklas::glib

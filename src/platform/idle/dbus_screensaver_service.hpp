// The org.freedesktop.ScreenSaver service on the session bus, for X11 sessions whose
// desktop offers none: browsers and video players take inhibitors through it.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace zimoklas::idle {

class ScreenSaverService {
 public:
  virtual ~ScreenSaverService() = default;
};

// Owns the name when no one else does, and never takes it from its owner: nothing is
// returned then, with `why` saying so. `inhibited` hears each change of the inhibitors;
// `active` answers GetActive.
std::unique_ptr<ScreenSaverService> OfferScreenSaverService(std::function<void(bool)> inhibited,
                                                            std::function<bool()> active,
                                                            bool verbose, std::string& why);

}  // namespace zimoklas::idle

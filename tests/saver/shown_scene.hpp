// Form1 on the headless window with an in-memory store, a fixed clock and a seeded
// generator, for tests of what runs once the saver shows.
#pragma once

#include <map>
#include <string>

#include "animation/random.hpp"
#include "platform/headless/fake_clock.hpp"
#include "platform/headless/headless_window.hpp"
#include "saver/form1.hpp"
#include "settings/memory_store.hpp"

namespace zimoklas::saver {

struct ShownScene {
  // Texts in `extents` measure as given, from the window's creation on.
  explicit ShownScene(SizeF screen, const std::map<std::string, SizeF>& extents = {})
      : window(WithExtents(screen, extents)), form(window, store, clock, random, module) {
    window.Attach(&form);
  }
  static headless::HeadlessWindow WithExtents(SizeF screen,
                                              const std::map<std::string, SizeF>& extents) {
    headless::HeadlessWindow w(screen);
    for (const auto& [text, extent] : extents) w.SetExtent(text, extent);
    return w;
  }
  // Loads in saver mode and shows, as the platform does; give extents and stored values
  // before.
  void Show() {
    form.Form_Load("/s");
    window.Show();
  }
  headless::HeadlessWindow window;
  settings::MemoryStore store;
  headless::FakeClock clock;
  animation::Pcg32 random;
  settings::Module1 module;
  Form1 form;
};

}  // namespace zimoklas::saver

// Fuzz target for the stored-settings readers: whatever text a store holds, reading it
// never crashes, and every reader yields a value the program can use.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/memory_store.hpp"
#include "settings/settings.hpp"

using namespace zimoklas;
using namespace zimoklas::settings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const auto colour = ParseColourByte(text);
  if (colour && ParseColourByte(FormatByte(*colour)) != colour) std::abort();

  const auto state = ParseCheckState(text);
  if (state && (*state < kUnchecked || *state > kGrayed)) std::abort();
  // Both readers of `pf` take or refuse the same texts.
  if (state.has_value() != ParsePfAtStartup(text).has_value()) std::abort();

  MemoryStore store;
  for (const std::string_view key :
       {kKeySnihR, kKeySnihG, kKeySnihB, kKeyText1, kKeyText2, kKeyPf}) {
    store.Seed(key, text);
  }
  Module1 module;
  ReadStartupSettings(store, module);
  if (module.GreetingText != text || module.SecondText != text) std::abort();
  if (module.UsePfYear != kTrue && module.UsePfYear != kFalse) std::abort();
  const std::int16_t checkState = ReadCheckState(store);
  if (checkState < kUnchecked || checkState > kGrayed) std::abort();

  // What the readers produced saves and reads back unchanged.
  MemoryStore saved;
  WriteAll(saved, {module.SnowRed, module.SnowGreen, module.SnowBlue, module.GreetingText,
                   module.SecondText, checkState});
  Module1 again;
  ReadStartupSettings(saved, again);
  if (again.SnowRed != module.SnowRed || again.GreetingText != module.GreetingText) std::abort();
  return 0;
}

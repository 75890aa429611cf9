// Fuzz target for the key-file store: every input is a whole settings file for the
// store's reader and the six readers, and a text to save and read back.
#include <glib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/glib/keyfile_store.hpp"
#include "settings/settings.hpp"

using namespace zimoklas;
using namespace zimoklas::settings;
using zimoklas::glib::KeyFileStore;

namespace {

// A private folder on a memory file system when there is one: saves flush to disk.
const std::string& Folder() {
  static const std::string folder = [] {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/zimoklas-fuzz-XXXXXX"
                                                        : "/tmp/zimoklas-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Check(bool holds) {
  if (!holds) std::abort();
}

struct Values {
  Module1 module;
  std::int16_t checkState = 0;
};

Values ReadAll(KeyFileStore& store) {
  Values values;
  ReadStartupSettings(store, values.module);
  values.checkState = ReadCheckState(store);
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string input = Folder() + "/input.conf";
  const std::string saved = Folder() + "/saved.conf";
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  // The input as a settings file: the readers give usable values and leave it alone.
  KeyFileStore store(input);
  const Values read = ReadAll(store);
  Check(read.checkState >= kUnchecked && read.checkState <= kGrayed);
  Check(read.module.UsePfYear == kTrue || read.module.UsePfYear == kFalse);
  // Start-up takes pf as ticked only when the window would tick the box too.
  if (read.module.UsePfYear == kTrue) Check(read.checkState == kChecked);
  Check(g_utf8_validate(read.module.GreetingText.data(),
                        static_cast<gssize>(read.module.GreetingText.size()), nullptr));
  Check(Contents(input) == bytes);

  // What was read saves and reads back unchanged.
  unlink(saved.c_str());
  KeyFileStore out(saved);
  const SavedValues values{read.module.SnowRed,      read.module.SnowGreen,  read.module.SnowBlue,
                           read.module.GreetingText, read.module.SecondText, read.checkState};
  Check(!WriteAll(out, values));
  const Values again = ReadAll(out);
  Check(again.module.SnowRed == read.module.SnowRed);
  Check(again.module.SnowGreen == read.module.SnowGreen);
  Check(again.module.SnowBlue == read.module.SnowBlue);
  Check(again.module.GreetingText == read.module.GreetingText);
  Check(again.module.SecondText == read.module.SecondText);
  Check(again.checkState == read.checkState);

  // The input as a text: valid UTF-8 without NUL or a leading form feed comes back byte
  // for byte; anything else is refused and leaves the file as it was.
  const std::string before = Contents(saved);
  const bool storable = bytes.find('\0') == std::string::npos && !bytes.starts_with('\f') &&
                        g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr);
  const bool wrote = out.WriteSetting(kApp, kSection, kKeyText2, bytes);
  Check(wrote == storable);
  if (wrote) {
    Check(KeyFileStore(saved).ReadSetting(kApp, kSection, kKeyText2, "") == bytes);
  } else {
    Check(Contents(saved) == before);
  }
  return 0;
}

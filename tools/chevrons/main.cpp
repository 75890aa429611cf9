// zimoklas-chevrons: writes the settings window's two chevron pictures,
// chevron_down.gif and chevron_up.gif, into the folder given (resources/ in the tree).
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "chevrons.hpp"

namespace {

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "zimoklas-chevrons: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: zimoklas-chevrons OUTPUT-FOLDER\n");
    return 2;
  }
  using namespace zimoklas::tools;
  const std::string folder = argv[1];
  const IndexedImage down = ChevronsDown();
  const bool ok = WriteFile(folder + "/chevron_down.gif",
                            EncodeGif(down, kChevronPalette, kTransparentIndex)) &&
                  WriteFile(folder + "/chevron_up.gif",
                            EncodeGif(MirrorTopToBottom(down), kChevronPalette, kTransparentIndex));
  return ok ? 0 : 1;
}

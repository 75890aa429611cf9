// The chevron pictures and their GIF89a encoding.
#include "chevrons.hpp"

#include <algorithm>
#include <cstddef>
#include <map>
#include <string_view>
#include <utility>

namespace zimoklas::tools {
namespace {

constexpr int kWidth = 32;
constexpr int kHeight = 25;
constexpr int kChevronLeft = 2;
constexpr std::array<int, 4> kChevronTops = {0, 6, 12, 18};

// One chevron over columns 2 to 29. Letters are palette indices: a 85 (the core),
// b 113, c 141, d 170, e 198 (the light edges), f 56 (the darkest, at the point);
// a dot is transparent. Each arm is shaded light-to-dark from its outer edge.
constexpr std::array<std::string_view, 8> kChevron = {
    "ecaabd................dbaace",  //
    "..ecaabd............dbaace..",  //
    "....ecaabd........dbaace....",  //
    "......ecaabd....dbaace......",  //
    "........ecaabddbaace........",  //
    "..........ecaaaace..........",  //
    "...........caffac...........",  //
    ".............bb.............",  //
};

std::uint8_t IndexOfLetter(char letter) {
  switch (letter) {
    case 'a':
      return 0;
    case 'e':
      return 1;
    case 'c':
      return 2;
    case 'd':
      return 3;
    case 'b':
      return 4;
    case 'f':
      return 5;
    default:
      return kTransparentIndex;
  }
}

// Packs variable-width codes, least significant bit first, into 255-byte sub-blocks.
class CodeWriter {
 public:
  void Write(int code, int width) {
    bits_ |= static_cast<std::uint32_t>(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      bytes_.push_back(static_cast<std::uint8_t>(bits_ & 0xFF));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  std::vector<std::uint8_t> Finish() {
    if (count_ > 0) bytes_.push_back(static_cast<std::uint8_t>(bits_ & 0xFF));
    std::vector<std::uint8_t> blocks;
    for (std::size_t i = 0; i < bytes_.size(); i += 255) {
      const std::size_t n = std::min<std::size_t>(255, bytes_.size() - i);
      blocks.push_back(static_cast<std::uint8_t>(n));
      blocks.insert(blocks.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(i),
                    bytes_.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    blocks.push_back(0);
    return blocks;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint32_t bits_ = 0;
  int count_ = 0;
};

// LZW as GIF uses it. The encoder assigns a table entry after every code it writes and
// widens the codes as soon as that entry needs another bit, one step ahead of a decoder,
// which adds its entry on reading the following code.
std::vector<std::uint8_t> CompressLzw(const std::vector<std::uint8_t>& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  CodeWriter out;
  std::map<std::pair<int, std::uint8_t>, int> table;
  int width = minCodeSize + 1;
  int lastAssigned = end;
  const auto reset = [&] {
    table.clear();
    width = minCodeSize + 1;
    lastAssigned = end;
  };
  const auto advance = [&] {
    ++lastAssigned;
    if (lastAssigned >= (1 << width) && width < 12) ++width;
  };

  out.Write(clear, width);
  int prefix = pixels.front();
  for (std::size_t i = 1; i < pixels.size(); ++i) {
    const std::uint8_t next = pixels[i];
    const auto found = table.find({prefix, next});
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    out.Write(prefix, width);
    advance();
    if (lastAssigned < 4096) table[{prefix, next}] = lastAssigned;
    if (lastAssigned >= 4095) {
      out.Write(clear, width);
      reset();
    }
    prefix = next;
  }
  out.Write(prefix, width);
  advance();
  out.Write(end, width);
  return out.Finish();
}

void PutWord(std::vector<std::uint8_t>& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

IndexedImage ChevronsDown() {
  IndexedImage image{kWidth, kHeight,
                     std::vector<std::uint8_t>(kWidth * kHeight, kTransparentIndex)};
  for (const int top : kChevronTops) {
    for (int row = 0; row < static_cast<int>(kChevron.size()) && top + row < kHeight; ++row) {
      const std::string_view line = kChevron[static_cast<std::size_t>(row)];
      for (int col = 0; col < static_cast<int>(line.size()); ++col) {
        const std::uint8_t index = IndexOfLetter(line[static_cast<std::size_t>(col)]);
        if (index == kTransparentIndex) continue;
        const int at = (top + row) * kWidth + kChevronLeft + col;
        image.pixels[static_cast<std::size_t>(at)] = index;
      }
    }
  }
  return image;
}

IndexedImage MirrorTopToBottom(const IndexedImage& image) {
  IndexedImage mirrored = image;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const int at = y * image.width + x;
      mirrored.pixels[static_cast<std::size_t>(at)] = image.at(x, image.height - 1 - y);
    }
  }
  return mirrored;
}

std::vector<std::uint8_t> EncodeGif(const IndexedImage& image, const std::array<Rgb, 8>& palette,
                                    std::uint8_t transparentIndex) {
  std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
  // Logical screen: a global table of 2^(2+1) entries with 3 bits per primary.
  PutWord(gif, image.width);
  PutWord(gif, image.height);
  gif.push_back(0x80 | (2 << 4) | 2);
  gif.push_back(transparentIndex);  // background
  gif.push_back(0);                 // square pixels
  for (const Rgb& c : palette) {
    gif.insert(gif.end(), {c.red, c.green, c.blue});
  }
  // Graphic control: no disposal, no delay, transparency on.
  gif.insert(gif.end(), {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, transparentIndex, 0x00});
  // The one image, covering the screen, no local table, not interlaced.
  gif.push_back(0x2C);
  PutWord(gif, 0);
  PutWord(gif, 0);
  PutWord(gif, image.width);
  PutWord(gif, image.height);
  gif.push_back(0);
  constexpr int kMinCodeSize = 3;
  gif.push_back(kMinCodeSize);
  const std::vector<std::uint8_t> data = CompressLzw(image.pixels, kMinCodeSize);
  gif.insert(gif.end(), data.begin(), data.end());
  gif.push_back(0x3B);
  return gif;
}

}  // namespace zimoklas::tools

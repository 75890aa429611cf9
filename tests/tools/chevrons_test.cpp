// The chevron pictures: the committed GIFs, decoded independently of the encoder, hold
// the described image, and the generator still produces them byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "chevrons.hpp"

namespace zimoklas::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& name) {
  std::ifstream in(std::string(ZIMOKLAS_RESOURCES_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct DecodedGif {
  int width = 0, height = 0;
  std::vector<Rgb> palette;
  bool transparent = false;
  int transparentIndex = -1;
  int images = 0;
  bool localTable = false, interlaced = false;
  IndexedImage image;
};

int Word(const Bytes& b, std::size_t at) {
  return b.at(at) | (b.at(at + 1) << 8);
}

// A plain LZW decoder: a table entry is added on each code after the first, and the code
// width grows once the next free entry no longer fits.
std::vector<std::uint8_t> Unlzw(const Bytes& data, int minCodeSize) {
  const int clear = 1 << minCodeSize, end = clear + 1;
  std::vector<std::vector<std::uint8_t>> table;
  int width = 0;
  const auto reset = [&] {
    table.clear();
    for (int i = 0; i < clear + 2; ++i) table.push_back({static_cast<std::uint8_t>(i)});
    width = minCodeSize + 1;
  };
  reset();
  std::vector<std::uint8_t> out;
  std::size_t bit = 0;
  int previous = -1;
  for (;;) {
    if (bit + static_cast<std::size_t>(width) > data.size() * 8) throw std::runtime_error("short");
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
    if (code == clear) {
      reset();
      previous = -1;
      continue;
    }
    if (code == end) return out;
    std::vector<std::uint8_t> entry;
    if (code < static_cast<int>(table.size())) {
      entry = table[static_cast<std::size_t>(code)];
    } else if (code == static_cast<int>(table.size()) && previous >= 0) {
      entry = table[static_cast<std::size_t>(previous)];
      entry.push_back(entry.front());
    } else {
      throw std::runtime_error("bad code");
    }
    if (previous >= 0 && table.size() < 4096) {
      std::vector<std::uint8_t> added = table[static_cast<std::size_t>(previous)];
      added.push_back(entry.front());
      table.push_back(added);
      if (static_cast<int>(table.size()) == (1 << width) && width < 12) ++width;
    }
    out.insert(out.end(), entry.begin(), entry.end());
    previous = code;
  }
}

DecodedGif Decode(const Bytes& b) {
  DecodedGif gif;
  if (std::string(b.begin(), b.begin() + 6) != "GIF89a") throw std::runtime_error("signature");
  gif.width = Word(b, 6);
  gif.height = Word(b, 8);
  const int packed = b.at(10);
  if (!(packed & 0x80)) throw std::runtime_error("no global table");
  const int entries = 1 << ((packed & 7) + 1);
  std::size_t at = 13;
  for (int i = 0; i < entries; ++i, at += 3) gif.palette.push_back({b[at], b[at + 1], b[at + 2]});
  while (at < b.size()) {
    const int block = b.at(at++);
    if (block == 0x3B) return gif;
    if (block == 0x21) {
      const int label = b.at(at++);
      if (label == 0xF9) {
        gif.transparent = (b.at(at + 1) & 1) != 0;
        gif.transparentIndex = b.at(at + 4);
      }
      while (const int n = b.at(at++)) at += static_cast<std::size_t>(n);
    } else if (block == 0x2C) {
      ++gif.images;
      const int w = Word(b, at + 4), h = Word(b, at + 6), flags = b.at(at + 8);
      gif.localTable = (flags & 0x80) != 0;
      gif.interlaced = (flags & 0x40) != 0;
      at += 9;
      const int minCodeSize = b.at(at++);
      Bytes data;
      while (const int n = b.at(at++)) {
        data.insert(data.end(), b.begin() + static_cast<std::ptrdiff_t>(at),
                    b.begin() + static_cast<std::ptrdiff_t>(at) + n);
        at += static_cast<std::size_t>(n);
      }
      gif.image = {w, h, Unlzw(data, minCodeSize)};
    } else {
      throw std::runtime_error("unknown block");
    }
  }
  throw std::runtime_error("no trailer");
}

bool Opaque(const IndexedImage& image, int x, int y) {
  return image.at(x, y) != kTransparentIndex;
}

TEST(Chevrons, CommittedPicturesAreWhatTheGeneratorWrites) {
  const IndexedImage down = ChevronsDown();
  EXPECT_EQ(ReadFile("chevron_down.gif"), EncodeGif(down, kChevronPalette, kTransparentIndex))
      << "regenerate with zimoklas-chevrons resources";
  EXPECT_EQ(ReadFile("chevron_up.gif"),
            EncodeGif(MirrorTopToBottom(down), kChevronPalette, kTransparentIndex));
}

TEST(Chevrons, FileHoldsOneStillImageWithTheTableAndTransparency) {
  const DecodedGif gif = Decode(ReadFile("chevron_down.gif"));
  EXPECT_EQ(gif.width, 32);
  EXPECT_EQ(gif.height, 25);
  const std::vector<Rgb> table = {{85, 85, 85},    {198, 198, 198}, {141, 141, 141},
                                  {170, 170, 170}, {113, 113, 113}, {56, 56, 56},
                                  {255, 255, 255}, {0, 0, 0}};
  EXPECT_EQ(gif.palette, table);
  EXPECT_TRUE(gif.transparent);
  EXPECT_EQ(gif.transparentIndex, 6);
  EXPECT_EQ(gif.images, 1);
  EXPECT_FALSE(gif.localTable);
  EXPECT_FALSE(gif.interlaced);
  ASSERT_EQ(gif.image.pixels.size(), 32u * 25u);
  EXPECT_EQ(gif.image, ChevronsDown());
}

TEST(Chevrons, DownPictureFollowsTheDescription) {
  const IndexedImage image = Decode(ReadFile("chevron_down.gif")).image;
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 32; ++x) {
      EXPECT_NE(image.at(x, y), 7) << "black is not used, at " << x << "," << y;
      if (x < 2 || x > 29) {
        EXPECT_FALSE(Opaque(image, x, y)) << x << "," << y;
      }
      EXPECT_EQ(image.at(x, y), image.at(31 - x, y)) << "symmetric about columns 15/16";
    }
  }
  for (int top : {0, 6, 12, 18}) {
    EXPECT_TRUE(Opaque(image, 2, top) && Opaque(image, 29, top))
        << "arms of the chevron at " << top;
    EXPECT_FALSE(Opaque(image, 15, top + 2)) << "open between the arms";
  }
  for (int top : {0, 6, 12}) {
    // The narrowing point, 6 and then 2 pixels wide, lies between the next chevron's arms.
    for (int x = 10; x < 22; ++x) {
      EXPECT_EQ(Opaque(image, x, top + 6), x >= 13 && x <= 18) << x << "," << top + 6;
      EXPECT_EQ(Opaque(image, x, top + 7), x == 15 || x == 16) << x << "," << top + 7;
    }
    EXPECT_TRUE(Opaque(image, 4, top + 7)) << "the next chevron's arm";
  }
  for (int x = 2; x < 30; ++x) {
    EXPECT_EQ(Opaque(image, x, 24), x >= 13 && x <= 18) << "the cut last chevron, column " << x;
  }
  EXPECT_EQ(image.at(15, 24), 5);
  EXPECT_EQ(image.at(16, 24), 5);
  // Every shade of grey appears, the dark core most.
  std::array<int, 8> uses{};
  for (std::uint8_t p : image.pixels) ++uses[p];
  for (int i = 0; i < 6; ++i) EXPECT_GT(uses[static_cast<std::size_t>(i)], 0) << i;
  EXPECT_GT(uses[0], uses[1]);
}

TEST(Chevrons, UpPictureIsTheExactMirror) {
  const IndexedImage down = Decode(ReadFile("chevron_down.gif")).image;
  const IndexedImage up = Decode(ReadFile("chevron_up.gif")).image;
  for (int y = 0; y < 25; ++y) {
    for (int x = 0; x < 32; ++x) ASSERT_EQ(up.at(x, y), down.at(x, 24 - y)) << x << "," << y;
  }
}

TEST(Chevrons, EncoderRoundTripsThroughWideCodesAndTableResets) {
  // Noise fills the code table several times over, so the codes reach 12 bits and the
  // encoder has to start a fresh table.
  std::mt19937 random(7);
  IndexedImage noise{300, 200, {}};
  for (int i = 0; i < noise.width * noise.height; ++i) {
    noise.pixels.push_back(static_cast<std::uint8_t>(random() % 8));
  }
  EXPECT_EQ(Decode(EncodeGif(noise, kChevronPalette, 6)).image, noise);
  IndexedImage flat{64, 64, std::vector<std::uint8_t>(64 * 64, 3)};
  EXPECT_EQ(Decode(EncodeGif(flat, kChevronPalette, 6)).image, flat);
}

}  // namespace
}  // namespace zimoklas::tools

// Writes the program's 32 x 32 icon: a black square with cut corners, white snow and
// stars, a red firework burst and the yellow letters "P.F.". 8 bits a pixel with a
// 1-bit transparency mask, in the .ico format. Usage: make-icon [--check] FILE.ico
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr int kSize = 32;

enum Index : std::uint8_t { kBlack = 0, kWhite = 1, kRed = 2, kYellow = 3 };
struct Rgb {
  std::uint8_t r, g, b;
};
constexpr std::array<Rgb, 4> kPalette = {{{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {255, 255, 0}}};

struct Image {
  std::array<std::array<std::uint8_t, kSize>, kSize> index{};  // [row][column]
  std::array<std::array<bool, kSize>, kSize> transparent{};    // [row][column]
  std::array<std::array<bool, kSize>, kSize> painted{};        // guards against overlaps
};

void Paint(Image& image, int column, int row, Index colour) {
  if (column < 0 || column >= kSize || row < 0 || row >= kSize || image.transparent[row][column] ||
      image.painted[row][column]) {
    std::fprintf(stderr, "make-icon: pixel (%d, %d) is outside the square or taken\n", column, row);
    std::exit(2);
  }
  image.index[row][column] = colour;
  image.painted[row][column] = true;
}

Image Draw() {
  Image image;
  // Cut corners: the corner pixel and its two neighbours along the edges.
  for (const auto& [cx, cy, dx, dy] :
       std::array<std::array<int, 4>, 4>{{{0, 0, 1, 1},
                                          {kSize - 1, 0, -1, 1},
                                          {0, kSize - 1, 1, -1},
                                          {kSize - 1, kSize - 1, -1, -1}}}) {
    image.transparent[cy][cx] = true;
    image.transparent[cy][cx + dx] = true;
    image.transparent[cy + dy][cx] = true;
  }

  // The burst: a plus of five around its centre, four straight rays with pixels 5 and 8
  // away, four diagonal rays with pixels 2, 4 and 7 diagonal steps away.
  constexpr int bx = 20;
  constexpr int by = 13;
  for (const auto& [dx, dy] :
       std::array<std::pair<int, int>, 5>{{{0, 0}, {-1, 0}, {1, 0}, {0, -1}, {0, 1}}}) {
    Paint(image, bx + dx, by + dy, kRed);
  }
  for (const auto& [dx, dy] :
       std::array<std::pair<int, int>, 4>{{{0, -1}, {0, 1}, {-1, 0}, {1, 0}}}) {
    for (const int d : {5, 8}) Paint(image, bx + dx * d, by + dy * d, kRed);
  }
  for (const auto& [dx, dy] :
       std::array<std::pair<int, int>, 4>{{{1, -1}, {-1, -1}, {1, 1}, {-1, 1}}}) {
    for (const int d : {2, 4, 7}) Paint(image, bx + dx * d, by + dy * d, kRed);
  }

  // "P.F." in one-pixel strokes, rows 24 to 30.
  for (int row = 24; row <= 30; ++row) Paint(image, 5, row, kYellow);  // P stem
  for (int column = 6; column <= 10; ++column) {
    Paint(image, column, 24, kYellow);  // P top bar
    Paint(image, column, 27, kYellow);  // P middle bar
  }
  for (int row = 25; row <= 26; ++row) Paint(image, 10, row, kYellow);  // P bowl
  Paint(image, 11, 30, kYellow);
  for (int row = 24; row <= 30; ++row) Paint(image, 13, row, kYellow);  // F stem
  for (int column = 14; column <= 17; ++column) Paint(image, column, 24, kYellow);
  for (int column = 14; column <= 15; ++column) Paint(image, column, 27, kYellow);
  Paint(image, 18, 30, kYellow);

  // Snow and stars.
  constexpr std::array<std::pair<int, int>, 26> kStars = {{
      {3, 4},   {7, 1},   {11, 5}, {5, 9},  {9, 13},  {2, 16},  {7, 19},  {11, 22}, {15, 1},
      {10, 2},  {18, 2},  {24, 3}, {30, 6}, {28, 10}, {30, 17}, {23, 21}, {28, 24}, {21, 26},
      {25, 28}, {29, 29}, {2, 24}, {2, 29}, {14, 16}, {17, 20}, {23, 6},  {22, 31},
  }};
  for (const auto& [column, row] : kStars) Paint(image, column, row, kWhite);
  return image;
}

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFFU));
  out.push_back(static_cast<std::uint8_t>((v >> 8U) & 0xFFU));
}
void Put32(std::vector<std::uint8_t>& out, unsigned v) {
  Put16(out, v & 0xFFFFU);
  Put16(out, v >> 16U);
}

std::vector<std::uint8_t> Encode(const Image& image) {
  constexpr unsigned kHeader = 40;
  constexpr unsigned kPaletteBytes = 256 * 4;
  constexpr unsigned kPixelBytes = kSize * kSize;  // 8 bits a pixel, rows of 32 bytes
  constexpr unsigned kMaskBytes = kSize * 4;       // 1 bit a pixel, rows of 4 bytes
  constexpr unsigned kImageBytes = kHeader + kPaletteBytes + kPixelBytes + kMaskBytes;

  std::vector<std::uint8_t> out;
  // Icon directory with one entry.
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(kSize);
  out.push_back(kSize);
  out.push_back(0);  // 256 colours
  out.push_back(0);
  Put16(out, 1);  // planes
  Put16(out, 8);  // bits a pixel
  Put32(out, kImageBytes);
  Put32(out, 6 + 16);

  // Bitmap header: the height counts the colour image and the mask together.
  Put32(out, kHeader);
  Put32(out, kSize);
  Put32(out, kSize * 2);
  Put16(out, 1);
  Put16(out, 8);
  Put32(out, 0);  // uncompressed
  Put32(out, kPixelBytes + kMaskBytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 256);
  Put32(out, 0);
  for (unsigned i = 0; i < 256; ++i) {
    const Rgb c = i < kPalette.size() ? kPalette[i] : Rgb{0, 0, 0};
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
  // Rows bottom-up; transparent pixels are black in the colour image.
  for (int row = kSize - 1; row >= 0; --row) {
    for (int column = 0; column < kSize; ++column) {
      out.push_back(image.transparent[row][column] ? std::uint8_t{kBlack}
                                                   : image.index[row][column]);
    }
  }
  for (int row = kSize - 1; row >= 0; --row) {
    std::uint32_t bits = 0;
    for (int column = 0; column < kSize; ++column) {
      if (image.transparent[row][column]) bits |= 0x80000000U >> column;
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
      out.push_back(static_cast<std::uint8_t>((bits >> shift) & 0xFFU));
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::string_view(argv[1]) == "--check";
  if (argc != 2 && !check) {
    std::fprintf(stderr, "usage: make-icon [--check] FILE.ico\n");
    return 2;
  }
  const std::string path = argv[argc - 1];
  const std::vector<std::uint8_t> icon = Encode(Draw());
  if (check) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> committed{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
    if (committed != icon) {
      std::fprintf(stderr, "make-icon: %s differs from the generated icon; run make-icon %s\n",
                   path.c_str(), path.c_str());
      return 1;
    }
    return 0;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(icon.data()), static_cast<std::streamsize>(icon.size()));
  if (!out) {
    std::fprintf(stderr, "make-icon: cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}

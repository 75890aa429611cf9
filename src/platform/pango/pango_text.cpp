// Laying out, measuring and painting the scene's labels with Pango on cairo.
#include "platform/pango/pango_text.hpp"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/cluster_parts.hpp"
#include "platform/pango/pango_fonts.hpp"
#include "saver/scene_paint.hpp"

namespace zimoklas::pango {
namespace {

// Pango keeps positions in 32-bit units of 1/1024 pixel, so one layout must stay far
// below two million pixels wide. A longer line is laid out in pieces of at most about
// this many pixels (an advance is at most about two ems), placed side by side.
constexpr double kPiecePixels = 250000;
// Room for the longest part of a cluster (four bytes a character).
constexpr std::size_t kMinPieceBytes = 4 * kMaxClusterChars;
constexpr std::size_t kMaxPieceBytes = 4096;
// Lines kept with their pieces' widths: enough for each label's current and last text.
constexpr std::size_t kCachedLines = 2 * saver::kLabelCount;

double ToPixels(int pangoUnits) {
  return static_cast<double>(pangoUnits) / PANGO_SCALE;
}

struct Font {
  std::string face;
  float points = 0;
  bool bold = false;
  PangoFontDescription* description = nullptr;
};

struct Piece {
  std::size_t start = 0;
  std::size_t length = 0;
  double width = 0;
};

struct Line {
  std::size_t font = 0;
  std::string source;  // the text as asked for
  std::string text;    // the same as valid UTF-8
  std::vector<Piece> pieces;
  bool rightToLeft = false;
  double width = 0;
  double height = 0;
  std::uint64_t lastUse = 0;
};

// Byte ranges of at most `limit` bytes that end on character boundaries outside
// clusters; one range for a short text. A cluster longer than kMaxClusterChars (a letter
// under thousands of marks, a chain of joiners) is cut into its parts, so that no piece
// costs the shaper more than a short text does.
void SplitIntoPieces(const std::string& text, std::size_t limit, std::vector<Piece>& pieces) {
  pieces.clear();
  const char* begin = text.c_str();
  const char* end = begin + text.size();
  std::size_t start = 0;     // where the current piece starts
  std::size_t boundary = 0;  // the last place after `start` where it may end, else `start`
  ClusterParts parts;
  for (const char* p = begin; p < end; p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char(p);
    if (parts.Next(c, g_unichar_ismark(c) != FALSE) != ClusterParts::Step::Continues) {
      boundary = static_cast<std::size_t>(p - begin);
    }
    // A cluster's part fits in any piece, so there is always a boundary to end one at.
    if (static_cast<std::size_t>(g_utf8_next_char(p) - begin) - start > limit && boundary > start) {
      pieces.push_back({start, boundary - start, 0});
      start = boundary;
    }
  }
  if (start < text.size()) pieces.push_back({start, text.size() - start, 0});
}

}  // namespace

struct SceneText::Impl {
  explicit Impl(float dpi)
      : dpi(dpi), context(pango_font_map_create_context(pango_cairo_font_map_get_default())) {
    // The same look on every surface: grey antialiasing (no colour fringes on the
    // labels' pure colours) and advances in whole pixels.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    layout = pango_layout_new(context);
    lines.reserve(kCachedLines);
    // A label is one line: a line break in its text shows as a glyph.
    pango_layout_set_single_paragraph_mode(layout, TRUE);
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    for (const Font& f : fonts) pango_font_description_free(f.description);
    g_object_unref(layout);
    g_object_unref(context);
  }

  std::size_t FontIndex(const FontDesign& design) {
    for (std::size_t i = 0; i < fonts.size(); ++i) {
      const Font& f = fonts[i];
      if (f.face == design.face && f.points == design.points && f.bold == design.bold) return i;
    }
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, FamilyFor(design.face));
    pango_font_description_set_weight(description,
                                      design.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    const double em = std::max(1.0, static_cast<double>(design.EmPixels(dpi)));
    pango_font_description_set_absolute_size(description, em * PANGO_SCALE);
    fonts.push_back({std::string(design.face), design.points, design.bold, description});
    return fonts.size() - 1;
  }

  // Lays out one piece of a line; `whole` lets Pango find the text's direction itself.
  void Lay(const Line& line, const Piece& piece, bool whole) {
    pango_context_set_base_dir(context,
                               line.rightToLeft ? PANGO_DIRECTION_RTL : PANGO_DIRECTION_LTR);
    pango_layout_context_changed(layout);
    pango_layout_set_auto_dir(layout, whole ? TRUE : FALSE);
    pango_layout_set_font_description(layout, fonts[line.font].description);
    pango_layout_set_text(layout, line.text.c_str() + piece.start, static_cast<int>(piece.length));
  }

  PangoRectangle Logical() const {
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    return logical;
  }

  const Line& LineFor(const FontDesign& design, std::string_view utf8) {
    const std::size_t font = FontIndex(design);
    ++uses;
    for (Line& line : lines) {
      if (line.font == font && line.source == utf8) {
        line.lastUse = uses;
        return line;
      }
    }
    // A new line takes a free slot or the least recently used one, and its buffers: the
    // clock's line, renewed every second, then allocates nothing.
    Line& line =
        lines.size() < kCachedLines
            ? lines.emplace_back()
            : *std::min_element(lines.begin(), lines.end(),
                                [](const Line& a, const Line& b) { return a.lastUse < b.lastUse; });
    line.font = font;
    line.source.assign(utf8);
    if (g_utf8_validate(utf8.data(), static_cast<gssize>(utf8.size()), nullptr) != FALSE) {
      line.text.assign(utf8);
    } else {
      gchar* valid = g_utf8_make_valid(utf8.data(), static_cast<gssize>(utf8.size()));
      line.text.assign(valid);
      g_free(valid);
    }
    line.lastUse = uses;
    line.rightToLeft = false;
    line.width = 0;
    line.height = 0;

    const double em = std::max(1.0, static_cast<double>(design.EmPixels(dpi)));
    const auto limit = std::clamp(static_cast<std::size_t>(kPiecePixels / (2 * em)), kMinPieceBytes,
                                  kMaxPieceBytes);
    SplitIntoPieces(line.text, limit, line.pieces);
    if (line.pieces.empty()) {
      Lay(line, Piece{}, true);
      line.height = ToPixels(Logical().height);
    } else if (line.pieces.size() > 1) {
      // The first piece tells the direction in which the pieces follow each other.
      Lay(line, line.pieces.front(), true);
      line.rightToLeft =
          pango_layout_get_line_readonly(layout, 0)->resolved_dir == PANGO_DIRECTION_RTL;
    }
    const bool whole = line.pieces.size() == 1;
    const Piece* previous = nullptr;
    for (Piece& piece : line.pieces) {
      // A piece like the one before it (the parts of a cut cluster) has its width.
      const std::string_view text(line.text.c_str() + piece.start, piece.length);
      if (previous != nullptr &&
          text == std::string_view(line.text.c_str() + previous->start, previous->length)) {
        piece.width = previous->width;
      } else {
        Lay(line, piece, whole);
        const PangoRectangle logical = Logical();
        piece.width = ToPixels(logical.width);
        line.height = std::max(line.height, ToPixels(logical.height));
      }
      line.width += piece.width;
      previous = &piece;
    }
    return line;
  }

  float dpi;
  PangoContext* context;
  PangoLayout* layout = nullptr;  // reused for every piece laid out
  std::vector<Font> fonts;
  std::vector<Line> lines;
  std::uint64_t uses = 0;
};

PixelBox PixelsOnSurface(const RectF& area, int width, int height) {
  // Computed in double precision and clamped before any conversion, so that a line
  // millions of pixels wide keeps to the surface.
  const auto clamp = [](float v, int limit) {
    return static_cast<int>(std::clamp(static_cast<double>(v), 0.0, static_cast<double>(limit)));
  };
  const RectF outer = CoveredPixels(area);
  PixelBox box{clamp(outer.left, width), clamp(outer.top, height), clamp(outer.right(), width),
               clamp(outer.bottom(), height)};
  if (box.empty()) return {};
  return box;
}

SceneText::SceneText(float dpi) : impl_(std::make_unique<Impl>(dpi)) {}

SceneText::~SceneText() = default;

SizeF SceneText::Measure(const FontDesign& font, std::string_view utf8) {
  const Line& line = impl_->LineFor(font, utf8);
  return {static_cast<float>(line.width), static_cast<float>(line.height)};
}

void SceneText::Paint(cairo_t* cairo, const PixelBox& area, const saver::Form1& form, bool black) {
  // Draws the labels the core's repaint hands over with cairo, piece by piece.
  class Painter final : public saver::ScenePainter {
   public:
    Painter(cairo_t* cairo, Impl& impl, bool black) : cairo_(cairo), impl_(impl), black_(black) {}
    void FillBlack(const PixelBox& area) override {
      cairo_rectangle(cairo_, area.left, area.top, area.width(), area.height());
      cairo_clip(cairo_);
      if (black_) return;
      cairo_set_source_rgb(cairo_, 0, 0, 0);
      cairo_paint(cairo_);
    }
    void DrawLabel(const saver::LabelToPaint& label, const PixelBox& area) override {
      const Line& line = impl_.LineFor(*label.font, label.caption);
      cairo_set_source_rgb(cairo_, RedOf(label.colour) / 255.0, GreenOf(label.colour) / 255.0,
                           BlueOf(label.colour) / 255.0);
      double offset = 0;
      for (const Piece& piece : line.pieces) {
        const double x =
            line.rightToLeft ? label.left + line.width - offset - piece.width : label.left + offset;
        offset += piece.width;
        // Only the pieces on the area are laid out again and drawn.
        if (x >= area.right || x + piece.width <= area.left) continue;
        impl_.Lay(line, piece, line.pieces.size() == 1);
        const PangoRectangle logical = impl_.Logical();
        cairo_move_to(cairo_, x - ToPixels(logical.x), label.top - ToPixels(logical.y));
        pango_cairo_show_layout(cairo_, impl_.layout);
      }
    }

   private:
    cairo_t* cairo_;
    Impl& impl_;
    bool black_;
  };
  cairo_save(cairo);
  Painter painter(cairo, *impl_, black);
  saver::RepaintScene(form, area, painter);
  cairo_restore(cairo);
}

}  // namespace zimoklas::pango

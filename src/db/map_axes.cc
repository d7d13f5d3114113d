// The margins, labels, colour bar and marks of the sky map, and its colour scale.
#include "db/map_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include <stb_easy_font.h>

namespace ucac2 {
namespace {

constexpr int kChannels = 3;
constexpr int kGridShare = 64;   // of 256: how much a grid line lightens a pixel
constexpr int kHourLabels = 12;  // every 2 hours
constexpr int kDecLabels = 6;    // every 30 degrees
constexpr int kHoursPerLabel = 24 / kHourLabels;
constexpr int kDegreesPerLabel = 180 / kDecLabels;

// The margins and their rows, in pixels of the font (times the layout's text scale).
constexpr int kFontPixelsPerScale = 500;  // plot pixels that raise the text scale by one
constexpr int kLeftMargin = 32;
constexpr int kRightMargin = 16;
constexpr int kTopMargin = 20;
constexpr int kBottomMargin = 54;
constexpr int kTick = 3;
constexpr int kGlyphHeight = 7;
constexpr int kRaLabelRow = 5;  // below the plot
constexpr int kCaptionRow = 16;
constexpr int kBarRow = 29;
constexpr int kBarHeight = 8;
constexpr int kBarLabelRow = kBarRow + kBarHeight + kTick + 2;
constexpr int kTitleRow = 6;  // below the top edge
constexpr int kGap = 6;
constexpr int kMarkPlotPixels = 160;  // plot pixels per pixel of a mark's radius
constexpr int kMinMarkRadius = 3;
constexpr int kVerticesPerQuad = 4;
constexpr int kVertexBytes = 16;         // x, y, z as floats, then 4 colour bytes
constexpr int kBytesPerCharacter = 300;  // more than stb_easy_font draws for any character

constexpr std::uint8_t kBackground[3] = {255, 255, 255};
constexpr std::uint8_t kInk[3] = {30, 30, 30};
constexpr std::uint8_t kMarkColour[3] = {80, 255, 80};

struct Rgb {
  double r, g, b;
};

// The colour scale, from one star per pixel to the densest; an empty pixel is black.
constexpr Rgb kScale[] = {
    {25, 12, 70}, {90, 25, 140}, {190, 55, 100}, {245, 140, 40}, {255, 250, 200}};

std::uint8_t Channel(double value, bool grid) {
  const int level = static_cast<int>(std::lround(value));
  const int lit = grid ? level + ((255 - level) * kGridShare) / 256 : level;
  return static_cast<std::uint8_t>(std::clamp(lit, 0, 255));
}

void Put(Canvas& canvas, int x, int y, const std::uint8_t* colour) {
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return;
  std::copy_n(colour, kChannels, PixelAt(canvas, x, y));
}

void Fill(Canvas& canvas, int x0, int y0, int x1, int y1, const std::uint8_t* colour) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) Put(canvas, x, y, colour);
  }
}

int TextWidth(const std::string& text, int scale) {
  std::string copy = text;  // stb_easy_font takes a mutable string
  return stb_easy_font_width(copy.data()) * scale;
}

// Draws `text` with its top left corner at (x, y), each font pixel `scale` pixels square.
void DrawText(Canvas& canvas, int x, int y, const std::string& text, int scale) {
  std::string copy = text;
  std::vector<unsigned char> vertices((text.size() + 1) * kBytesPerCharacter);
  unsigned char colour[4] = {kInk[0], kInk[1], kInk[2], 255};
  const int quads = stb_easy_font_print(0, 0, copy.data(), colour, vertices.data(),
                                        static_cast<int>(vertices.size()));
  for (int q = 0; q < quads; ++q) {
    float corner[2][2];  // the first and the third vertex: opposite corners
    const std::size_t first = static_cast<std::size_t>(q) * kVerticesPerQuad * kVertexBytes;
    std::copy_n(vertices.data() + first, sizeof corner[0],
                reinterpret_cast<unsigned char*>(corner[0]));
    std::copy_n(vertices.data() + first + std::size_t{2} * kVertexBytes, sizeof corner[1],
                reinterpret_cast<unsigned char*>(corner[1]));
    const auto at = [&](float v) {
      return static_cast<int>(std::lround(v * static_cast<float>(scale)));
    };
    Fill(canvas, x + at(corner[0][0]), y + at(corner[0][1]), x + at(corner[1][0]),
         y + at(corner[1][1]), kInk);
  }
}

// A small ring at the top right of (x, y): the degree sign, which the font lacks.
void DrawDegreeSign(Canvas& canvas, int x, int y, int scale) {
  Fill(canvas, x, y, x + 3 * scale, y + 3 * scale, kInk);
  Fill(canvas, x + scale, y + scale, x + 2 * scale, y + 2 * scale, kBackground);
}

// The thousands of a count set apart: 12,345.
std::string Grouped(std::int64_t n) {
  std::string digits = std::to_string(n);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

// The round counts up to `densest` that label the bar: the powers of ten, or with 2 and 5
// times them as well when there are fewer than three.
std::vector<std::uint32_t> BarLabels(std::uint32_t densest) {
  std::vector<std::uint32_t> powers, steps;
  for (std::uint64_t p = 1; p <= densest; p *= 10) {
    for (std::uint64_t step : {p, 2 * p, 5 * p})
      if (step <= densest) steps.push_back(static_cast<std::uint32_t>(step));
    powers.push_back(static_cast<std::uint32_t>(p));
  }
  if (steps.empty()) return {1};  // an empty map: the bar shows one star per pixel
  return powers.size() >= 3 ? powers : steps;
}

void DrawColourBar(Canvas& canvas, const MapLayout& layout, const MapDecor& decor,
                   std::uint32_t densest) {
  const int s = layout.text_scale;
  const int x0 = layout.plot_x + layout.plot_width / 4;
  const int width = std::max(layout.plot_width / 2, 2);
  const int y0 = layout.plot_y + layout.plot_height + kBarRow * s;
  const double top = ScaleTop(densest);
  const double low = ScaleAt(1, top);
  const double span = 1.0 - low;
  for (int x = 0; x < width; ++x) {
    std::uint8_t colour[3];
    ScalePixel(low + span * x / (width - 1), false, colour);
    Fill(canvas, x0 + x, y0, x0 + x + 1, y0 + kBarHeight * s, colour);
  }
  int free_from = x0 - width;  // where the next label may begin, so that none overlap
  for (std::uint32_t count : BarLabels(densest)) {
    const int x =
        x0 + (span > 0
                  ? static_cast<int>(std::lround((ScaleAt(count, top) - low) / span * (width - 1)))
                  : 0);
    const std::string text = Grouped(count);
    const int left = x - TextWidth(text, s) / 2;
    if (left < free_from) continue;
    Fill(canvas, x, y0 + kBarHeight * s, x + std::max(1, s / 2), y0 + (kBarHeight + kTick) * s,
         kInk);
    DrawText(canvas, left, layout.plot_y + layout.plot_height + kBarLabelRow * s, text, s);
    free_from = left + TextWidth(text, s) + kGap * s;
  }
  const std::string caption = "stars per pixel";
  const int middle = y0 + (kBarHeight - kGlyphHeight) * s / 2;
  DrawText(canvas, x0 - kGap * s - TextWidth(caption, s), middle, caption, s);
  if (decor.supplement) {
    const int x = x0 + width + kGap * s;
    Fill(canvas, x, y0, x + kBarHeight * s, y0 + kBarHeight * s, kSupplementColour);
    DrawText(canvas, x + (kBarHeight + kGap / 2) * s, middle, "supplement stars", s);
  }
}

}  // namespace

MapLayout LayoutMap(int plot_width, bool labels) {
  MapLayout layout;
  layout.plot_width = plot_width;
  layout.plot_height = plot_width / 2;
  if (labels) {
    const int s = std::max(1, (plot_width + kFontPixelsPerScale / 2) / kFontPixelsPerScale);
    layout.text_scale = s;
    layout.plot_x = kLeftMargin * s;
    layout.plot_y = kTopMargin * s;
    layout.width = layout.plot_width + (kLeftMargin + kRightMargin) * s;
    layout.height = layout.plot_height + (kTopMargin + kBottomMargin) * s;
  } else {
    layout.width = layout.plot_width;
    layout.height = layout.plot_height;
  }
  return layout;
}

Canvas MapCanvas(const MapLayout& layout) {
  return MakeCanvas(layout.width, layout.height, kBackground);
}

void ScalePixel(double t, bool grid, std::uint8_t* rgb) {
  Rgb colour{0, 0, 0};
  if (t > 0) {
    constexpr int kSteps = static_cast<int>(std::size(kScale)) - 1;
    const double at = std::min(t, 1.0) * kSteps;
    const int step = std::min(static_cast<int>(at), kSteps - 1);
    const double f = at - step;
    const Rgb& a = kScale[step];
    const Rgb& b = kScale[step + 1];
    colour = {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
  }
  rgb[0] = Channel(colour.r, grid);
  rgb[1] = Channel(colour.g, grid);
  rgb[2] = Channel(colour.b, grid);
}

double ScaleTop(std::uint32_t densest) {
  return std::log1p(static_cast<double>(std::max<std::uint32_t>(densest, 1)));
}

double ScaleAt(double count, double top) { return std::log1p(count) / top; }

std::string MapTitle(bool catalog, const std::string& folder, std::int64_t stars) {
  return std::string("Star density of ") + (catalog ? "catalog " : "database ") + folder + ": " +
         Grouped(stars) + (stars == 1 ? " star" : " stars");
}

void DrawMargins(Canvas& canvas, const MapLayout& layout, const MapDecor& decor,
                 std::uint32_t densest) {
  const int s = layout.text_scale;
  const int left = layout.plot_x, top = layout.plot_y;
  const int right = left + layout.plot_width, bottom = top + layout.plot_height;
  Fill(canvas, left - 1, top - 1, right + 1, top, kInk);  // the frame
  Fill(canvas, left - 1, bottom, right + 1, bottom + 1, kInk);
  Fill(canvas, left - 1, top, left, bottom, kInk);
  Fill(canvas, right, top, right + 1, bottom, kInk);
  for (int k = 0; k <= kHourLabels; ++k) {  // 24h at the left edge to 0h at the right
    const int x = left + k * layout.plot_width / kHourLabels;
    Fill(canvas, x, bottom, x + 1, bottom + kTick * s, kInk);
    const std::string text = std::to_string(24 - k * kHoursPerLabel) + "h";
    DrawText(canvas, x - TextWidth(text, s) / 2, bottom + kRaLabelRow * s, text, s);
  }
  for (int k = 0; k <= kDecLabels; ++k) {  // +90 at the top to -90 at the bottom
    const int y = top + k * layout.plot_height / kDecLabels;
    Fill(canvas, left - kTick * s, y, left, y + 1, kInk);
    const int degrees = 90 - k * kDegreesPerLabel;
    const std::string text = (degrees > 0 ? "+" : "") + std::to_string(degrees);
    const int x = left - (kTick + 5) * s - TextWidth(text, s);
    DrawText(canvas, x, y - kGlyphHeight * s / 2, text, s);
    DrawDegreeSign(canvas, left - (kTick + 4) * s, y - kGlyphHeight * s / 2, s);
  }
  DrawText(canvas, s, kTitleRow * s, "Dec", s);
  const std::string caption = "right ascension";
  DrawText(canvas, left + (layout.plot_width - TextWidth(caption, s)) / 2, bottom + kCaptionRow * s,
           caption, s);
  DrawText(canvas, left + std::max(0, (layout.plot_width - TextWidth(decor.title, s)) / 2),
           kTitleRow * s, decor.title, s);
  DrawColourBar(canvas, layout, decor, densest);
}

void DrawMark(Canvas& canvas, const MapLayout& layout, int x, int y) {
  const int radius = std::max(kMinMarkRadius, layout.plot_width / kMarkPlotPixels);
  const double half_width = radius >= 2 * kMinMarkRadius ? 1.0 : 0.5;
  for (int dy = -radius - 1; dy <= radius + 1; ++dy) {
    for (int dx = -radius - 1; dx <= radius + 1; ++dx) {
      const int px = x + dx, py = y + dy;
      if (std::abs(std::hypot(dx, dy) - radius) > half_width || px < 0 || py < 0 ||
          px >= layout.plot_width || py >= layout.plot_height)
        continue;
      Put(canvas, layout.plot_x + px, layout.plot_y + py, kMarkColour);
    }
  }
}

}  // namespace ucac2

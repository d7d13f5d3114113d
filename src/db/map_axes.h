// What turns the density plot into a chart a reader can take in: the margins around the plot
// with the axes' labels, the colour bar of the logarithmic scale, the title line, and marks
// on the plot; text drawn with stb_easy_font.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/png_encode.h"

namespace ucac2 {

/// Where the plot stands in the picture, and the size of the picture around it.
struct MapLayout {
  int width = 0;
  int height = 0;
  int plot_x = 0;
  int plot_y = 0;
  int plot_width = 0;
  int plot_height = 0;
  int text_scale = 1;  // screen pixels per pixel of the font
};

/// A marked position on the sky in milliarcseconds.
struct MapMark {
  std::int32_t ra = 0;
  std::int32_t dec = 0;
};

/// What the picture shows besides the density.
struct MapDecor {
  bool labels = true;  // false: the bare plot, no margins
  std::string title;
  std::vector<MapMark> marks;
  bool supplement = false;  // supplement stars drawn apart, in their own colour
};

inline constexpr std::uint8_t kSupplementColour[3] = {60, 220, 255};

/// The layout of a map whose plot is `plot_width` x `plot_width / 2` pixels.
MapLayout LayoutMap(int plot_width, bool labels);

/// A canvas of the layout's size, filled with the margins' background.
Canvas MapCanvas(const MapLayout& layout);

/// The colour of a pixel at `t` (0..1) of the density scale, lightened on a grid line.
void ScalePixel(double t, bool grid, std::uint8_t* rgb);

/// The top of the density scale of a map whose densest pixel holds `densest` stars.
double ScaleTop(std::uint32_t densest);

/// Where `count` stars stand on the scale whose top is `top` (0 for an empty pixel).
double ScaleAt(double count, double top);

/// The default title: "Star density of database DIR: N stars" (or "catalog DIR").
std::string MapTitle(bool catalog, const std::string& folder, std::int64_t stars);

/// Draws the frame, the right-ascension and declination labels, the title and the colour
/// bar (counts 1 .. `densest`, labelled with round numbers) in the layout's margins.
void DrawMargins(Canvas& canvas, const MapLayout& layout, const MapDecor& decor,
                 std::uint32_t densest);

/// Draws a small circle on the plot around the pixel (x, y) of the plot.
void DrawMark(Canvas& canvas, const MapLayout& layout, int x, int y);

}  // namespace ucac2

// PNG encoding of a picture held as PNG scanlines, filtered in place so that the picture is
// never copied: the map's memory stays near one picture and its compressed bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ucac2 {

/// An RGB picture as PNG scanlines: each row a filter-type byte, then width x 3 bytes.
struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rows;
};

/// A canvas of `width` x `height` pixels, every one `colour`.
Canvas MakeCanvas(int width, int height, const std::uint8_t* colour);

/// The three bytes of pixel (x, y), which must lie on the canvas.
std::uint8_t* PixelAt(Canvas& canvas, int x, int y);

/// Where the encoding's bytes go, in order; false stops it.
using PngSinkFunction = bool (*)(void* context, const std::uint8_t* bytes, std::size_t size);

/// Encodes the canvas as PNG at zlib `level`, handing the bytes to `sink`. The canvas's rows
/// are filtered in place and unusable afterwards. False when compressing or the sink fails.
bool EncodePng(Canvas& canvas, int level, PngSinkFunction sink, void* context);

}  // namespace ucac2

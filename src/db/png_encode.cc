// PNG by hand around stb_image_write's deflate: rows filtered in place (each by the one of
// PNG's five filters whose bytes sum smallest, as stb does), one IDAT chunk, CRCs computed here.
#include "db/png_encode.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace ucac2 {
namespace {

constexpr int kChannels = 3;
constexpr int kFilters = 5;  // none, sub, up, average, Paeth
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kHeaderSize = 13;
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kTrueColour = 2;
constexpr std::uint32_t kCrcPolynomial = 0xEDB88320;

std::size_t Stride(int width) { return 1 + static_cast<std::size_t>(width) * kChannels; }

std::array<std::uint32_t, 256> CrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? kCrcPolynomial ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

std::uint32_t Crc(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = CrcTable();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void StoreBE32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Filter F of PNG's five applied to `size` bytes of `row` into `out`, against the raw row
// `above` (zeros for the first row); returns the sum of the filtered bytes as signed, the
// cost by which the filter is chosen. One loop per filter, so that none tests F per byte.
template <int F>
long FilterWith(const std::uint8_t* row, const std::uint8_t* above, std::size_t size,
                std::uint8_t* out) {
  long cost = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const int a = i >= kChannels ? row[i - kChannels] : 0;
    const int b = above[i];
    const int c = i >= kChannels ? above[i - kChannels] : 0;
    int predicted = 0;
    if constexpr (F == 1) predicted = a;
    if constexpr (F == 2) predicted = b;
    if constexpr (F == 3) predicted = (a + b) / 2;
    if constexpr (F == 4) predicted = Paeth(a, b, c);
    out[i] = static_cast<std::uint8_t>(row[i] - predicted);
    cost += std::abs(static_cast<int>(static_cast<std::int8_t>(out[i])));
  }
  return cost;
}

// Filters the row at `row` (its bytes after the filter byte) against the raw row above with
// each filter, and keeps the cheapest in place; the first one wins a tie.
void FilterRow(std::uint8_t* row, const std::uint8_t* above, std::size_t size,
               std::vector<std::uint8_t>& trial) {
  std::uint8_t* out = trial.data();
  const long costs[kFilters] = {FilterWith<0>(row, above, size, out),
                                FilterWith<1>(row, above, size, out + size),
                                FilterWith<2>(row, above, size, out + 2 * size),
                                FilterWith<3>(row, above, size, out + 3 * size),
                                FilterWith<4>(row, above, size, out + 4 * size)};
  const int best = static_cast<int>(std::min_element(costs, costs + kFilters) - costs);
  std::copy_n(out + static_cast<std::size_t>(best) * size, size, row);
  row[-1] = static_cast<std::uint8_t>(best);
}

bool Chunk(const char* type, const std::uint8_t* data, std::size_t size, PngSinkFunction sink,
           void* context) {
  std::uint8_t head[8];
  StoreBE32(head, static_cast<std::uint32_t>(size));
  std::memcpy(head + 4, type, 4);
  std::uint8_t tail[4];
  StoreBE32(tail, Crc(Crc(0, head + 4, 4), data, size));
  return sink(context, head, sizeof head) && (size == 0 || sink(context, data, size)) &&
         sink(context, tail, sizeof tail);
}

}  // namespace

Canvas MakeCanvas(int width, int height, const std::uint8_t* colour) {
  Canvas canvas;
  canvas.width = width;
  canvas.height = height;
  canvas.rows.resize(Stride(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) std::copy_n(colour, kChannels, PixelAt(canvas, x, y));
  }
  return canvas;
}

std::uint8_t* PixelAt(Canvas& canvas, int x, int y) {
  return canvas.rows.data() + static_cast<std::size_t>(y) * Stride(canvas.width) + 1 +
         static_cast<std::size_t>(x) * kChannels;
}

bool EncodePng(Canvas& canvas, int level, PngSinkFunction sink, void* context) {
  const std::size_t stride = Stride(canvas.width);
  std::vector<std::uint8_t> trial((stride - 1) * kFilters);
  const std::vector<std::uint8_t> zeros(stride - 1, 0);  // above the first row
  // From the last row up, so that the row above each one is still raw when it is filtered.
  for (int y = canvas.height - 1; y >= 0; --y) {
    std::uint8_t* row = canvas.rows.data() + static_cast<std::size_t>(y) * stride + 1;
    FilterRow(row, y > 0 ? row - stride : zeros.data(), stride - 1, trial);
  }
  std::vector<std::uint8_t>().swap(trial);
  int size = 0;
  unsigned char* deflated =
      stbi_zlib_compress(canvas.rows.data(), static_cast<int>(canvas.rows.size()), &size, level);
  if (deflated == nullptr) return false;
  std::uint8_t header[kHeaderSize] = {};
  StoreBE32(header, static_cast<std::uint32_t>(canvas.width));
  StoreBE32(header + 4, static_cast<std::uint32_t>(canvas.height));
  header[8] = kBitDepth;
  header[9] = kTrueColour;  // compression, filter method and interlace all 0
  const bool written = sink(context, kSignature, sizeof kSignature) &&
                       Chunk("IHDR", header, sizeof header, sink, context) &&
                       Chunk("IDAT", deflated, static_cast<std::size_t>(size), sink, context) &&
                       Chunk("IEND", nullptr, 0, sink, context);
  STBIW_FREE(deflated);
  return written;
}

}  // namespace ucac2

// Counting stars into the density map, painting it with its margins and writing it as PNG
// through the platform's files.
#include "db/sky_map.h"

#include <algorithm>
#include <cmath>

#include "base/catalog_files.h"
#include "base/file.h"
#include "base/paths.h"
#include "base/sky.h"
#include "base/star_record.h"
#include "db/open_zone_file.h"

namespace ucac2 {
namespace {

constexpr std::size_t kReadEntries = 5461;  // just under 256 KiB of entries a read
constexpr std::size_t kReadRecords = 5957;  // just under 256 KiB of records a read
constexpr int kChannels = 3;
constexpr int kPngLevel = 4;    // of zlib's 1..9: fast, and the noise would gain little more
constexpr int kHourLines = 12;  // every 2 hours
constexpr int kDecLines = 6;    // every 30 degrees

struct PngSink {
  File file;
  bool failed = false;
};

bool WritePng(void* context, const std::uint8_t* bytes, std::size_t size) {
  auto& sink = *static_cast<PngSink*>(context);
  if (!sink.failed && !WriteBytes(sink.file, bytes, size)) sink.failed = true;
  return !sink.failed;
}

}  // namespace

SkyMap MakeSkyMap(int width, bool supplement) {
  SkyMap map;
  map.width = width;
  map.height = width / 2;
  const std::size_t pixels =
      static_cast<std::size_t>(map.width) * static_cast<std::size_t>(map.height);
  map.counts.assign(pixels, 0);
  if (supplement) map.supplement.assign(pixels, false);
  return map;
}

bool SkyPixel(int width, std::int32_t ra, std::int32_t dec, int* x, int* y) {
  if (ra < 0 || ra >= kFullCircleMas || dec < -kPoleMas || dec > kPoleMas) return false;
  const int height = width / 2;
  *x = static_cast<int>(width - 1 - std::int64_t{ra} * width / kFullCircleMas);
  const std::int64_t row = (std::int64_t{kPoleMas} - dec) * height / (2 * std::int64_t{kPoleMas});
  *y = static_cast<int>(std::min<std::int64_t>(row, height - 1));  // the south pole itself
  return true;
}

void CountStar(SkyMap& map, std::int32_t ra, std::int32_t dec, bool supplement_star) {
  int x = 0, y = 0;
  if (!SkyPixel(map.width, ra, dec, &x, &y)) return;
  ++map.stars;
  const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(map.width) +
                         static_cast<std::size_t>(x);
  if (supplement_star && !map.supplement.empty()) {
    map.supplement[at] = true;
  } else {
    ++map.counts[at];
  }
}

bool CountDatabase(SkyMap& map, const std::string& db, Findings& findings) {
  std::vector<std::uint8_t> buffer(kReadEntries * kEntrySize);
  for (int hour = 0; hour < kHourZones; ++hour) {
    const std::string path = ZoneFilePath(db, hour);
    File file;
    ZoneHead head;
    if (!OpenZoneFile(path.c_str(), &file, &head, findings)) return false;
    // The blocks follow the head one after another: the whole rest of the file is entries.
    auto left = static_cast<std::size_t>(head.hour_count);
    while (left > 0) {
      const std::size_t count = std::min(left, kReadEntries);
      const std::size_t size = count * kEntrySize;
      if (ReadBytes(file, buffer.data(), size) != static_cast<std::int64_t>(size)) {
        Report(findings, path.c_str(), "cannot be read");
        return false;
      }
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = buffer.data() + i * kEntrySize;
        const std::uint8_t* record = entry + kIdentifierSize;
        CountStar(map, LoadLE32(record + kRightAscensionOffset),
                  LoadLE32(record + kDeclinationOffset),
                  LoadLE32(entry) >= kFirstSupplementIdentifier);
      }
      left -= count;
    }
  }
  return true;
}

bool CountCatalog(SkyMap& map, const std::string& catalog, Findings& findings) {
  std::vector<std::uint8_t> buffer(kReadRecords * kRecordSize);
  for (int n = 1; n <= kCatalogFiles; ++n) {
    const std::string path = JoinPath(catalog, CatalogFileAt(n).name);
    File file = OpenForReading(path.c_str());
    if (!file.is_open()) {
      Note("%s: missing or unreadable, shown as an empty strip", path.c_str());
      continue;
    }
    for (;;) {
      const std::int64_t got = ReadBytes(file, buffer.data(), buffer.size());
      if (got < 0) {
        Report(findings, path.c_str(), "cannot be read");
        return false;
      }
      // A piece of a record at the end counts nothing.
      const auto records = static_cast<std::size_t>(got) / kRecordSize;
      for (std::size_t i = 0; i < records; ++i) {
        const std::uint8_t* record = buffer.data() + i * kRecordSize;
        CountStar(map, LoadLE32(record + kRightAscensionOffset),
                  LoadLE32(record + kDeclinationOffset), n > kMainFiles);
      }
      if (static_cast<std::size_t>(got) < buffer.size()) break;
    }
  }
  return true;
}

bool WriteSkyMap(SkyMap& map, const std::string& path, const MapDecor& decor, Findings& findings) {
  const std::uint32_t densest =
      map.counts.empty() ? 0 : *std::max_element(map.counts.begin(), map.counts.end());
  std::vector<bool> grid_column(static_cast<std::size_t>(map.width), false);
  std::vector<bool> grid_row(static_cast<std::size_t>(map.height), false);
  for (int k = 1; k < kHourLines; ++k)
    grid_column[static_cast<std::size_t>(k * map.width / kHourLines)] = true;
  for (int k = 1; k < kDecLines; ++k)
    grid_row[static_cast<std::size_t>(k * map.height / kDecLines)] = true;
  const MapLayout layout = LayoutMap(map.width, decor.labels);
  Canvas canvas = MapCanvas(layout);
  for (int y = 0; y < map.height; ++y) {
    std::uint8_t* row = PixelAt(canvas, layout.plot_x, layout.plot_y + y);
    for (int x = 0; x < map.width; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(map.width) +
                             static_cast<std::size_t>(x);
      std::uint8_t* pixel = row + static_cast<std::size_t>(x) * kChannels;
      if (!map.supplement.empty() && map.supplement[at]) {
        std::copy(kSupplementColour, kSupplementColour + kChannels, pixel);
        continue;
      }
      const bool grid =
          grid_column[static_cast<std::size_t>(x)] || grid_row[static_cast<std::size_t>(y)];
      ScalePixel(ScaleAt(map.counts[at], densest), grid, pixel);
    }
  }
  for (const SkyPosition& mark : decor.marks) {
    int x = 0, y = 0;
    if (SkyPixel(map.width, mark.ra, mark.dec, &x, &y)) DrawMark(canvas, layout, x, y);
  }
  if (decor.labels) DrawMargins(canvas, layout, decor, densest);
  std::vector<std::uint32_t>().swap(map.counts);
  std::vector<bool>().swap(map.supplement);
  PngSink sink;
  if (CreateEmptyFile(path.c_str())) sink.file = OpenForAppending(path.c_str());
  if (!sink.file.is_open()) {
    Report(findings, path.c_str(), "cannot be created");
    return false;
  }
  if (!EncodePng(canvas, kPngLevel, WritePng, &sink) || sink.failed) {
    Report(findings, path.c_str(), "cannot be written");
    return false;
  }
  return true;
}

}  // namespace ucac2

// Counting stars into the density map, painting it with its margins and writing it as PNG
// through the platform's files.
#include "db/sky_map.h"

#include <algorithm>
#include <cmath>

#include "base/always_inline.h"
#include "base/catalog_files.h"
#include "base/file.h"
#include "base/paths.h"
#include "base/sky.h"
#include "base/star_record.h"
#include "db/catalog_walk.h"
#include "db/output_file.h"
#include "db/zone_reader.h"

namespace ucac2 {
namespace {

constexpr int kChannels = 3;
constexpr int kPngLevel = 4;    // of zlib's 1..9: fast, and the noise would gain little more
constexpr int kHourLines = 12;  // every 2 hours
constexpr int kDecLines = 6;    // every 30 degrees

struct PngSink {
  OutputFile output;
  bool failed = false;
};

bool WritePng(void* context, const std::uint8_t* bytes, std::size_t size) {
  auto& sink = *static_cast<PngSink*>(context);
  if (!sink.failed && !WriteBytes(sink.output.file, bytes, size)) sink.failed = true;
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

namespace {

// The loops over every star of the sky call these inlined, not through SkyPixel and CountStar.
UCAC2_ALWAYS_INLINE bool Pixel(int width, std::int32_t ra, std::int32_t dec, int* x, int* y) {
  if (ra < 0 || ra >= kFullCircleMas || dec < -kPoleMas || dec > kPoleMas) return false;
  const int height = width / 2;
  *x = static_cast<int>(width - 1 - std::int64_t{ra} * width / kFullCircleMas);
  const std::int64_t row = (std::int64_t{kPoleMas} - dec) * height / (2 * std::int64_t{kPoleMas});
  *y = static_cast<int>(std::min<std::int64_t>(row, height - 1));  // the south pole itself
  return true;
}

UCAC2_ALWAYS_INLINE void Count(SkyMap& map, std::int32_t ra, std::int32_t dec,
                               bool supplement_star) {
  int x = 0, y = 0;
  if (!Pixel(map.width, ra, dec, &x, &y)) return;
  ++map.stars;
  const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(map.width) +
                         static_cast<std::size_t>(x);
  if (supplement_star && !map.supplement.empty()) {
    map.supplement[at] = true;
  } else {
    ++map.counts[at];
  }
}

}  // namespace

bool SkyPixel(int width, std::int32_t ra, std::int32_t dec, int* x, int* y) {
  return Pixel(width, ra, dec, x, y);
}

void CountStar(SkyMap& map, std::int32_t ra, std::int32_t dec, bool supplement_star) {
  Count(map, ra, dec, supplement_star);
}

bool CountDatabase(SkyMap& map, const std::string& db, Findings& findings) {
  EntryBlock block;
  for (int hour = 0; hour < kHourZones; ++hour) {
    ZoneReader zone;
    if (!OpenZoneForQuery(db, hour, zone, findings)) return false;
    // The blocks follow the head one after another: the whole rest of the file is entries.
    StartEntries(zone, 0, zone.head.hour_count);
    std::int64_t count;
    while ((count = NextEntries(zone, block)) > 0) {
      const std::uint8_t* bytes = block.bytes.get();
      for (std::int64_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = bytes + i * kEntrySize;
        const std::uint8_t* record = entry + kIdentifierSize;
        Count(map, LoadLE32(record + kRightAscensionOffset), LoadLE32(record + kDeclinationOffset),
              LoadLE32(entry) >= kFirstSupplementIdentifier);
      }
    }
    if (count < 0) {
      Report(findings, zone.path.c_str(), "cannot be read");
      return false;
    }
  }
  return true;
}

std::vector<std::string> MapInputs(const std::string& db, const std::string& catalog) {
  std::vector<std::string> inputs;
  if (catalog.empty()) {
    for (int hour = 0; hour < kHourZones; ++hour) inputs.push_back(ZoneFilePath(db, hour));
  } else {
    for (int n = 1; n <= kCatalogFiles; ++n) {
      inputs.push_back(JoinPath(catalog, CatalogFileAt(n).name));
    }
  }
  return inputs;
}

bool CountCatalog(SkyMap& map, const std::string& catalog, Findings& findings) {
  RecordBlock block;
  for (int n = 1; n <= kCatalogFiles; ++n) {
    CatalogInput input = OpenCatalogFile(catalog, n);
    if (!input.handle.is_open()) {
      // Still drawn, but a finding: the picture lacks what the catalog should hold.
      Report(findings, input.path.c_str(), "%s, shown as an empty strip",
             input.kind == PathKind::kOther ? "not a regular file" : "missing or unreadable");
      continue;
    }
    // A piece of a record at the end counts nothing.
    std::int64_t count;
    while ((count = ReadRecords(input, block)) > 0) {
      const std::uint8_t* bytes = block.bytes.get();
      for (std::int64_t i = 0; i < count; ++i) {
        const std::uint8_t* record = bytes + i * kRecordSize;
        Count(map, LoadLE32(record + kRightAscensionOffset), LoadLE32(record + kDeclinationOffset),
              n > kMainFiles);
      }
    }
    if (count < 0 && !input.ended_early) {
      Report(findings, input.path.c_str(), "cannot be read");
      return false;
    }
  }
  return true;
}

bool WriteSkyMap(SkyMap& map, const std::string& path, const MapDecor& decor, Findings& findings) {
  const std::uint32_t densest =
      map.counts.empty() ? 0 : *std::max_element(map.counts.begin(), map.counts.end());
  const double top = ScaleTop(densest);
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
      ScalePixel(ScaleAt(map.counts[at], top), grid, pixel);
    }
  }
  for (const MapMark& mark : decor.marks) {
    int x = 0, y = 0;
    if (SkyPixel(map.width, mark.ra, mark.dec, &x, &y)) DrawMark(canvas, layout, x, y);
  }
  if (decor.labels) DrawMargins(canvas, layout, decor, densest);
  std::vector<std::uint32_t>().swap(map.counts);
  std::vector<bool>().swap(map.supplement);
  PngSink sink;
  if (!StartOutput(path, sink.output, findings)) return false;
  if (!EncodePng(canvas, kPngLevel, WritePng, &sink) || sink.failed) {
    AbandonOutput(sink.output);
    Report(findings, path.c_str(), "cannot be written");
    return false;
  }
  return FinishOutput(sink.output, findings);
}

}  // namespace ucac2

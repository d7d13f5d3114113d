// Drawing the density map and encoding it as PNG with stb_image_write, written through the
// platform's files.
#include "db/sky_map.h"

#include <algorithm>
#include <cmath>

#include "base/catalog_files.h"
#include "base/file.h"
#include "base/paths.h"
#include "base/sky.h"
#include "base/star_record.h"
#include "db/catalog_walk.h"
#include "db/output_file.h"
#include "db/zone_reader.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace ucac2 {
namespace {

constexpr int kChannels = 3;
constexpr int kHourLines = 12;  // every 2 hours
constexpr int kDecLines = 6;    // every 30 degrees
constexpr int kGridShare = 64;  // of 256: how much a grid line lightens a pixel

struct Rgb {
  double r, g, b;
};

// The colour scale, from one star per pixel to the densest; an empty pixel is black.
constexpr Rgb kScale[] = {
    {25, 12, 70}, {90, 25, 140}, {190, 55, 100}, {245, 140, 40}, {255, 250, 200}};

Rgb ScaleColour(double t) {
  constexpr int kSteps = static_cast<int>(std::size(kScale)) - 1;
  const double at = std::clamp(t, 0.0, 1.0) * kSteps;
  const int step = std::min(static_cast<int>(at), kSteps - 1);
  const double f = at - step;
  const Rgb& a = kScale[step];
  const Rgb& b = kScale[step + 1];
  return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

std::uint8_t Channel(double value, bool grid) {
  const int level = static_cast<int>(std::lround(value));
  const int lit = grid ? level + ((255 - level) * kGridShare) / 256 : level;
  return static_cast<std::uint8_t>(std::clamp(lit, 0, 255));
}

struct PngSink {
  OutputFile output;
  bool failed = false;
};

void WritePng(void* context, void* data, int size) {
  auto& sink = *static_cast<PngSink*>(context);
  if (!sink.failed && !WriteBytes(sink.output.file, data, static_cast<std::size_t>(size))) {
    sink.failed = true;
  }
}

}  // namespace

SkyMap MakeSkyMap(int width) {
  SkyMap map;
  map.width = width;
  map.height = width / 2;
  map.counts.assign(static_cast<std::size_t>(map.width) * static_cast<std::size_t>(map.height), 0);
  return map;
}

void CountStar(SkyMap& map, std::int32_t ra, std::int32_t dec) {
  if (ra < 0 || ra >= kFullCircleMas || dec < -kPoleMas || dec > kPoleMas) return;
  const std::int64_t column = map.width - 1 - std::int64_t{ra} * map.width / kFullCircleMas;
  std::int64_t row = (std::int64_t{kPoleMas} - dec) * map.height / (2 * std::int64_t{kPoleMas});
  if (row == map.height) row = map.height - 1;  // the south pole itself
  ++map.counts[static_cast<std::size_t>(row * map.width + column)];
}

bool CountDatabase(SkyMap& map, const std::string& db, Findings& findings) {
  for (int hour = 0; hour < kHourZones; ++hour) {
    ZoneReader zone;
    if (!OpenZoneForQuery(db, hour, zone, findings)) return false;
    // The blocks follow the head one after another: the whole rest of the file is entries.
    StartEntries(zone, 0, zone.head.hour_count);
    const std::uint8_t* entries = nullptr;
    std::int64_t count;
    while ((count = NextEntries(zone, &entries)) > 0) {
      for (std::int64_t i = 0; i < count; ++i) {
        const std::uint8_t* record = entries + i * kEntrySize + kIdentifierSize;
        CountStar(map, LoadLE32(record + kRightAscensionOffset),
                  LoadLE32(record + kDeclinationOffset));
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
      for (std::int64_t i = 0; i < count; ++i) {
        const std::uint8_t* record = block.bytes.get() + i * kRecordSize;
        CountStar(map, LoadLE32(record + kRightAscensionOffset),
                  LoadLE32(record + kDeclinationOffset));
      }
    }
    if (count < 0 && !input.ended_early) {
      Report(findings, input.path.c_str(), "cannot be read");
      return false;
    }
  }
  return true;
}

bool WriteSkyMap(SkyMap& map, const std::string& path, Findings& findings) {
  const std::uint32_t densest =
      map.counts.empty() ? 0 : *std::max_element(map.counts.begin(), map.counts.end());
  const double scale = std::log1p(static_cast<double>(std::max<std::uint32_t>(densest, 1)));
  std::vector<bool> grid_column(static_cast<std::size_t>(map.width), false);
  std::vector<bool> grid_row(static_cast<std::size_t>(map.height), false);
  for (int k = 1; k < kHourLines; ++k)
    grid_column[static_cast<std::size_t>(k * map.width / kHourLines)] = true;
  for (int k = 1; k < kDecLines; ++k)
    grid_row[static_cast<std::size_t>(k * map.height / kDecLines)] = true;
  std::vector<std::uint8_t> pixels(map.counts.size() * kChannels);
  for (int y = 0; y < map.height; ++y) {
    for (int x = 0; x < map.width; ++x) {
      const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(map.width) +
                             static_cast<std::size_t>(x);
      const std::uint32_t count = map.counts[at];
      const Rgb colour =
          count == 0 ? Rgb{0, 0, 0} : ScaleColour(std::log1p(static_cast<double>(count)) / scale);
      const bool grid =
          grid_column[static_cast<std::size_t>(x)] || grid_row[static_cast<std::size_t>(y)];
      pixels[at * kChannels] = Channel(colour.r, grid);
      pixels[at * kChannels + 1] = Channel(colour.g, grid);
      pixels[at * kChannels + 2] = Channel(colour.b, grid);
    }
  }
  std::vector<std::uint32_t>().swap(map.counts);
  stbi_write_png_compression_level = 4;
  PngSink sink;
  if (!StartOutput(path, sink.output, findings)) return false;
  if (stbi_write_png_to_func(WritePng, &sink, map.width, map.height, kChannels, pixels.data(),
                             map.width * kChannels) == 0 ||
      sink.failed) {
    AbandonOutput(sink.output);
    Report(findings, path.c_str(), "cannot be written");
    return false;
  }
  return FinishOutput(sink.output, findings);
}

}  // namespace ucac2

// The search: reading the windows of the blocks a region needs, keeping the stars it holds
// within the magnitudes asked, and printing them in order.
#include "db/find.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/file.h"
#include "base/sky.h"
#include "base/star_record.h"
#include "base/zone_file.h"
#include "db/block_window.h"
#include "db/findings.h"
#include "db/open_zone_file.h"
#include "db/region.h"
#include "db/separation.h"
#include "db/star_csv.h"
#include "db/star_order.h"

namespace ucac2 {
namespace {

constexpr std::size_t kOutputBufferSize = 1 << 16;
constexpr const char* kSortFileName = "temporary file";
constexpr const char* kSortFailure = "cannot be made or written to sort the stars found";

/// What a window's entries go through: the region's exact test, then the order.
struct BlockVisit {
  const Plan& plan;
  const FindQuery& query;
  RegionKind kind;
  int band;
  StarOrder& order;
  bool failed = false;
};

// The key a star is ordered by; ties fall to the star number.
std::uint64_t SortKey(const BlockVisit& visit, std::int32_t ra, std::int32_t mag,
                      std::uint64_t box_key, double distance) {
  switch (visit.query.sort) {
    case StarSort::kDistance:
      return std::bit_cast<std::uint64_t>(distance);  // in order, as distances are >= 0
    case StarSort::kRightAscension:
      if (visit.kind == RegionKind::kBox) return box_key;
      return static_cast<std::uint64_t>(
          (ra - static_cast<std::int64_t>(std::llround(visit.plan.ra_mas)) + kFullCircleMas +
           kFullCircleMas / 2) %
          kFullCircleMas);
    case StarSort::kMagnitude:
      return static_cast<std::uint64_t>(mag - INT16_MIN);
  }
  return 0;
}

void VisitEntries(void* context, const std::uint8_t* entries, std::size_t count,
                  bool /*file_start*/) {
  auto& visit = *static_cast<BlockVisit*>(context);
  for (std::size_t i = 0; i < count && !visit.failed; ++i) {
    const std::uint8_t* entry = entries + i * kEntrySize;
    std::int32_t ra = 0, dec = 0;
    StarPosition(visit.plan, entry, &ra, &dec);
    std::uint64_t key = 0;
    double distance = 0;
    if (visit.kind == RegionKind::kCone) {
      if (!InCone(visit.plan, visit.band, ra, dec, &distance)) continue;
    } else if (!InBox(visit.plan, ra, dec, &key)) {
      continue;
    }
    const FindQuery& query = visit.query;
    const std::int32_t mag =
        static_cast<std::int16_t>(entry[kIdentifierSize + kMagnitudeOffset] |
                                  (entry[kIdentifierSize + kMagnitudeOffset + 1] << 8));
    if ((query.mag_min_given && mag < query.mag_min) ||
        (query.mag_max_given && mag > query.mag_max)) {
      continue;
    }
    visit.failed = !AddToOrder(visit.order, SortKey(visit, ra, mag, key, distance), entry);
  }
}

bool ReadBlock(File& file, const char* path, const ZoneHead& head, int hour, int band,
               RegionKind kind, const Plan& plan, const FindQuery& query, StarOrder& order,
               Findings& findings, std::vector<std::uint8_t>& buffer) {
  SkyWindow windows[2];
  const int count = RegionWindows(plan, kind, hour, band, windows);
  BlockVisit visit{plan, query, kind, band, order};
  for (int w = 0; w < count; ++w) {
    if (!ReadWindow(file, head, band, windows[w], buffer, VisitEntries, &visit)) {
      Report(findings, path, "cannot be read");
      return false;
    }
    if (visit.failed) {
      Report(findings, kSortFileName, "%s", kSortFailure);
      return false;
    }
  }
  return true;
}

bool ReadHour(const std::string& db, int hour, RegionKind kind, const Plan& plan,
              const FindQuery& query, StarOrder& order, Findings& findings,
              std::vector<std::uint8_t>& buffer) {
  const std::string path = ZoneFilePath(db, hour);
  File file;
  ZoneHead head;
  if (!OpenZoneFile(path.c_str(), &file, &head, findings)) return false;
  for (int band = 0; band < kBands; ++band) {
    if (plan.blocks.read[hour][band] && head.counts[band] > 0 &&
        !ReadBlock(file, path.c_str(), head, hour, band, kind, plan, query, order, findings,
                   buffer)) {
      return false;
    }
  }
  return true;
}

/// The standard output, a buffer at a time.
struct CsvOutput {
  std::vector<char> buffer = std::vector<char>(kOutputBufferSize);
  std::size_t used = 0;
  const Plan* plan = nullptr;
  bool cone = false;  // distances are printed
  bool failed = false;

  void Flush() {
    if (used > 0 && std::fwrite(buffer.data(), 1, used, stdout) != used) failed = true;
    used = 0;
  }
};

void EmitStar(void* context, const KeyedStar& star) {
  auto& out = *static_cast<CsvOutput*>(context);
  const Plan& plan = *out.plan;
  if (out.used + kMaxStarLineSize > out.buffer.size()) out.Flush();
  std::int32_t ra = 0, dec = 0;
  StarPosition(plan, star.entry, &ra, &dec);
  const double distance = out.cone ? ConeDistance(plan, ra, dec) * kArcsecondsPerRadian : 0.0;
  if (!plan.moved) {
    out.used += FormatStarLine(star.entry, out.cone, distance, out.buffer.data() + out.used);
    return;
  }
  // The line of the star where it stands at the epoch, then where it stood at J2000.0.
  std::uint8_t moved[kEntrySize];
  std::copy(star.entry, star.entry + kEntrySize, moved);
  StoreLE32(moved + kIdentifierSize + kRightAscensionOffset, ra);
  StoreLE32(moved + kIdentifierSize + kDeclinationOffset, dec);
  char* line = out.buffer.data() + out.used;
  std::size_t size = FormatStarLine(moved, out.cone, distance, line) - 1;  // less its "\n"
  size += FormatDegreesColumn(LoadLE32(star.entry + kIdentifierSize + kRightAscensionOffset),
                              line + size);
  size +=
      FormatDegreesColumn(LoadLE32(star.entry + kIdentifierSize + kDeclinationOffset), line + size);
  line[size++] = '\n';
  out.used += size;
}

}  // namespace

int FindStars(const std::string& db, const Region& region, const FindQuery& query) {
  const Plan plan = MakePlan(region, query.moved, query.years);
  Findings findings;
  StarOrder order;
  StartOrder(order, query.limit);
  std::vector<std::uint8_t> buffer(kWindowChunkEntries * kEntrySize);
  for (int hour = 0; hour < kHourZones; ++hour) {
    bool wanted = false;
    for (int band = 0; band < kBands; ++band) wanted = wanted || plan.blocks.read[hour][band];
    if (wanted && !ReadHour(db, hour, region.kind, plan, query, order, findings, buffer)) {
      return FindingsStatus(findings);
    }
  }
  CsvOutput out;
  out.plan = &plan;
  out.cone = region.kind == RegionKind::kCone;
  std::string header = StarCsvHeader(out.cone);
  if (plan.moved) header.insert(header.size() - 1, ",ra_j2000,dec_j2000");
  std::fputs(header.c_str(), stdout);
  if (!EmitInOrder(order, EmitStar, &out)) {
    out.Flush();
    Report(findings, kSortFileName, "%s", kSortFailure);
    return FindingsStatus(findings);
  }
  out.Flush();
  if (out.failed || std::fflush(stdout) != 0) {
    Report(findings, "standard output", "cannot be written");
  }
  return FindingsStatus(findings);
}

}  // namespace ucac2

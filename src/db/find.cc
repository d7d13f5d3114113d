// The search: reading the windows of the blocks a region needs, keeping the stars it holds
// within the magnitudes asked, and printing them in order.
#include "db/find.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/file.h"
#include "base/sky.h"
#include "base/star_record.h"
#include "base/zone_file.h"
#include "db/block_window.h"
#include "db/findings.h"
#include "db/region.h"
#include "db/separation.h"
#include "db/star_csv.h"
#include "db/star_order.h"
#include "db/zone_reader.h"

namespace ucac2 {
namespace {

constexpr const char* kSortFailure = "cannot be made or written to sort the stars found";
constexpr const char* kNoSortFolder =
    "the folder for temporary files does not exist; the stars found cannot be sorted";

// Names the folder the temporary file was to go in, which the user can mend.
void ReportSortFailure(Findings& findings) {
  const char* folder = TemporaryFolder();
  if (!IsDirectory(folder)) {
    Report(findings, folder, "%s", kNoSortFolder);
  } else {
    Report(findings, (std::string("temporary file in ") + folder).c_str(), "%s", kSortFailure);
  }
}

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

bool ReadBlock(ZoneReader& zone, EntryBlock& entries, int hour, int band, RegionKind kind,
               const Plan& plan, const FindQuery& query, StarOrder& order, Findings& findings) {
  SkyWindow windows[2];
  const int count = RegionWindows(plan, kind, hour, band, windows);
  BlockVisit visit{plan, query, kind, band, order};
  for (int w = 0; w < count; ++w) {
    if (!ReadWindow(zone, entries, band, windows[w], VisitEntries, &visit)) {
      Report(findings, zone.path.c_str(), "cannot be read");
      return false;
    }
    if (visit.failed) {
      ReportSortFailure(findings);
      return false;
    }
  }
  return true;
}

bool ReadHour(const std::string& db, EntryBlock& entries, int hour, RegionKind kind,
              const Plan& plan, const FindQuery& query, StarOrder& order, Findings& findings) {
  ZoneReader zone;
  if (!OpenZoneForQuery(db, hour, zone, findings)) return false;
  for (int band = 0; band < kBands; ++band) {
    if (plan.blocks.read[hour][band] && zone.head.counts[band] > 0 &&
        !ReadBlock(zone, entries, hour, band, kind, plan, query, order, findings)) {
      return false;
    }
  }
  return true;
}

/// The lines on their way out, and the plan that places and measures each star.
struct FoundOutput {
  StarCsvOutput csv;
  const Plan* plan = nullptr;
};

void EmitStar(void* context, const KeyedStar& star) {
  auto& found = *static_cast<FoundOutput*>(context);
  StarCsvOutput& out = found.csv;
  const Plan& plan = *found.plan;
  std::int32_t ra = 0, dec = 0;
  StarPosition(plan, star.entry, &ra, &dec);
  const double distance =
      out.with_distance ? ConeDistance(plan, ra, dec) * kArcsecondsPerRadian : 0.0;
  if (!plan.moved) {
    WriteStarLine(out, star.entry, distance);
    return;
  }
  // The line of the star where it stands at the epoch, then where it stood at J2000.0.
  std::uint8_t moved[kEntrySize];
  std::copy(star.entry, star.entry + kEntrySize, moved);
  StoreLE32(moved + kIdentifierSize + kRightAscensionOffset, ra);
  StoreLE32(moved + kIdentifierSize + kDeclinationOffset, dec);
  if (out.used + kMaxStarLineSize > out.buffer.size()) FlushStarLines(out);
  char* line = out.buffer.data() + out.used;
  std::size_t size = FormatStarLine(moved, out.with_distance, distance, line) - 1;  // its "\n"
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
  EntryBlock entries;
  for (int hour = 0; hour < kHourZones; ++hour) {
    bool wanted = false;
    for (int band = 0; band < kBands; ++band) wanted = wanted || plan.blocks.read[hour][band];
    if (wanted && !ReadHour(db, entries, hour, region.kind, plan, query, order, findings)) {
      return FindingsStatus(findings);
    }
  }
  FoundOutput out;
  out.plan = &plan;
  out.csv.with_distance = region.kind == RegionKind::kCone;
  std::string header = StarCsvHeader(out.csv.with_distance);
  if (plan.moved) header.insert(header.size() - 1, ",ra_j2000,dec_j2000");
  std::fputs(header.c_str(), stdout);
  if (!EmitInOrder(order, EmitStar, &out)) {
    FlushStarLines(out.csv);
    ReportSortFailure(findings);
    return FindingsStatus(findings);
  }
  if (!FlushStarLines(out.csv) || std::fflush(stdout) != 0) {
    Report(findings, "standard output", "cannot be written");
  }
  return FindingsStatus(findings);
}

}  // namespace ucac2

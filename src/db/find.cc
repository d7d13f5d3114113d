// The search: reading the windows of the blocks a region needs, keeping the stars it holds
// within the magnitudes asked, and printing them in order.
#include "db/find.h"

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
#include "db/star_format.h"
#include "db/star_order.h"
#include "db/zone_reader.h"

namespace ucac2 {
namespace {

constexpr std::size_t kOutputChunk = std::size_t{1} << 16;  // written out at a time
constexpr const char* kSorted = "the stars found";

/// What a window's entries go through: the region's exact test, then the order.
struct BlockVisit {
  const Plan& plan;
  const FindQuery& query;
  RegionKind kind;
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
      if (!InCone(visit.plan, ra, dec, &distance)) continue;
    } else if (!InBox(visit.plan, ra, dec, &key)) {
      continue;
    }
    const FindQuery& query = visit.query;
    const std::int32_t mag = EntryMagnitude(entry);
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
  BlockVisit visit{plan, query, kind, order};
  for (int w = 0; w < count; ++w) {
    if (!ReadWindow(zone, entries, band, windows[w], VisitEntries, &visit)) {
      Report(findings, zone.path.c_str(), "cannot be read");
      return false;
    }
    if (visit.failed) {
      ReportTemporaryFileFailure(findings, kSorted);
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

/// Stars written out a buffer at a time, and the plan that places and measures each one.
struct FoundOutput {
  TableLayout layout;
  const Plan* plan = nullptr;
  bool cone = false;
  bool distance_keyed = false;  // each star's key is its distance, as its bits
  std::string buffer;
  bool failed = false;  // a write failed

  bool Flush() {
    if (!buffer.empty() && std::fwrite(buffer.data(), 1, buffer.size(), stdout) != buffer.size()) {
      failed = true;
    }
    buffer.clear();
    return !failed;
  }
};

void EmitStar(void* context, const KeyedStar& star) {
  auto& found = *static_cast<FoundOutput*>(context);
  const Plan& plan = *found.plan;
  std::int32_t ra = 0, dec = 0;
  StarPosition(plan, star.entry, &ra, &dec);
  // At another epoch the star is printed where the region was tested: whole milliarcseconds.
  StarRow row;
  row.entry = star.entry;
  row.at = {static_cast<double>(ra), static_cast<double>(dec)};
  if (found.cone) {
    const double distance =
        found.distance_keyed ? std::bit_cast<double>(star.key) : ConeDistance(plan, ra, dec);
    row.distance_arcsec = distance * kArcsecondsPerRadian;
  }
  AppendStarRow(found.layout, row, found.buffer);
  if (found.buffer.size() >= kOutputChunk) found.Flush();
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
  out.cone = region.kind == RegionKind::kCone;
  out.distance_keyed = out.cone && query.sort == StarSort::kDistance;
  out.layout.format = query.format;
  out.layout.at_epoch = plan.moved;
  out.layout.epoch_years = plan.years;
  if (out.cone) out.layout.distance_name = "dist_arcsec";
  AppendTableHead(out.layout, out.buffer);
  if (!EmitInOrder(order, EmitStar, &out)) {
    out.Flush();
    ReportTemporaryFileFailure(findings, kSorted);
    return FindingsStatus(findings);
  }
  AppendTableTail(out.layout, out.buffer);
  if (!out.Flush() || std::fflush(stdout) != 0) {
    Report(findings, "standard output", "cannot be written");
  }
  return FindingsStatus(findings);
}

}  // namespace ucac2

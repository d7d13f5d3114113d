// The search: the plan's blocks read through the zone reader, the stars the region holds
// kept in order, then printed.
#include "db/find.h"

#include <bit>
#include <cstdio>
#include <string>

#include "base/file.h"
#include "base/star_record.h"
#include "db/findings.h"
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

// What a search reads with and into.
struct Search {
  RegionKind kind;
  const Plan& plan;
  StarOrder& order;
  Findings& findings;
  EntryBlock block;
};

bool ReadBlock(Search& search, ZoneReader& zone, int band) {
  const Plan& plan = search.plan;
  const RegionKind kind = search.kind;
  StartBand(zone, band);
  std::int64_t count;
  while ((count = NextEntries(zone, search.block)) > 0) {
    const std::uint8_t* bytes = search.block.bytes.get();
    for (std::int64_t i = 0; i < count; ++i) {
      const std::uint8_t* entry = bytes + i * kEntrySize;
      const std::int32_t ra = LoadLE32(entry + kIdentifierSize + kRightAscensionOffset);
      const std::int32_t dec = LoadLE32(entry + kIdentifierSize + kDeclinationOffset);
      std::uint64_t key = 0;
      double distance = 0;
      if (kind == RegionKind::kCone) {
        if (!InCone(plan, band, ra, dec, &distance)) continue;
        key = std::bit_cast<std::uint64_t>(distance);  // in order, as distances are >= 0
      } else if (!InBox(plan, ra, dec, &key)) {
        continue;
      }
      if (!AddToOrder(search.order, key, entry)) {
        ReportSortFailure(search.findings);
        return false;
      }
    }
  }
  if (count < 0) {
    Report(search.findings, zone.path.c_str(), "cannot be read");
    return false;
  }
  return true;
}

bool ReadHour(Search& search, const std::string& db, int hour) {
  ZoneReader zone;
  if (!OpenZoneForQuery(db, hour, zone, search.findings)) return false;
  for (int band = 0; band < kBands; ++band) {
    if (search.plan.read[hour][band] && zone.head.counts[band] > 0 &&
        !ReadBlock(search, zone, band)) {
      return false;
    }
  }
  return true;
}

void EmitStar(void* context, const KeyedStar& star) {
  auto& out = *static_cast<StarCsvOutput*>(context);
  WriteStarLine(out, star.entry, std::bit_cast<double>(star.key) * kArcsecondsPerRadian);
}

}  // namespace

int FindStars(const std::string& db, const Region& region, std::int64_t limit) {
  const Plan plan = MakePlan(region);
  Findings findings;
  StarOrder order;
  StartOrder(order, limit);
  Search search{region.kind, plan, order, findings, EntryBlock()};
  for (int hour = 0; hour < kHourZones; ++hour) {
    bool wanted = false;
    for (int band = 0; band < kBands; ++band) wanted = wanted || plan.read[hour][band];
    if (wanted && !ReadHour(search, db, hour)) {
      return FindingsStatus(findings);
    }
  }
  StarCsvOutput out;
  out.with_distance = region.kind == RegionKind::kCone;
  std::fputs(StarCsvHeader(out.with_distance), stdout);
  if (!EmitInOrder(order, EmitStar, &out)) {
    FlushStarLines(out);
    ReportSortFailure(findings);
    return FindingsStatus(findings);
  }
  if (!FlushStarLines(out) || std::fflush(stdout) != 0) {
    Report(findings, "standard output", "cannot be written");
  }
  return FindingsStatus(findings);
}

}  // namespace ucac2

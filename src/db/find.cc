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

bool ReadBlock(ZoneReader& zone, int band, RegionKind kind, const Plan& plan, StarOrder& order,
               Findings& findings) {
  StartBand(zone, band);
  const std::uint8_t* entries = nullptr;
  std::int64_t count;
  while ((count = NextEntries(zone, &entries)) > 0) {
    for (std::int64_t i = 0; i < count; ++i) {
      const std::uint8_t* entry = entries + i * kEntrySize;
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
      if (!AddToOrder(order, key, entry)) {
        ReportSortFailure(findings);
        return false;
      }
    }
  }
  if (count < 0) {
    Report(findings, zone.path.c_str(), "cannot be read");
    return false;
  }
  return true;
}

bool ReadHour(const std::string& db, int hour, RegionKind kind, const Plan& plan, StarOrder& order,
              Findings& findings) {
  ZoneReader zone;
  if (!OpenZoneForQuery(db, hour, zone, findings)) return false;
  for (int band = 0; band < kBands; ++band) {
    if (plan.read[hour][band] && zone.head.counts[band] > 0 &&
        !ReadBlock(zone, band, kind, plan, order, findings)) {
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
  for (int hour = 0; hour < kHourZones; ++hour) {
    bool wanted = false;
    for (int band = 0; band < kBands; ++band) wanted = wanted || plan.read[hour][band];
    if (wanted && !ReadHour(db, hour, region.kind, plan, order, findings)) {
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

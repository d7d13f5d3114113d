// The search: which blocks to read, reading them, keeping the stars the region holds, and
// printing them in order. The blocks follow the compiler's own zone arithmetic, whose borders
// stray by a few milliarcseconds, so they are chosen with a margin and every star is then
// tested by its exact position.
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
#include "db/separation.h"
#include "db/star_csv.h"
#include "db/star_order.h"

namespace ucac2 {
namespace {

constexpr double kRadiansPerDegree = kPi / 180.0;
// Far beyond the strays of the zone borders (34 mas at most), and beyond any rounding of the
// cap's outline below.
constexpr double kZoneMargin = 0.001;  // degrees
constexpr double kHourDegrees = double{kHourMas} / kMasPerDegree;
constexpr double kBandDegrees = double{kBandMas} / kMasPerDegree;
constexpr std::size_t kOutputBufferSize = 1 << 16;
constexpr const char* kSortFileName = "temporary file";
constexpr const char* kSortFailure = "cannot be made or written to sort the stars found";

/// What to read and how to test each star read.
struct Plan {
  BlockSet blocks;
  // A cone: its centre in mas, its radius, and for a quick first test the declinations it
  // spans and, per band, how far in right ascension from the centre its stars can lie.
  double ra_mas = 0, dec_mas = 0, radius = 0;
  SkyDirection centre;
  double dec_low_mas = 0, dec_high_mas = 0;
  double half_width_mas[kBands] = {};
  // A box: whole milliarcseconds, edges included.
  std::int64_t ra_first = 0, ra_last = 0, dec_low = 0, dec_high = 0;
  bool wraps = false;
};

double Degrees(const Angle& angle) { return AngleMas(angle) / kMasPerDegree; }

double BandNorth(int band) { return 90.0 - kBandDegrees * band; }

// The way around the circle between two right ascensions, 0..180 degrees.
double CircleGap(double a, double b) {
  const double gap = std::fmod(std::fabs(a - b), 360.0);
  return gap > 180.0 ? 360.0 - gap : gap;
}

// How far right ascension `ra` lies from hour `hour`'s arc (margin included): 0 inside it.
double GapToHour(double ra, int hour) {
  const double start = kHourDegrees * hour - kZoneMargin;
  const double end = kHourDegrees * (hour + 1) + kZoneMargin;
  double offset = std::fmod(ra - start, 360.0);
  if (offset < 0) offset += 360.0;
  if (offset <= end - start) return 0.0;
  return std::min(CircleGap(ra, start), CircleGap(ra, end));
}

// How far in right ascension from its centre the cap reaches along declination `dec`,
// degrees; 180 when the whole parallel lies in it.
double CapHalfWidth(double dec, double centre_dec, double radius) {
  const double d = dec * kRadiansPerDegree;
  const double c = centre_dec * kRadiansPerDegree;
  const double across = std::cos(d) * std::cos(c);
  if (across < 1e-12) return 180.0;  // at a pole, or centred on one
  const double ratio = (std::cos(radius) - std::sin(d) * std::sin(c)) / across;
  if (ratio <= -1.0) return 180.0;
  if (ratio >= 1.0) return 0.0;
  return std::acos(ratio) / kRadiansPerDegree;
}

void PlanCone(const Region& region, Plan& plan) {
  const double ra = Degrees(region.ra);
  const double dec = Degrees(region.dec);
  const double radius_degrees = Degrees(region.radius);
  plan.ra_mas = AngleMas(region.ra);
  plan.dec_mas = AngleMas(region.dec);
  plan.radius = radius_degrees * kRadiansPerDegree;
  plan.centre = MakeDirection(plan.ra_mas, plan.dec_mas);
  const double low = std::max(-90.0, dec - radius_degrees);
  const double high = std::min(90.0, dec + radius_degrees);
  plan.dec_low_mas = (low - kZoneMargin) * kMasPerDegree;
  plan.dec_high_mas = (high + kZoneMargin) * kMasPerDegree;
  // Along the parallels the cap is widest at this declination, unless it holds a pole.
  const double widest_sine = std::sin(dec * kRadiansPerDegree) / std::cos(plan.radius);
  for (int band = 0; band < kBands; ++band) {
    const double from = std::max(low, BandNorth(band + 1) - kZoneMargin);
    const double to = std::min(high, BandNorth(band) + kZoneMargin);
    if (from > to) continue;
    double half_width = 180.0;
    if (radius_degrees < 90.0) {
      half_width =
          std::max(CapHalfWidth(from, dec, plan.radius), CapHalfWidth(to, dec, plan.radius));
      if (std::fabs(widest_sine) < 1.0) {
        const double widest = std::asin(widest_sine) / kRadiansPerDegree;
        if (widest > from && widest < to) {
          half_width = std::max(half_width, CapHalfWidth(widest, dec, plan.radius));
        }
      }
      half_width += kZoneMargin;
    }
    plan.half_width_mas[band] = half_width * kMasPerDegree;
    for (int hour = 0; hour < kHourZones; ++hour) {
      plan.blocks.read[hour][band] = half_width >= 180.0 || GapToHour(ra, hour) <= half_width;
    }
  }
}

void PlanBox(const Region& region, Plan& plan) {
  plan.ra_first = CeilMas(region.ra_first);
  plan.ra_last = FloorMas(region.ra_last);
  plan.dec_low = CeilMas(region.dec_low);
  plan.dec_high = FloorMas(region.dec_high);
  plan.wraps = AngleAbove(region.ra_first, region.ra_last);
  const double first = Degrees(region.ra_first);
  const double last = Degrees(region.ra_last);
  const double low = Degrees(region.dec_low);
  const double high = Degrees(region.dec_high);
  for (int hour = 0; hour < kHourZones; ++hour) {
    const double start = kHourDegrees * hour - kZoneMargin;
    const double end = kHourDegrees * (hour + 1) + kZoneMargin;
    const bool in_ra =
        plan.wraps ? (end >= first || start <= last) : (end >= first && start <= last);
    for (int band = 0; band < kBands && in_ra; ++band) {
      plan.blocks.read[hour][band] =
          BandNorth(band + 1) - kZoneMargin <= high && BandNorth(band) + kZoneMargin >= low;
    }
  }
}

Plan MakePlan(const Region& region) {
  Plan plan;
  if (region.kind == RegionKind::kCone) {
    PlanCone(region, plan);
  } else {
    PlanBox(region, plan);
  }
  return plan;
}

// The distance of a star from the cone's centre, radians.
double ConeDistance(const Plan& plan, std::int32_t ra, std::int32_t dec) {
  return Separation(plan.centre, ra, dec);
}

// Whether a star lies in the cone, rejected early by cheap tests; its distance if it does.
bool InCone(const Plan& plan, int band, std::int32_t ra, std::int32_t dec, double* distance) {
  if (dec < plan.dec_low_mas || dec > plan.dec_high_mas) return false;
  double ra_gap = static_cast<double>(ra) - plan.ra_mas;
  if (ra_gap > kHalfCircleMas) ra_gap -= 2 * kHalfCircleMas;
  if (ra_gap < -kHalfCircleMas) ra_gap += 2 * kHalfCircleMas;
  if (std::fabs(ra_gap) > plan.half_width_mas[band]) return false;
  *distance = ConeDistance(plan, ra, dec);
  return *distance <= plan.radius;
}

// The star's place in a box's order: milliarcseconds eastward from the first edge.
bool InBox(const Plan& plan, std::int32_t ra, std::int32_t dec, std::uint64_t* key) {
  if (dec < plan.dec_low || dec > plan.dec_high) return false;
  if (ra >= plan.ra_first && (plan.wraps || ra <= plan.ra_last)) {
    *key = static_cast<std::uint64_t>(ra - plan.ra_first);
    return true;
  }
  if (plan.wraps && ra <= plan.ra_last) {
    *key = static_cast<std::uint64_t>(std::int64_t{ra} + kFullCircleMas - plan.ra_first);
    return true;
  }
  return false;
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
    const std::int32_t ra = LoadLE32(entry + kIdentifierSize + kRightAscensionOffset);
    const std::int32_t dec = LoadLE32(entry + kIdentifierSize + kDeclinationOffset);
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

// The parts of hour `hour`'s block in band `band` that can hold the region's stars: one
// window, or two for a box across 0 hours.
int RegionWindows(const Plan& plan, RegionKind kind, int hour, int band, SkyWindow* windows) {
  if (kind == RegionKind::kCone) {
    SkyWindow& w = windows[0];
    w.dec_low = static_cast<std::int64_t>(std::floor(plan.dec_low_mas));
    w.dec_high = static_cast<std::int64_t>(std::ceil(plan.dec_high_mas));
    if (plan.half_width_mas[band] >= kHalfCircleMas) {
      w.ra_low = 0;
      w.ra_high = kFullCircleMas;
      return 1;
    }
    // The centre taken around the circle to the side nearest this hour.
    const double hour_centre = (kHourDegrees * hour + kHourDegrees / 2) * kMasPerDegree;
    double centre = plan.ra_mas;
    if (centre - hour_centre > kHalfCircleMas) centre -= 2 * kHalfCircleMas;
    if (hour_centre - centre > kHalfCircleMas) centre += 2 * kHalfCircleMas;
    w.ra_low = static_cast<std::int64_t>(std::floor(centre - plan.half_width_mas[band]));
    w.ra_high = static_cast<std::int64_t>(std::ceil(centre + plan.half_width_mas[band]));
    return 1;
  }
  for (SkyWindow* w = windows; w < windows + 2; ++w) {
    w->dec_low = plan.dec_low;
    w->dec_high = plan.dec_high;
  }
  windows[0].ra_low = plan.ra_first;
  windows[0].ra_high = plan.wraps ? kFullCircleMas : plan.ra_last;
  windows[1].ra_low = 0;
  windows[1].ra_high = plan.ra_last;
  return plan.wraps ? 2 : 1;
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
  const Plan* plan = nullptr;  // a cone's, whose distances are printed
  bool failed = false;

  void Flush() {
    if (used > 0 && std::fwrite(buffer.data(), 1, used, stdout) != used) failed = true;
    used = 0;
  }
};

void EmitStar(void* context, const KeyedStar& star) {
  auto& out = *static_cast<CsvOutput*>(context);
  if (out.used + kMaxStarLineSize > out.buffer.size()) out.Flush();
  double distance = 0;
  if (out.plan != nullptr) {
    distance =
        ConeDistance(*out.plan, LoadLE32(star.entry + kIdentifierSize + kRightAscensionOffset),
                     LoadLE32(star.entry + kIdentifierSize + kDeclinationOffset)) *
        kArcsecondsPerRadian;
  }
  out.used +=
      FormatStarLine(star.entry, out.plan != nullptr, distance, out.buffer.data() + out.used);
}

}  // namespace

BlockSet SelectBlocks(const Region& region) { return MakePlan(region).blocks; }

int FindStars(const std::string& db, const Region& region, const FindQuery& query) {
  const Plan plan = MakePlan(region);
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
  if (region.kind == RegionKind::kCone) out.plan = &plan;
  std::fputs(StarCsvHeader(out.plan != nullptr), stdout);
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

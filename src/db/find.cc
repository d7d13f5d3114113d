// The search: which blocks to read, reading them, keeping the stars the region holds, and
// printing them in order. The blocks follow the compiler's own zone arithmetic, whose borders
// stray by a few milliarcseconds, so they are chosen with a margin and every star is then
// tested by its exact position.
#include "db/find.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/file.h"
#include "base/star_record.h"
#include "base/zone_file.h"
#include "db/findings.h"
#include "db/open_zone_file.h"
#include "db/star_csv.h"
#include "db/star_order.h"

namespace ucac2 {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMasPerDegree = 3600000.0;
constexpr double kRadiansPerDegree = kPi / 180.0;
constexpr double kRadiansPerMas = kPi / 648000000.0;
constexpr double kArcsecondsPerRadian = 648000.0 / kPi;
constexpr std::int64_t kFullCircleMas = 1296000000;
constexpr double kHalfCircleMas = 648000000.0;
// Far beyond the strays of the zone borders (34 mas at most), and beyond any rounding of the
// cap's outline below.
constexpr double kZoneMargin = 0.001;  // degrees
constexpr double kHourDegrees = 15.0;
constexpr double kBandDegrees = 10.0;
constexpr std::size_t kChunkEntries = 1365;  // just under 64 KiB a read
constexpr std::size_t kOutputBufferSize = 1 << 16;
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

/// What to read and how to test each star read.
struct Plan {
  BlockSet blocks;
  // A cone: its centre in mas, its radius, and for a quick first test the declinations it
  // spans and, per band, how far in right ascension from the centre its stars can lie.
  double ra_mas = 0, dec_mas = 0, radius = 0, cos_dec = 0;
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
  plan.cos_dec = std::cos(dec * kRadiansPerDegree);
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

// The distance of a star from the cone's centre, by the haversine formula, which stays
// exact at small separations; a star outside is rejected early by cheap tests.
bool InCone(const Plan& plan, int band, std::int32_t ra, std::int32_t dec, double* distance) {
  if (dec < plan.dec_low_mas || dec > plan.dec_high_mas) return false;
  double ra_gap = static_cast<double>(ra) - plan.ra_mas;
  if (ra_gap > kHalfCircleMas) ra_gap -= 2 * kHalfCircleMas;
  if (ra_gap < -kHalfCircleMas) ra_gap += 2 * kHalfCircleMas;
  if (std::fabs(ra_gap) > plan.half_width_mas[band]) return false;
  const double sin_half_dec =
      std::sin((static_cast<double>(dec) - plan.dec_mas) * kRadiansPerMas / 2);
  const double sin_half_ra = std::sin(ra_gap * kRadiansPerMas / 2);
  const double haversine = sin_half_dec * sin_half_dec + plan.cos_dec *
                                                             std::cos(dec * kRadiansPerMas) *
                                                             sin_half_ra * sin_half_ra;
  *distance = 2 * std::asin(std::min(1.0, std::sqrt(haversine)));
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
    *key = static_cast<std::uint64_t>(ra + kFullCircleMas - plan.ra_first);
    return true;
  }
  return false;
}

bool ReadBlock(File& file, const char* path, const ZoneHead& head, int band, RegionKind kind,
               const Plan& plan, StarOrder& order, Findings& findings,
               std::vector<std::uint8_t>& buffer) {
  if (!SeekTo(file, head.offsets[band])) {
    Report(findings, path, "cannot be read");
    return false;
  }
  std::size_t left = static_cast<std::size_t>(head.counts[band]);
  while (left > 0) {
    const std::size_t count = std::min(left, kChunkEntries);
    const std::size_t size = count * kEntrySize;
    if (ReadBytes(file, buffer.data(), size) != static_cast<std::int64_t>(size)) {
      Report(findings, path, "cannot be read");
      return false;
    }
    left -= count;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* entry = buffer.data() + i * kEntrySize;
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
  return true;
}

bool ReadHour(const std::string& db, int hour, RegionKind kind, const Plan& plan, StarOrder& order,
              Findings& findings, std::vector<std::uint8_t>& buffer) {
  const std::string path = ZoneFilePath(db, hour);
  File file;
  ZoneHead head;
  if (!OpenZoneFile(path.c_str(), &file, &head, findings)) return false;
  for (int band = 0; band < kBands; ++band) {
    if (plan.blocks.read[hour][band] && head.counts[band] > 0 &&
        !ReadBlock(file, path.c_str(), head, band, kind, plan, order, findings, buffer)) {
      return false;
    }
  }
  return true;
}

/// The standard output, a buffer at a time.
struct CsvOutput {
  std::vector<char> buffer = std::vector<char>(kOutputBufferSize);
  std::size_t used = 0;
  bool with_distance = false;
  bool failed = false;

  void Flush() {
    if (used > 0 && std::fwrite(buffer.data(), 1, used, stdout) != used) failed = true;
    used = 0;
  }
};

void EmitStar(void* context, const KeyedStar& star) {
  auto& out = *static_cast<CsvOutput*>(context);
  if (out.used + kMaxStarLineSize > out.buffer.size()) out.Flush();
  const double distance = std::bit_cast<double>(star.key) * kArcsecondsPerRadian;
  out.used += FormatStarLine(star.entry, out.with_distance, distance, out.buffer.data() + out.used);
}

}  // namespace

BlockSet SelectBlocks(const Region& region) { return MakePlan(region).blocks; }

int FindStars(const std::string& db, const Region& region, std::int64_t limit) {
  const Plan plan = MakePlan(region);
  Findings findings;
  StarOrder order;
  StartOrder(order, limit);
  std::vector<std::uint8_t> buffer(kChunkEntries * kEntrySize);
  for (int hour = 0; hour < kHourZones; ++hour) {
    bool wanted = false;
    for (int band = 0; band < kBands; ++band) wanted = wanted || plan.blocks.read[hour][band];
    if (wanted && !ReadHour(db, hour, region.kind, plan, order, findings, buffer)) {
      return FindingsStatus(findings);
    }
  }
  CsvOutput out;
  out.with_distance = region.kind == RegionKind::kCone;
  std::fputs(StarCsvHeader(out.with_distance), stdout);
  if (!EmitInOrder(order, EmitStar, &out)) {
    out.Flush();
    ReportSortFailure(findings);
    return FindingsStatus(findings);
  }
  out.Flush();
  if (out.failed || std::fflush(stdout) != 0) {
    Report(findings, "standard output", "cannot be written");
  }
  return FindingsStatus(findings);
}

}  // namespace ucac2

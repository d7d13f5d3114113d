// Planning a search: the blocks follow the compiler's own zone arithmetic, whose borders
// stray by a few milliarcseconds, so they are chosen with a margin and every star is then
// tested by its exact position. Stars that move are read from wherever they can come from.
#include "db/region.h"

#include <algorithm>
#include <cmath>

#include "base/sky.h"
#include "base/star_record.h"
#include "db/epoch.h"

namespace ucac2 {
namespace {

constexpr double kRadiansPerDegree = kPi / 180.0;
// Far beyond the strays of the zone borders (34 mas at most), and beyond any rounding of the
// cap's outline below.
constexpr double kZoneMargin = 0.001;  // degrees
constexpr double kHourDegrees = double{kHourMas} / kMasPerDegree;
constexpr double kBandDegrees = double{kBandMas} / kMasPerDegree;

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

// A cap's centre declination and radius by the sines and cosines its outline takes, worked
// out once for the many declinations a plan measures it at.
struct Cap {
  double sin_centre, cos_centre, cos_radius;
};

// How far in right ascension from its centre the cap reaches along declination `dec`,
// degrees; 180 when the whole parallel lies in it.
double CapHalfWidth(double dec, const Cap& cap) {
  const double d = dec * kRadiansPerDegree;
  const double across = std::cos(d) * cap.cos_centre;
  if (across < 1e-12) return 180.0;  // at a pole, or centred on one
  const double ratio = (cap.cos_radius - std::sin(d) * cap.sin_centre) / across;
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
  // Stars that move are read from wherever they can come from.
  const double reach = plan.moved ? DeclinationReachMas(plan.years) / kMasPerDegree : 0.0;
  const double read_low = std::max(-90.0, low - reach);
  const double read_high = std::min(90.0, high + reach);
  plan.dec_low_mas = (read_low - kZoneMargin) * kMasPerDegree;
  plan.dec_high_mas = (read_high + kZoneMargin) * kMasPerDegree;
  const Cap cap{std::sin(dec * kRadiansPerDegree), std::cos(dec * kRadiansPerDegree),
                std::cos(plan.radius)};
  // Along the parallels the cap is widest at this declination, unless it holds a pole.
  const double widest_sine = cap.sin_centre / cap.cos_radius;
  const bool has_widest = std::fabs(widest_sine) < 1.0;
  const double widest = has_widest ? std::asin(widest_sine) / kRadiansPerDegree : 0.0;
  const auto cap_half_width = [&](double from, double to) {
    double half_width = std::max(CapHalfWidth(from, cap), CapHalfWidth(to, cap));
    if (has_widest && widest > from && widest < to) {
      half_width = std::max(half_width, CapHalfWidth(widest, cap));
    }
    return half_width;
  };
  for (int band = 0; band < kBands; ++band) {
    const double from = std::max(read_low, BandNorth(band + 1) - kZoneMargin);
    const double to = std::min(read_high, BandNorth(band) + kZoneMargin);
    if (from > to) continue;
    double half_width = 180.0;
    if (radius_degrees < 90.0) {
      if (plan.moved) {
        const double abs_dec = std::max(std::fabs(from), std::fabs(to)) * kMasPerDegree;
        half_width =
            cap_half_width(low, high) + RightAscensionReachMas(plan.years, abs_dec) / kMasPerDegree;
      } else {
        half_width = cap_half_width(from, to);
      }
      half_width = std::min(180.0, half_width + kZoneMargin);
    }
    plan.half_width_mas[band] = half_width * kMasPerDegree;
    for (int hour = 0; hour < kHourZones; ++hour) {
      plan.blocks.read[hour][band] = half_width >= 180.0 || GapToHour(ra, hour) <= half_width;
    }
  }
  // A star is tested by the strip of its own declination, where it stands at the epoch, so
  // the strips need no room for motion. Each strip's reach is taken over a milliarcsecond
  // more on either side: a star on a strip's edge, whichever strip its rounded index falls
  // in, is held to a reach that covers it.
  plan.strips_per_mas = kConeStrips / (plan.dec_high_mas - plan.dec_low_mas);
  for (int strip = 0; strip < kConeStrips; ++strip) {
    double half_width = 180.0;
    if (radius_degrees < 90.0) {
      const double from = (plan.dec_low_mas + strip / plan.strips_per_mas - 1) / kMasPerDegree;
      const double to = (plan.dec_low_mas + (strip + 1) / plan.strips_per_mas + 1) / kMasPerDegree;
      half_width = std::min(180.0, cap_half_width(from, to) + kZoneMargin);
    }
    plan.strip_half_width_mas[strip] = half_width * kMasPerDegree;
  }
}

void PlanBox(const Region& region, Plan& plan) {
  plan.ra_first = CeilMas(region.ra_first);
  plan.ra_last = FloorMas(region.ra_last);
  plan.dec_low = CeilMas(region.dec_low);
  plan.dec_high = FloorMas(region.dec_high);
  plan.wraps = AngleAbove(region.ra_first, region.ra_last);
  // Stars that move are read from wherever they can come from.
  double first = Degrees(region.ra_first);
  double last = Degrees(region.ra_last);
  const double reach = plan.moved ? DeclinationReachMas(plan.years) / kMasPerDegree : 0.0;
  const double low = std::max(-90.0, Degrees(region.dec_low) - reach);
  const double high = std::min(90.0, Degrees(region.dec_high) + reach);
  const double ra_reach =
      plan.moved ? RightAscensionReachMas(
                       plan.years, std::max(std::fabs(low), std::fabs(high)) * kMasPerDegree) /
                       kMasPerDegree
                 : 0.0;
  plan.read_ra_first = plan.ra_first;
  plan.read_ra_last = plan.ra_last;
  plan.read_wraps = plan.wraps;
  if (plan.moved) {
    const double span = plan.wraps ? 360.0 - first + last : last - first;
    plan.read_all_ra = span + 2 * ra_reach >= 360.0;
    first = std::fmod(first - ra_reach + 360.0, 360.0);
    last = std::fmod(last + ra_reach, 360.0);
    plan.read_wraps = first > last;
    plan.read_ra_first = static_cast<std::int64_t>(std::floor(first * kMasPerDegree));
    plan.read_ra_last = static_cast<std::int64_t>(std::ceil(last * kMasPerDegree));
  }
  plan.read_dec_low = static_cast<std::int64_t>(std::floor(low * kMasPerDegree));
  plan.read_dec_high = static_cast<std::int64_t>(std::ceil(high * kMasPerDegree));
  for (int hour = 0; hour < kHourZones; ++hour) {
    const double start = kHourDegrees * hour - kZoneMargin;
    const double end = kHourDegrees * (hour + 1) + kZoneMargin;
    const bool in_ra = plan.read_all_ra || (plan.read_wraps ? (end >= first || start <= last)
                                                            : (end >= first && start <= last));
    for (int band = 0; band < kBands && in_ra; ++band) {
      plan.blocks.read[hour][band] =
          BandNorth(band + 1) - kZoneMargin <= high && BandNorth(band) + kZoneMargin >= low;
    }
  }
}

}  // namespace

Plan MakePlan(const Region& region, bool moved, double years) {
  Plan plan;
  plan.moved = moved;
  plan.years = years;
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
bool InCone(const Plan& plan, std::int32_t ra, std::int32_t dec, double* distance) {
  if (dec < plan.dec_low_mas || dec > plan.dec_high_mas) return false;
  double ra_gap = static_cast<double>(ra) - plan.ra_mas;
  if (ra_gap > kHalfCircleMas) ra_gap -= 2 * kHalfCircleMas;
  if (ra_gap < -kHalfCircleMas) ra_gap += 2 * kHalfCircleMas;
  const int strip =
      std::min(kConeStrips - 1, static_cast<int>((dec - plan.dec_low_mas) * plan.strips_per_mas));
  if (std::fabs(ra_gap) > plan.strip_half_width_mas[strip]) return false;
  *distance = ConeDistance(plan, ra, dec);
  return *distance <= plan.radius;
}

// Where the star stands at the plan's epoch, in whole milliarcseconds as the catalog gives
// positions.
void StarPosition(const Plan& plan, const std::uint8_t* entry, std::int32_t* ra,
                  std::int32_t* dec) {
  if (!plan.moved) {
    *ra = LoadLE32(entry + kIdentifierSize + kRightAscensionOffset);
    *dec = LoadLE32(entry + kIdentifierSize + kDeclinationOffset);
    return;
  }
  EntryPositionAtMas(entry, plan.years, ra, dec);
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
    w->dec_low = plan.read_dec_low;
    w->dec_high = plan.read_dec_high;
  }
  if (plan.read_all_ra) {
    windows[0].ra_low = 0;
    windows[0].ra_high = kFullCircleMas;
    return 1;
  }
  windows[0].ra_low = plan.read_ra_first;
  windows[0].ra_high = plan.read_wraps ? kFullCircleMas : plan.read_ra_last;
  windows[1].ra_low = 0;
  windows[1].ra_high = plan.read_ra_last;
  return plan.read_wraps ? 2 : 1;
}

}  // namespace ucac2

// The geometry of a region: which blocks can hold its stars, and whether a star lies in it.
// The blocks follow the compiler's own zone arithmetic, whose borders stray by a few
// milliarcseconds, so they are chosen with a margin and every star is then tested by its
// exact position.
#include "db/region.h"

#include <algorithm>
#include <cmath>

#include "base/sky.h"

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
      plan.read[hour][band] = half_width >= 180.0 || GapToHour(ra, hour) <= half_width;
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
      plan.read[hour][band] =
          BandNorth(band + 1) - kZoneMargin <= high && BandNorth(band) + kZoneMargin >= low;
    }
  }
}

}  // namespace

Plan MakePlan(const Region& region) {
  Plan plan;
  if (region.kind == RegionKind::kCone) {
    PlanCone(region, plan);
  } else {
    PlanBox(region, plan);
  }
  return plan;
}

}  // namespace ucac2

// A region of the sky a query asks for, a cone around a centre or a box of right ascension
// and declination: the band blocks that can hold its stars, and the test of each star read.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/sky.h"
#include "base/zones.h"
#include "db/angles.h"
#include "db/separation.h"

namespace ucac2 {

enum class RegionKind { kCone, kBox };

/// A region as given: a cone (`ra`, `dec`, `radius`) or a box from `ra_first` eastward to
/// `ra_last` (across 0 hours when `ra_first` is the larger) and from `dec_low` to `dec_high`.
/// Every edge belongs to the region.
struct Region {
  RegionKind kind = RegionKind::kCone;
  Angle ra, dec, radius;
  Angle ra_first, ra_last, dec_low, dec_high;
};

/// What to read for a region and how to test each star read.
struct Plan {
  // For each hour and band of the database, whether its block is read.
  bool read[kHourZones][kBands] = {};
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

/// The plan of `region`: its blocks are those that can hold a star of it, with a margin over
/// the few milliarcseconds by which the zone borders stray from the multiples of 15 and 10
/// degrees.
Plan MakePlan(const Region& region);

/// True when the star at `ra`, `dec` (mas), read from band `band`, lies in the cone; its
/// distance from the centre in radians goes to `distance`.
bool InCone(const Plan& plan, int band, std::int32_t ra, std::int32_t dec, double* distance);

/// True when the star lies in the box; its place in the box's order, milliarcseconds
/// eastward from the first edge, goes to `key`.
bool InBox(const Plan& plan, std::int32_t ra, std::int32_t dec, std::uint64_t* key);

// Inline: they run for every star read. The cone's distance is the vector form, exact at
// every separation; a star outside is rejected early by cheap tests.
inline bool InCone(const Plan& plan, int band, std::int32_t ra, std::int32_t dec,
                   double* distance) {
  if (dec < plan.dec_low_mas || dec > plan.dec_high_mas) return false;
  double ra_gap = static_cast<double>(ra) - plan.ra_mas;
  if (ra_gap > kHalfCircleMas) ra_gap -= 2 * kHalfCircleMas;
  if (ra_gap < -kHalfCircleMas) ra_gap += 2 * kHalfCircleMas;
  if (std::fabs(ra_gap) > plan.half_width_mas[band]) return false;
  *distance = Separation(plan.centre, ra, dec);
  return *distance <= plan.radius;
}

inline bool InBox(const Plan& plan, std::int32_t ra, std::int32_t dec, std::uint64_t* key) {
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

}  // namespace ucac2

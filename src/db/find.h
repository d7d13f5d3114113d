// Finding the stars of a region of the sky in the database: a cone around a centre or a box
// of right ascension and declination, read from only the band blocks that can hold them.
#pragma once

#include <cstdint>
#include <string>

#include "base/zones.h"
#include "db/angles.h"

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

/// For each hour and band of the database, whether its block is read.
struct BlockSet {
  bool read[kHourZones][kBands] = {};
};

/// The blocks that can hold a star of `region`, with a margin over the few milliarcseconds by
/// which the zone borders stray from the multiples of 15 and 10 degrees.
BlockSet SelectBlocks(const Region& region);

/// The order stars are printed in: by distance from a cone's centre; by right ascension
/// counted eastward from a box's first edge, or from the point opposite a cone's centre; or
/// by magnitude, brightest first. Ties go to the smaller star number.
enum class StarSort { kDistance, kRightAscension, kMagnitude };

/// What to print of a region's stars.
struct FindQuery {
  StarSort sort = StarSort::kDistance;
  std::int64_t limit = -1;  // only the first `limit`; -1: all
  bool mag_min_given = false, mag_max_given = false;
  std::int32_t mag_min = 0, mag_max = 0;  // u2r_mag bounds in hundredths, inclusive
};

/// Prints on the standard output the CSV of the stars of `region` found in the database in
/// folder `db`, within the query's magnitudes, in its order. A file that is missing, damaged
/// or unreadable is reported on the standard error stream, and nothing is printed. Returns
/// the exit status: 0, or 1 after an error.
int FindStars(const std::string& db, const Region& region, const FindQuery& query);

}  // namespace ucac2

// Finding the stars of a region of the sky in the database, read from only the parts of the
// band blocks that can hold them, within magnitude bounds, in the order asked.
#pragma once

#include <cstdint>
#include <string>

#include "db/region.h"
#include "db/star_format.h"

namespace ucac2 {

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
  bool moved = false;  // positions at `years` after J2000.0: tested and printed there
  double years = 0;
  StarFormat format = StarFormat::kCsv;
};

/// Prints on the standard output, in the query's format, the table of the stars of `region` found
/// in the database in folder `db`, within the query's magnitudes, in its order. A file that is
/// missing, damaged or unreadable is reported on the standard error stream, and nothing is printed.
/// Returns the exit status: 0, or 1 after an error.
int FindStars(const std::string& db, const Region& region, const FindQuery& query);

}  // namespace ucac2

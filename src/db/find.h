// Finding the stars of a region of the sky in the database, read from only the band blocks
// that can hold them.
#pragma once

#include <cstdint>
#include <string>

#include "db/region.h"

namespace ucac2 {

/// Prints on the standard output the CSV of the stars of `region` found in the database in
/// folder `db`: a cone's by distance from the centre, a box's by right ascension counted
/// from its first edge, ties by identifier; only the first `limit` (-1: all). A file that
/// is missing, damaged or unreadable is reported on the standard error stream, and nothing
/// is printed. Returns the exit status: 0, or 1 after an error.
int FindStars(const std::string& db, const Region& region, std::int64_t limit);

}  // namespace ucac2

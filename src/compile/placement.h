// Where the compilation files a star: the zone arithmetic, with a value that has no zone
// ending the run.
#pragma once

#include "base/star_record.h"

namespace ucac2 {

/// The hour zone of the star's right ascension; a fatal error when it has none.
int StarHour(const StarRecord& record);

/// The declination band of the star's declination; a fatal error when it has none.
int StarBand(const StarRecord& record);

}  // namespace ucac2

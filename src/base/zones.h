// Where a star belongs: its hour zone of right ascension and its 10-degree declination band.
#pragma once

#include <cstdint>

namespace ucac2 {

inline constexpr int kHourZones = 24;
inline constexpr int kBands = 18;

/// What the two functions below return for a value that has no zone.
inline constexpr int kNoZone = -1;

/// The hour zone 0..23 of a right ascension in milliarcseconds; kNoZone for a value outside
/// 0 <= v < 360 degrees.
int HourZone(std::int32_t right_ascension);

/// The declination band 0 (north pole) .. 17 (south pole) of a declination in
/// milliarcseconds; kNoZone for a value beyond a pole.
int DeclinationBand(std::int32_t declination);

}  // namespace ucac2

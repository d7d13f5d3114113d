// Where a star belongs: its hour zone of right ascension and its 10-degree declination band.
#pragma once

#include <cstdint>

namespace ucac2 {

inline constexpr int kHourZones = 24;
inline constexpr int kBands = 18;

/// The hour zone 0..23 of a right ascension in milliarcseconds. A value outside
/// 0 <= v < 360 degrees is a fatal error.
int HourZone(std::int32_t right_ascension);

/// The declination band 0 (north pole) .. 17 (south pole) of a declination in
/// milliarcseconds. A value beyond a pole is a fatal error.
int DeclinationBand(std::int32_t declination);

}  // namespace ucac2

// The sky in the integer milliarcseconds the catalog stores positions in: the full circle of
// right ascension, the poles, and the widths of an hour zone and a declination band.
#pragma once

#include <cstdint>

namespace ucac2 {

inline constexpr std::int32_t kMasPerDegree = 3600000;
inline constexpr std::int32_t kFullCircleMas = 360 * kMasPerDegree;
inline constexpr std::int32_t kHalfCircleMas = 180 * kMasPerDegree;
inline constexpr std::int32_t kPoleMas = 90 * kMasPerDegree;  // the north pole; -kPoleMas south
inline constexpr std::int32_t kHourMas = 15 * kMasPerDegree;  // an hour zone's nominal width
inline constexpr std::int32_t kBandMas = 10 * kMasPerDegree;  // a band's nominal height

}  // namespace ucac2

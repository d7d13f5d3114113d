// The angles a query is given: decimal degrees, or hh:mm:ss.s for a right ascension and
// +dd:mm:ss.s for a declination, read exactly, and what they mean in whole milliarcseconds.
#pragma once

#include <cstdint>

#include "base/sky.h"

namespace ucac2 {

inline constexpr std::int64_t kNanoMasPerMas = 1000000000;
inline constexpr std::int64_t kNanoMasPerDegree = kMasPerDegree * kNanoMasPerMas;

/// An angle as typed, exact to a nano-milliarcsecond: `nano_mas`, plus (tail +1) a little
/// more or (tail -1) a little less when the text held digits finer than that.
struct Angle {
  std::int64_t nano_mas = 0;
  int tail = 0;
};

enum class AngleKind { kRightAscension, kDeclination, kRadius };

/// Reads `text` as an angle of `kind`: decimal degrees (no exponent), or for a right
/// ascension hh:mm:ss[.s..] and for a declination [+-]dd:mm:ss[.s..]. Right ascensions lie in
/// 0..360 degrees, declinations in -90..90, radii in 0 (excluded)..180. False on anything else.
bool ParseAngle(const char* text, AngleKind kind, Angle* angle);

/// The largest whole milliarcsecond not above the angle.
std::int64_t FloorMas(const Angle& angle);

/// The smallest whole milliarcsecond not below the angle.
std::int64_t CeilMas(const Angle& angle);

/// The angle in milliarcseconds, rounded to double.
double AngleMas(const Angle& angle);

/// True when `a` is larger than `b`.
bool AngleAbove(const Angle& a, const Angle& b);

}  // namespace ucac2

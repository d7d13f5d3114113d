// The angles a query is given, in the notations astronomers type and paste, read exactly, and
// what they mean in whole milliarcseconds.
#pragma once

#include <cstdint>
#include <string>

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

/// Reads `text` (nothing around it, not even blanks) as an angle of `kind`:
/// - decimal degrees without exponent (`187.5`, `-30.25`);
/// - three sexagesimal parts split by colons or by spaces, hours for a right ascension
///   (`12:30:00.5`, `12 30 00.5`), degrees for a declination (`-30:00:00`, `-30 00 00`);
/// - lettered parts: for a right ascension `12h30m00.5s`, and for every kind degrees
///   `-30d15m36s`, `-30°15′36″` or `-30°15'36"` (`''` too for seconds); later parts may be
///   left out (`12h30m`, `-30d`), spaces may follow a part's sign (`12h 30m 00s`).
/// Only the last part may have a fraction; minutes and seconds stay below 60. Only a
/// declination takes a sign. Right ascensions lie in 0..360 degrees, declinations in -90..90,
/// radii in 0 (excluded)..180. False on anything else.
bool ParseAngle(const char* text, AngleKind kind, Angle* angle);

/// The angle in lettered degrees, `[-]DDDdMMmSS.ffffffffffff[1]s`, which ParseAngle reads
/// back to the same angle, tail included, for every angle it gives.
std::string FormatAngle(const Angle& angle);

/// The largest whole milliarcsecond not above the angle.
std::int64_t FloorMas(const Angle& angle);

/// The smallest whole milliarcsecond not below the angle.
std::int64_t CeilMas(const Angle& angle);

/// The angle in milliarcseconds, rounded to double.
double AngleMas(const Angle& angle);

/// True when `a` is larger than `b`.
bool AngleAbove(const Angle& a, const Angle& b);

}  // namespace ucac2

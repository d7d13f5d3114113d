// Angular distance by the vector form. An angle near 90 or 180 degrees is first reduced to
// its small remainder in milliarcseconds, where double arithmetic is exact, so that a cosine
// at a pole or a sine at 180 degrees is exactly 0 instead of the 1e-16 of a rounded pi.
#include "db/separation.h"

#include <cmath>

#include "base/sky.h"

namespace ucac2 {
namespace {

constexpr double kQuarterMas = kPoleMas;
constexpr double kHalfMas = kHalfCircleMas;
constexpr double kFullMas = kFullCircleMas;
constexpr double kRadiansPerMas = 1 / kMasPerRadian;

struct SineCosine {
  double sine, cosine;
};

// Sine and cosine of an angle of -180..180 degrees, in milliarcseconds.
SineCosine SinCos(double mas) {
  const double magnitude = std::fabs(mas);
  const double sign = mas < 0 ? -1.0 : 1.0;
  if (magnitude <= kQuarterMas / 2) {
    return {std::sin(mas * kRadiansPerMas), std::cos(mas * kRadiansPerMas)};
  }
  if (magnitude <= kQuarterMas * 3 / 2) {  // about 90 degrees: its complement
    const double rest = (kQuarterMas - magnitude) * kRadiansPerMas;
    return {sign * std::cos(rest), std::sin(rest)};
  }
  const double rest = (kHalfMas - magnitude) * kRadiansPerMas;  // about 180 degrees
  return {sign * std::sin(rest), -std::cos(rest)};
}

// The gap between two right ascensions, reduced to -180..180 degrees. fmod returns a gap
// within a turn as it is, and costs as much as the separation's sines: most gaps skip it.
double RightAscensionGap(double from, double to) {
  double gap = to - from;
  if (std::fabs(gap) >= kFullMas) gap = std::fmod(gap, kFullMas);
  if (gap > kHalfMas) gap -= kFullMas;
  if (gap < -kHalfMas) gap += kFullMas;
  return gap;
}

}  // namespace

SkyDirection MakeDirection(double ra_mas, double dec_mas) {
  const SineCosine dec = SinCos(dec_mas);
  return {ra_mas, dec.sine, dec.cosine};
}

double Separation(const SkyDirection& from, double ra_mas, double dec_mas) {
  const SineCosine dec = SinCos(dec_mas);
  const SineCosine gap = SinCos(RightAscensionGap(from.ra_mas, ra_mas));
  // The second direction in the frame of the first's meridian.
  const double east = dec.cosine * gap.sine;
  const double north = from.cos_dec * dec.sine - from.sin_dec * dec.cosine * gap.cosine;
  const double along = from.sin_dec * dec.sine + from.cos_dec * dec.cosine * gap.cosine;
  // Both terms are at most 1: no overflow or underflow for hypot to guard against.
  const double cross = std::sqrt(east * east + north * north);
  // Below 30 degrees the arcsine is as exact as atan2, and takes a fraction of its time.
  if (along > 0 && cross < 0.5) return std::asin(cross);
  return std::atan2(cross, along);
}

double Separation(double ra1_mas, double dec1_mas, double ra2_mas, double dec2_mas) {
  return Separation(MakeDirection(ra1_mas, dec1_mas), ra2_mas, dec2_mas);
}

}  // namespace ucac2

// The zone arithmetic. Every step is a double rounded on its own, in this order, with these
// constants: zone files already made place their stars by exactly these results, so the
// boundaries (a few milliarcseconds short of the true multiples of 15 and 10 degrees) must
// not move. The build forbids contraction into fused multiply-adds for the same reason.
#include "base/zones.h"

#include <cmath>

#include "base/sky.h"

namespace ucac2 {
namespace {

constexpr double kMasToArcseconds = 0.001;
constexpr double kArcsecondsToDegrees = 0.0002777777777777778;
constexpr double kDegreesToRadians = 0.017453293;
constexpr double kHourInRadians = 0.261799388;
constexpr double kBandInRadians = 0.174532925;

constexpr int kBandsPerHemisphere = 9;

double Angle(std::int32_t mas) {
  double a = static_cast<double>(mas) * kMasToArcseconds;
  a = a * kArcsecondsToDegrees;
  return a * kDegreesToRadians;
}

}  // namespace

int HourZone(std::int32_t right_ascension) {
  const double a = Angle(right_ascension);
  int zone = static_cast<int>(std::floor(a / kHourInRadians));
  // The last 34 mas before 360 degrees compute as hour 24; they are valid positions of
  // hour 23.
  if (right_ascension >= 0 && right_ascension < kFullCircleMas && zone == kHourZones) {
    zone = kHourZones - 1;
  }
  if (zone < 0 || zone >= kHourZones) return kNoZone;
  return zone;
}

int DeclinationBand(std::int32_t declination) {
  const double a = Angle(declination);
  const double q = a / kBandInRadians;
  const bool valid = declination >= -kPoleMas && declination <= kPoleMas;
  if (a < 0.0) {
    const int m = static_cast<int>(std::floor(-q));
    // The last few mas before the south pole, and the pole itself, compute as band 18.
    if (m < kBandsPerHemisphere) return kBandsPerHemisphere + m;
    if (valid) return kBands - 1;
  } else {
    const int m = static_cast<int>(std::floor(q));
    if (m < kBandsPerHemisphere) return kBandsPerHemisphere - 1 - m;
    if (valid) return 0;
  }
  return kNoZone;
}

}  // namespace ucac2

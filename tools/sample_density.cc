// The galactic-plane density of the sample catalog.
#include "sample_density.h"

#include <algorithm>
#include <cmath>

#include "base/sky.h"

namespace sample {
namespace {

constexpr int kDensityBins = 1440;  // quarter-degree bins of right ascension
constexpr std::int64_t kBinMas = ucac2::kFullCircleMas / kDensityBins;
static_assert(kBinMas * kDensityBins == ucac2::kFullCircleMas);

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;
// The north galactic pole in the J2000 frame: RA 12h51.4m, Dec +27.13 degrees.
constexpr double kPoleRaDegrees = (12.0 + 51.4 / 60.0) * 15.0;
constexpr double kPoleDecDegrees = 27.13;
// Density relative to the far-from-plane sky: 1 + kPlaneContrast * exp(-(b / kPlaneWidth)^2 / 2).
constexpr double kPlaneContrast = 6.0;
constexpr double kPlaneWidthDegrees = 12.0;

/// Galactic latitude in degrees of a position given in degrees.
double GalacticLatitude(double ra, double dec) {
  const double p = kPoleDecDegrees * kRadiansPerDegree;
  const double d = dec * kRadiansPerDegree;
  const double sin_b =
      std::sin(d) * std::sin(p) +
      std::cos(d) * std::cos(p) * std::cos((ra - kPoleRaDegrees) * kRadiansPerDegree);
  return std::asin(std::clamp(sin_b, -1.0, 1.0)) / kRadiansPerDegree;
}

}  // namespace

RaDensity GalacticDensity(double dec_degrees) {
  RaDensity density;
  density.cumulative.resize(kDensityBins + 1);
  double sum = 0.0;
  density.cumulative[0] = 0.0;
  for (int k = 0; k < kDensityBins; ++k) {
    const double ra = (k + 0.5) * 360.0 / kDensityBins;
    const double b = GalacticLatitude(ra, dec_degrees) / kPlaneWidthDegrees;
    sum += 1.0 + kPlaneContrast * std::exp(-0.5 * b * b);
    density.cumulative[static_cast<std::size_t>(k) + 1] = sum;
  }
  for (double& c : density.cumulative) c /= sum;
  return density;
}

std::int64_t RaAtFraction(const RaDensity& density, double u) {
  const std::vector<double>& c = density.cumulative;
  // The bin k with c[k] <= u < c[k + 1]; every bin has weight, so none is empty.
  const auto above = std::upper_bound(c.begin() + 1, c.end() - 1, u);
  const auto k = static_cast<std::int64_t>(above - c.begin()) - 1;
  const double within = (u - c[static_cast<std::size_t>(k)]) /
                        (c[static_cast<std::size_t>(k) + 1] - c[static_cast<std::size_t>(k)]);
  const auto offset = static_cast<std::int64_t>(std::floor(within * static_cast<double>(kBinMas)));
  // Clamped into the bin, so rounding never carries a position past the next bin's first.
  return k * kBinMas + std::clamp<std::int64_t>(offset, 0, kBinMas - 1);
}

}  // namespace sample

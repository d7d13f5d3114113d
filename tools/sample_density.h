// Where the sample generator puts a strip's stars in right ascension: a smooth density that
// follows the galactic plane, as a table from which sorted positions are drawn.
#pragma once

#include <cstdint>
#include <vector>

namespace sample {

/// The share of a strip's stars in each right-ascension bin, as running sums from 0 to 1.
struct RaDensity {
  std::vector<double> cumulative;  // kDensityBins + 1 values, nondecreasing
};

/// The density along the declination `dec_degrees`: highest where the galactic plane crosses
/// it, falling off with galactic latitude, never zero.
RaDensity GalacticDensity(double dec_degrees);

/// The right ascension in mas (0 .. kFullCircleMas - 1) below which a fraction `u` (0 <= u < 1)
/// of the density lies; nondecreasing in u, so increasing fractions give sorted stars.
std::int64_t RaAtFraction(const RaDensity& density, double u);

}  // namespace sample

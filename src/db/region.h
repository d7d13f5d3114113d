// A region of the sky and what a search of it needs: a cone around a centre or a box of
// right ascension and declination, the blocks that can hold its stars, the part of each block
// to read, and the exact test of each star, at J2000.0 or at another epoch.
#pragma once

#include <cstdint>

#include "base/zones.h"
#include "db/angles.h"
#include "db/block_window.h"
#include "db/separation.h"

namespace ucac2 {

enum class RegionKind { kCone, kBox };

/// A region as given: a cone (`ra`, `dec`, `radius`) or a box from `ra_first` eastward to
/// `ra_last` (across 0 hours when `ra_first` is the larger) and from `dec_low` to `dec_high`.
/// Every edge belongs to the region.
struct Region {
  RegionKind kind = RegionKind::kCone;
  Angle ra, dec, radius;
  Angle ra_first, ra_last, dec_low, dec_high;
};

/// For each hour and band of the database, whether its block is read.
struct BlockSet {
  bool read[kHourZones][kBands] = {};
};

/// The thin strips of declination across a cone, each with its own reach in right ascension:
/// fine enough that few stars outside the cone need their exact distance.
inline constexpr int kConeStrips = 128;

/// What to read and how to test each star read.
struct Plan {
  BlockSet blocks;
  // A cone: its centre in mas, its radius, and for a quick first test the declinations it
  // spans and how far in right ascension from the centre its stars can lie: per band, for
  // the windows read, and per thin strip of declination, for each star read.
  double ra_mas = 0, dec_mas = 0, radius = 0;
  SkyDirection centre;
  double dec_low_mas = 0, dec_high_mas = 0;
  double half_width_mas[kBands] = {};
  double strips_per_mas = 0;
  double strip_half_width_mas[kConeStrips] = {};
  // A box: whole milliarcseconds, edges included; and the part of each block read for it,
  // wider than the box when stars move.
  std::int64_t ra_first = 0, ra_last = 0, dec_low = 0, dec_high = 0;
  bool wraps = false;
  std::int64_t read_ra_first = 0, read_ra_last = 0, read_dec_low = 0, read_dec_high = 0;
  bool read_wraps = false, read_all_ra = false;
  // Stars moved to `years` after J2000.0 and tested where they then stand.
  bool moved = false;
  double years = 0;
};

/// The plan of a search of `region`; of its stars moved to `years` after J2000.0 when
/// `moved`. Its blocks have a margin over the few milliarcseconds by which the zone borders
/// stray from the multiples of 15 and 10 degrees, and over how far a star can move.
Plan MakePlan(const Region& region, bool moved, double years);

/// The distance of a position (mas) from a cone's centre, radians.
double ConeDistance(const Plan& plan, std::int32_t ra, std::int32_t dec);

/// Whether a position lies in the cone; its distance in `*distance` if it does.
bool InCone(const Plan& plan, std::int32_t ra, std::int32_t dec, double* distance);

/// Whether a position lies in the box; its place in the box's order (mas eastward from the
/// first edge) in `*key` if it does.
bool InBox(const Plan& plan, std::int32_t ra, std::int32_t dec, std::uint64_t* key);

/// Where the star of the entry at `entry` stands at the plan's epoch, in whole mas.
void StarPosition(const Plan& plan, const std::uint8_t* entry, std::int32_t* ra, std::int32_t* dec);

/// The parts of hour `hour`'s block in band `band` that can hold the region's stars, into
/// `windows` (room for two): one window, or two for a box across 0 hours. Returns the count.
int RegionWindows(const Plan& plan, RegionKind kind, int hour, int band, SkyWindow* windows);

}  // namespace ucac2

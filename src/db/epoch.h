// Stars moved by their proper motion from the catalog's epoch J2000.0 to another, linearly,
// with the catalog's own convention: pmRA is the rate of the right ascension itself (not
// multiplied by cos Dec), both motions in 0.1 mas a year.
#pragma once

#include <cstdint>

namespace ucac2 {

/// The fastest motion on the sky assumed when choosing the blocks to read for another epoch:
/// 15 arcseconds a year, above the fastest known star's 10.4. Read with the catalog's
/// convention: |pmDE| and |pmRA| x cos Dec (at J2000.0) at most this.
inline constexpr double kMaxProperMotionMasPerYear = 15000.0;

/// The epochs accepted, in years: linear motion means little further away.
inline constexpr double kFirstEpoch = 1000.0;
inline constexpr double kLastEpoch = 3000.0;

/// A position in milliarcseconds, fractions kept.
struct SkyPosition {
  double ra_mas = 0;
  double dec_mas = 0;
};

/// Reads a Julian epoch, decimal years with an optional leading `J` (`2026.9`, `J2026.9`, no
/// exponent), kFirstEpoch..kLastEpoch, as years after J2000.0 rounded once. False otherwise.
bool ParseEpoch(const char* text, double* years_after_j2000);

/// Where a star at (`ra_mas`, `dec_mas`) at J2000.0 stands `years` later (earlier when
/// negative), moving `pm_ra` and `pm_de` mas a year in right ascension and declination: a
/// declination carried over a pole comes back on the other side (reflected, the right
/// ascension turned by 180 degrees), and the right ascension is wrapped into [0, 360 degrees).
SkyPosition MovePosition(double ra_mas, double dec_mas, double pm_ra, double pm_de, double years);

/// The position at `years` after J2000.0 of the star of the 48-byte zone-file entry at
/// `entry`, its motions read from its record (main and supplement stars alike).
SkyPosition EntryPositionAt(const std::uint8_t* entry, double years);

/// EntryPositionAt rounded to whole milliarcseconds, as the catalog gives positions (a right
/// ascension that rounds to the full circle is 0): where searches test and print the star.
void EntryPositionAtMas(const std::uint8_t* entry, double years, std::int32_t* ra,
                        std::int32_t* dec);

/// How far, in mas of right ascension, a star of |declination| at most `abs_dec_mas` at
/// J2000.0 can move in `years` under kMaxProperMotionMasPerYear: the motion over cos Dec, or
/// the full circle when the star could reach a pole (where its right ascension turns).
double RightAscensionReachMas(double years, double abs_dec_mas);

/// How far in declination a star can move in `years`, in mas.
double DeclinationReachMas(double years);

}  // namespace ucac2

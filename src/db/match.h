// Matching a list of targets against the database: for each target the nearest star within a
// radius (or every one), in bounded memory whatever the number of targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "db/star_format.h"

namespace ucac2 {

/// Pieces of targets (a target once per block its circle meets) sorted in memory at most by
/// default; past that, sorted runs go to a temporary file.
inline constexpr std::size_t kDefaultMatchRun = std::size_t{1} << 17;

/// The largest radius a match takes, arcseconds (one degree).
inline constexpr double kMaxMatchRadius = 3600.0;

/// How to match.
struct MatchOptions {
  std::string db = ".";
  double radius_arcsec = 2.0;         // above 0, at most kMaxMatchRadius
  bool all = false;                   // every star within the radius, not the nearest only
  bool unmatched = false;             // targets without a star printed too, with empty star columns
  std::string ra_column, dec_column;  // by name; empty: found among the usual names
  bool mag_min_given = false, mag_max_given = false;
  std::int32_t mag_min = 0, mag_max = 0;  // u2r_mag bounds in hundredths, inclusive
  std::size_t run = kDefaultMatchRun;     // records each sort holds in memory
  StarFormat format = StarFormat::kCsv;
  bool moved = false;  // stars compared and printed at `years` after J2000.0
  double years = 0;
};

/// Matches the targets of the CSV or TSV table `targets` ("-": the standard input) and writes
/// the result to `out` in the options' format: each target's fields, then the star's as find prints
/// them, then sep_arcsec, in the targets' order. A row that cannot be read is named on the standard
/// error stream with its line number and left out. Returns the exit status: 0, or 1 after
/// a finding.
int MatchTargets(const std::string& targets, const MatchOptions& options, std::FILE* out);

}  // namespace ucac2

// The search half of a match: each target cut into the blocks its circle meets, the blocks
// read a window at a time in index order, and the stars within the radius of each target
// found by a sweep along right ascension.
#pragma once

#include <cstdint>
#include <string>

#include "base/star_record.h"
#include "db/findings.h"
#include "db/spill_sort.h"

namespace ucac2 {

/// What a match's temporary files sort, as a failure of one names it.
inline constexpr const char* kTargetsSorted = "the targets";

/// A target within one block: `ra` taken around the circle to that block's hour's side.
struct TargetPiece {
  std::int64_t block = 0;   // hour * kBands + band
  double ra = 0, dec = 0;   // milliarcseconds
  std::int64_t target = 0;  // its place among the targets read, from 0
};

/// A star found for a target.
struct MatchAnswer {
  std::int64_t target = 0;
  double distance = 0;  // radians
  std::uint8_t entry[kEntrySize] = {};
};

bool PieceBefore(const TargetPiece& a, const TargetPiece& b);
/// By target, then distance, then star number.
bool AnswerBefore(const MatchAnswer& a, const MatchAnswer& b);

using PieceSort = SpillSort<TargetPiece, PieceBefore>;
using AnswerSort = SpillSort<MatchAnswer, AnswerBefore>;

/// Stars moved by their proper motion to `years` after J2000.0 when `moved`.
struct Motion {
  bool moved = false;
  double years = 0;
};

/// What the search looks for.
struct MatchSearch {
  std::string db;
  double radius = 0;  // radians
  bool all = false;   // every star within the radius, not the nearest of each block only
  bool mag_min_given = false, mag_max_given = false;
  std::int32_t mag_min = 0, mag_max = 0;  // hundredths of a magnitude, inclusive
  Motion motion;  // targets compared with the stars where they stand at that epoch
};

/// Adds a piece of target `target` at (`ra`, `dec`) mas for every block its circle of
/// `radius` radians can meet, widened by how far a star can move under `motion`. False when
/// the sort failed.
bool AddTargetPieces(PieceSort& pieces, std::int64_t target, double ra, double dec, double radius,
                     const Motion& motion);

/// Reads the blocks of every piece and adds to `answers` each star found: within the radius,
/// every one when `search.all`, otherwise the nearest of each piece. False, after a finding,
/// when a zone file or a temporary file fails.
bool SearchPieces(const MatchSearch& search, PieceSort& pieces, AnswerSort& answers,
                  Findings& findings);

}  // namespace ucac2

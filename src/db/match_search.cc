// Targets are read block by block in index order, a batch at a time. A batch's targets,
// sorted by right ascension, are cut into clusters wherever the stars between two of them
// would cost more to read than a new binary search; each cluster reads one window of the
// block, and each star of it is held against the targets whose circles can reach it.
#include "db/match_search.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/sky.h"
#include "base/zones.h"
#include "db/block_window.h"
#include "db/epoch.h"
#include "db/separation.h"
#include "db/zone_reader.h"

namespace ucac2 {
namespace {

constexpr double kRadiansPerMas = 1.0 / kMasPerRadian;
// Beyond the strays of the zone borders from multiples of 15 and 10 degrees (34 mas at most).
constexpr double kZoneMarginMas = 3600.0;
// A window's edges are widened by this much beyond the circles' exact reach: rounding only.
constexpr double kRoundingMas = 1.0;
constexpr std::size_t kBatchPieces = 1 << 14;
// A cluster ends where the stars skipped by a new binary search would outnumber this.
constexpr double kSkipWorthStars = 4096.0;

// How far in right ascension from its centre a circle at declination `dec` reaches, mas;
// the full circle when it reaches a pole.
double ReachInRa(double dec, double radius) {
  const double to_pole = static_cast<double>(kPoleMas) - std::fabs(dec);
  const double radius_mas = radius / kRadiansPerMas;
  if (radius_mas + kRoundingMas >= to_pole) return kFullCircleMas;
  const double sine = std::sin(radius) / std::sin(to_pole * kRadiansPerMas);
  return sine >= 1.0 ? kFullCircleMas : std::asin(sine) / kRadiansPerMas + kRoundingMas;
}

// How far a star's J2000.0 declination may lie from where it is compared, mas.
double DeclinationMotion(const Motion& motion) {
  return motion.moved ? DeclinationReachMas(motion.years) : 0.0;
}

// How far a star's J2000.0 right ascension may lie from where it is compared, for a circle
// of `radius` radians at declination `dec`, mas.
double RightAscensionMotion(const Motion& motion, double dec, double radius) {
  if (!motion.moved) return 0.0;
  return RightAscensionReachMas(
      motion.years, std::fabs(dec) + radius / kRadiansPerMas + DeclinationMotion(motion));
}

/// A batch of pieces of one block, with what the sweep keeps for each.
struct Batch {
  int hour = 0, band = 0;
  std::vector<TargetPiece> pieces;
  std::vector<SkyDirection> directions;
  std::vector<MatchAnswer> nearest;
  std::vector<bool> found;
};

/// A sweep of one cluster's window: targets [first, last) of the batch.
struct Sweep {
  const MatchSearch& search;
  Batch& batch;
  AnswerSort& answers;
  std::size_t first = 0, last = 0, next = 0;
  double reach = 0;  // right-ascension reach of the cluster's widest circle, mas
  bool failed = false;
};

void Consider(Sweep& sweep, std::size_t t, const std::uint8_t* entry, double distance) {
  Batch& batch = sweep.batch;
  if (sweep.search.all) {
    MatchAnswer answer;
    answer.target = batch.pieces[t].target;
    answer.distance = distance;
    std::copy(entry, entry + kEntrySize, answer.entry);
    sweep.failed = !AddRecord(sweep.answers, answer);
    return;
  }
  MatchAnswer& best = batch.nearest[t];
  if (batch.found[t] && (distance > best.distance ||
                         (distance == best.distance && LoadLE32(entry) > LoadLE32(best.entry)))) {
    return;
  }
  batch.found[t] = true;
  best.distance = distance;
  std::copy(entry, entry + kEntrySize, best.entry);
}

void SweepEntries(void* context, const std::uint8_t* entries, std::size_t count, bool file_start) {
  auto& sweep = *static_cast<Sweep*>(context);
  const MatchSearch& search = sweep.search;
  const std::vector<TargetPiece>& pieces = sweep.batch.pieces;
  const double radius_mas = search.radius / kRadiansPerMas;
  if (file_start) sweep.next = sweep.first;
  for (std::size_t i = 0; i < count && !sweep.failed; ++i) {
    const std::uint8_t* entry = entries + i * kEntrySize;
    // The blocks stand in J2000.0 order; a star is compared where it stands at the epoch.
    const double ra = LoadLE32(entry + kIdentifierSize + kRightAscensionOffset);
    double at_ra = ra, at_dec = LoadLE32(entry + kIdentifierSize + kDeclinationOffset);
    if (search.motion.moved) {
      std::int32_t moved_ra = 0, moved_dec = 0;
      EntryPositionAtMas(entry, search.motion.years, &moved_ra, &moved_dec);
      at_ra = moved_ra;
      at_dec = moved_dec;
    }
    while (sweep.next < sweep.last && pieces[sweep.next].ra < ra - sweep.reach) ++sweep.next;
    if (search.mag_min_given || search.mag_max_given) {
      const std::int32_t mag = EntryMagnitude(entry);
      if ((search.mag_min_given && mag < search.mag_min) ||
          (search.mag_max_given && mag > search.mag_max)) {
        continue;
      }
    }
    for (std::size_t t = sweep.next; t < sweep.last && pieces[t].ra <= ra + sweep.reach; ++t) {
      if (std::fabs(pieces[t].dec - at_dec) > radius_mas + kRoundingMas) continue;
      const double distance = Separation(sweep.batch.directions[t], at_ra, at_dec);
      if (distance <= search.radius) Consider(sweep, t, entry, distance);
    }
  }
}

// The window of the cluster of targets [first, last) of the batch.
SkyWindow ClusterWindow(const Batch& batch, std::size_t first, std::size_t last, double radius,
                        const Motion& motion, double* reach) {
  double dec_low = batch.pieces[first].dec, dec_high = dec_low, widest = 0;
  for (std::size_t t = first; t < last; ++t) {
    const double dec = batch.pieces[t].dec;
    dec_low = std::min(dec_low, dec);
    dec_high = std::max(dec_high, dec);
    widest = std::max(widest, ReachInRa(dec, radius) + RightAscensionMotion(motion, dec, radius));
  }
  *reach = widest;
  const double radius_mas = radius / kRadiansPerMas + kRoundingMas + DeclinationMotion(motion);
  SkyWindow window;
  window.dec_low = static_cast<std::int64_t>(std::floor(dec_low - radius_mas));
  window.dec_high = static_cast<std::int64_t>(std::ceil(dec_high + radius_mas));
  if (widest >= kHalfCircleMas) {
    window.ra_low = 0;
    window.ra_high = static_cast<std::int64_t>(kFullCircleMas);
  } else {
    window.ra_low = static_cast<std::int64_t>(std::floor(batch.pieces[first].ra - widest));
    window.ra_high = static_cast<std::int64_t>(std::ceil(batch.pieces[last - 1].ra + widest));
  }
  return window;
}

bool SearchBatch(const MatchSearch& search, Batch& batch, ZoneReader& zone, EntryBlock& entries,
                 AnswerSort& answers, Findings& findings) {
  const ZoneHead& head = zone.head;
  const std::size_t count = batch.pieces.size();
  batch.directions.resize(count);
  batch.nearest.assign(count, MatchAnswer{});
  batch.found.assign(count, false);
  for (std::size_t t = 0; t < count; ++t) {
    batch.directions[t] = MakeDirection(batch.pieces[t].ra, batch.pieces[t].dec);
  }
  const double stars_per_mas = head.counts[batch.band] / double{kHourMas};
  for (std::size_t first = 0; first < count;) {
    std::size_t last = first + 1;
    while (last < count &&
           (batch.pieces[last].ra - batch.pieces[last - 1].ra) * stars_per_mas < kSkipWorthStars) {
      ++last;
    }
    Sweep sweep{search, batch, answers, first, last, first};
    const SkyWindow window =
        ClusterWindow(batch, first, last, search.radius, search.motion, &sweep.reach);
    if (!ReadWindow(zone, entries, batch.band, window, SweepEntries, &sweep)) {
      Report(findings, zone.path.c_str(), "cannot be read");
      return false;
    }
    if (sweep.failed) {
      ReportTemporaryFileFailure(findings, kTargetsSorted);
      return false;
    }
    first = last;
  }
  for (std::size_t t = 0; t < count; ++t) {
    if (!batch.found[t]) continue;
    batch.nearest[t].target = batch.pieces[t].target;
    if (!AddRecord(answers, batch.nearest[t])) {
      ReportTemporaryFileFailure(findings, kTargetsSorted);
      return false;
    }
  }
  batch.pieces.clear();
  return true;
}

}  // namespace

bool PieceBefore(const TargetPiece& a, const TargetPiece& b) {
  if (a.block != b.block) return a.block < b.block;
  if (a.ra != b.ra) return a.ra < b.ra;
  return a.target < b.target;
}

bool AnswerBefore(const MatchAnswer& a, const MatchAnswer& b) {
  if (a.target != b.target) return a.target < b.target;
  if (a.distance != b.distance) return a.distance < b.distance;
  return LoadLE32(a.entry) < LoadLE32(b.entry);
}

bool AddTargetPieces(PieceSort& pieces, std::int64_t target, double ra, double dec, double radius,
                     const Motion& motion) {
  const double radius_mas = radius / kRadiansPerMas + kZoneMarginMas + DeclinationMotion(motion);
  const double north = dec + radius_mas;
  const double south = dec - radius_mas;
  const int first_band = std::max(0, static_cast<int>(std::floor((kPoleMas - north) / kBandMas)));
  const int last_band =
      std::min(kBands - 1, static_cast<int>(std::floor((kPoleMas - south) / kBandMas)));
  const double reach =
      ReachInRa(dec, radius) + RightAscensionMotion(motion, dec, radius) + kZoneMarginMas;
  int first_hour = 0;
  int last_hour = kHourZones - 1;
  if (reach < kHalfCircleMas) {
    first_hour = static_cast<int>(std::floor((ra - reach) / kHourMas));
    last_hour = static_cast<int>(std::floor((ra + reach) / kHourMas));
  }
  for (int h = first_hour; h <= last_hour; ++h) {
    // An hour below 0 or past 23 is the same hour a circle further round.
    const int turns = h < 0 ? -1 : (h >= kHourZones ? 1 : 0);
    const int hour = h - turns * kHourZones;
    for (int band = first_band; band <= last_band; ++band) {
      TargetPiece piece;
      piece.block = std::int64_t{hour} * kBands + band;
      piece.ra = ra - turns * kFullCircleMas;
      piece.dec = dec;
      piece.target = target;
      if (!AddRecord(pieces, piece)) return false;
    }
  }
  return true;
}

bool SearchPieces(const MatchSearch& search, PieceSort& pieces, AnswerSort& answers,
                  Findings& findings) {
  Batch batch;
  ZoneReader zone;
  EntryBlock entries;
  int open_hour = -1;
  TargetPiece piece;
  for (;;) {
    const int got = NextRecord(pieces, &piece);
    if (got < 0) {
      ReportTemporaryFileFailure(findings, kTargetsSorted);
      return false;
    }
    const bool other_block =
        got == 0 || (!batch.pieces.empty() && piece.block != batch.pieces[0].block);
    if (!batch.pieces.empty() && (other_block || batch.pieces.size() == kBatchPieces)) {
      if (batch.hour != open_hour) {
        zone = ZoneReader{};
        if (!OpenZoneForQuery(search.db, batch.hour, zone, findings)) return false;
        open_hour = batch.hour;
      }
      if (!SearchBatch(search, batch, zone, entries, answers, findings)) {
        return false;
      }
    }
    if (got == 0) return true;
    batch.hour = static_cast<int>(piece.block / kBands);
    batch.band = static_cast<int>(piece.block % kBands);
    batch.pieces.push_back(piece);
  }
}

}  // namespace ucac2

// The identifiers of a database: each in its range, with its cflg bit, once; and the runs
// missing from each range, located by the nearest identifier present.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/always_inline.h"
#include "base/catalog_files.h"
#include "db/findings.h"
#include "db/verify_zones.h"

namespace ucac2 {

struct FreeWords {
  void operator()(std::uint64_t* words) const { std::free(words); }
};

/// One bit per identifier of a range, from calloc: pages never touched cost no memory.
struct Bitmap {
  std::unique_ptr<std::uint64_t, FreeWords> words;
  std::int64_t bits = 0;
};

/// The identifiers seen, by range: main 1..n and supplement 50,000,001..50,000,000+m.
struct Identifiers {
  bool marking = false;    // each identifier's bit is kept
  std::int64_t limit = 0;  // no range can be longer than the entries on disk
  Bitmap main, supplement;
  std::int64_t main_top = 0, supplement_top = 0;  // the highest seen, counted from 1
};

/// Prepares `ids` for a database of `entries` entries whose heads claim `total` stars: marks
/// each identifier when the bitmaps fit in memory, else notes that only ranges and order
/// are checked.
void StartIdentifiers(Identifiers& ids, std::int32_t total, std::int64_t entries);

inline constexpr std::int64_t kLastMainIdentifier = kFirstSupplementIdentifier - 1;

/// Sets bit `k`; true when it was set already.
inline bool TestAndSet(Bitmap& bitmap, std::int64_t k) {
  std::uint64_t& word = bitmap.words.get()[k / 64];
  const std::uint64_t bit = std::uint64_t{1} << (k % 64);
  const bool was_set = (word & bit) != 0;
  word |= bit;
  return was_set;
}

/// Checks the identifier of the entry at `where`: in a range, of the range its cflg bit
/// says (`flagged_supplement`), and seen once. Inline: it runs for every entry.
UCAC2_ALWAYS_INLINE void CheckIdentifier(Identifiers& ids, Zone& zone, Place& where,
                                         std::int32_t identifier, bool flagged_supplement) {
  const bool main = identifier >= 1 && identifier <= ids.limit && identifier <= kLastMainIdentifier;
  const bool supplement =
      identifier > kLastMainIdentifier && identifier - kLastMainIdentifier <= ids.limit;
  if (!main && !supplement) {
    FileReport(zone.out, "%s: identifier %ld is in neither range", where.Text(),
               static_cast<long>(identifier));
    return;
  }
  if (flagged_supplement != supplement) {
    FileReport(zone.out,
               supplement ? "%s: identifier %ld is a supplement one, cflg bit 7 is clear"
                          : "%s: identifier %ld is a main one, cflg bit 7 is set",
               where.Text(), static_cast<long>(identifier));
  }
  const std::int64_t k = supplement ? identifier - kLastMainIdentifier : identifier;
  std::int64_t& top = supplement ? ids.supplement_top : ids.main_top;
  if (k > top) top = k;
  if (ids.marking && TestAndSet(supplement ? ids.supplement : ids.main, k - 1)) {
    FileReport(zone.out, "%s: identifier %ld occurs a second time", where.Text(),
               static_cast<long>(identifier));
  }
}

/// Once every entry is checked, reports the runs of identifiers missing below the highest
/// seen of each range, each with the nearest identifier present and where it stands (read
/// again through `block`).
void CheckIdentifiers(Zones& zones, Identifiers& ids, Findings& findings,
                      const std::string& database, EntryBlock& block);

}  // namespace ucac2

// Checking identifiers with one bit per identifier, and locating the runs missing.
#include "db/verify_ids.h"

#include <cstdio>
#include <vector>

#include "base/catalog_files.h"
#include "base/paths.h"

namespace ucac2 {
namespace {

// The identifier bitmaps: one for the main range and one for the supplement's, of one bit
// per entry on disk each, at most this many bits (7 MiB). Only the pages that identifiers
// touch become resident: (n + m) / 8 bytes for a sound database, 6 MB for the real one.
constexpr std::int64_t kMaxMarkedEntries = std::int64_t{7} * 8 * 1024 * 1024;
constexpr int kMaxLocatedRuns = 10;  // runs of missing identifiers searched for a neighbour

bool AllocateBitmap(Bitmap& bitmap, std::int64_t bits) {
  const auto words = static_cast<std::size_t>((bits + 63) / 64 + 1);
  bitmap.words.reset(static_cast<std::uint64_t*>(std::calloc(words, sizeof(std::uint64_t))));
  bitmap.bits = bits;
  return bitmap.words != nullptr;
}

bool IsSet(const Bitmap& bitmap, std::int64_t k) {
  return (bitmap.words.get()[k / 64] >> (k % 64) & 1) != 0;
}

// A run of identifiers missing from a range, and where its nearest neighbour stands.
struct MissingRun {
  bool supplement = false;
  std::int64_t first = 0, last = 0;  // counted from 1 within the range
  std::int32_t neighbour = 0;
  int hour = -1;
  int band = 0;
  std::int64_t entry = 0;    // in its band
  std::int64_t in_file = 0;  // among its file's entries
};

std::int32_t RangeIdentifier(bool supplement, std::int64_t k) {
  return static_cast<std::int32_t>(supplement ? kLastMainIdentifier + k : k);
}

// Gathers the runs of identifiers missing below the highest seen in a range.
void CollectRuns(const Bitmap& bitmap, std::int64_t top, bool supplement,
                 std::vector<MissingRun>& runs, std::int64_t* more) {
  for (std::int64_t k = 0; k < top;) {
    if ((k % 64) == 0 && bitmap.words.get()[k / 64] == ~std::uint64_t{0} && k + 64 <= top) {
      k += 64;
      continue;
    }
    if (IsSet(bitmap, k)) {
      ++k;
      continue;
    }
    MissingRun run;
    run.supplement = supplement;
    run.first = k + 1;
    while (k < top && !IsSet(bitmap, k)) ++k;
    run.last = k;
    // The identifier before the run, else the one after it (the highest seen is never missing).
    run.neighbour = RangeIdentifier(supplement, run.first > 1 ? run.first - 1 : run.last + 1);
    if (runs.size() < kMaxLocatedRuns) {
      runs.push_back(run);
    } else {
      ++*more;
    }
  }
}

void ReportMissing(Zones& zones, Identifiers& ids, Findings& findings, const std::string& database,
                   EntryBlock& block) {
  std::vector<MissingRun> runs;
  std::int64_t more = 0;
  CollectRuns(ids.main, ids.main_top, false, runs, &more);
  CollectRuns(ids.supplement, ids.supplement_top, true, runs, &more);
  if (runs.empty()) return;
  std::int64_t bytes = 0;
  for (const Zone& zone : zones) bytes += zone.reader.entries * kEntrySize;
  StartProgress("Looking for the missing identifiers' neighbours", bytes);
  std::int64_t done = 0;
  for (Zone& zone : zones) {
    if (!zone.present) continue;
    ForEachEntry(
        zone, block, &done,
        [&](int band, std::int64_t index, std::int64_t in_file, const std::uint8_t* entry) {
          const std::int32_t identifier = LoadLE32(entry);
          for (MissingRun& run : runs) {
            if (run.neighbour == identifier && run.hour < 0) {
              run.hour = zone.hour;
              run.band = band;
              run.entry = index;
              run.in_file = in_file;
            }
          }
        });
  }
  for (const MissingRun& run : runs) {
    const auto first = static_cast<long>(RangeIdentifier(run.supplement, run.first));
    const auto last = static_cast<long>(RangeIdentifier(run.supplement, run.last));
    char missing[64];
    if (first == last) {
      std::snprintf(missing, sizeof missing, "identifier %ld missing", first);
    } else {
      std::snprintf(missing, sizeof missing, "identifiers %ld..%ld missing", first, last);
    }
    if (run.hour < 0) {
      Report(findings, JoinPath(database, kAnyZoneFile).c_str(), "%s", missing);
      continue;
    }
    Zone& zone = zones[static_cast<std::size_t>(run.hour)];
    Place where{&zone, run.band, run.entry, run.in_file};
    FileReport(zone.out, "%s; the nearest identifier present, %ld, is at %s", missing,
               static_cast<long>(run.neighbour), where.Text());
  }
  if (more > 0) {
    for (std::int64_t i = 0; i < more; ++i) CountOnly(findings);
    Note("%s: %lld more runs of missing identifiers", JoinPath(database, kAnyZoneFile).c_str(),
         static_cast<long long>(more));
  }
}

}  // namespace

void StartIdentifiers(Identifiers& ids, std::int32_t total, std::int64_t entries) {
  // A range is at most as long as the entries on disk, or the catalog total when zone files
  // are missing; a claimed total counts only as far as the bitmaps can reach.
  ids.limit = total > entries && total <= kMaxMarkedEntries ? total : entries;
  ids.marking = entries <= kMaxMarkedEntries && AllocateBitmap(ids.main, ids.limit) &&
                AllocateBitmap(ids.supplement, ids.limit);
  if (!ids.marking) {
    Note(
        "Too many entries (%lld) to check that each identifier occurs once: checked their "
        "ranges and order only",
        static_cast<long long>(entries));
  }
}

void CheckIdentifiers(Zones& zones, Identifiers& ids, Findings& findings,
                      const std::string& database, EntryBlock& block) {
  if (!ids.marking) return;
  for (const Zone& zone : zones) {
    // The entries of an unread file are unknown: their identifiers would all be missing.
    if (!zone.present) {
      Note("Identifiers not checked for gaps: a zone file could not be read");
      return;
    }
  }
  ReportMissing(zones, ids, findings, database, block);
}

}  // namespace ucac2

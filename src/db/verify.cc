// Verifying a database: the structure of its zone files and their entries, the identifiers,
// info.txt, and with a catalog the comparison with it, in that order, in fixed memory.
#include "db/verify.h"

#include <cstdint>

#include "base/paths.h"
#include "base/zone_file.h"
#include "db/digests.h"
#include "db/progress.h"
#include "db/verify_catalog.h"
#include "db/verify_ids.h"
#include "db/verify_report.h"
#include "db/verify_structure.h"
#include "db/verify_zones.h"

namespace ucac2 {
namespace {

// The one pass over a zone file's entries: each goes to the checks of its place and of its
// identifier and, with a catalog, to its block's digest.
void ScanZone(Zone& zone, Identifiers& ids, BlockDigests* digests, EntryBlock& block,
              std::int64_t* progress_done) {
  EntryOrder order;
  const std::int64_t failed = ForEachEntry(
      zone, block, progress_done,
      [&](int band, std::int64_t index, std::int64_t in_file, const std::uint8_t* entry) {
        Place where{&zone, band, index, in_file};
        CheckEntryPlace(zone, where, order, entry);
        CheckIdentifier(ids, zone, where, LoadLE32(entry),
                        (entry[kIdentifierSize + kFlagOffset] & kSupplementFlagBit) != 0);
        if (digests != nullptr && band != kNoZone) AddEntry(*digests, zone.hour, band, entry);
      });
  if (failed >= 0) ReportUnreadable(zone.out, failed);
}

}  // namespace

Findings VerifyDatabase(const VerifyRequest& request) {
  Findings findings;
  const std::string& database = request.database;
  const bool with_catalog = !request.catalog.empty();
  CheckWorkFiles(findings, database);

  Zones zones;
  std::int64_t zone_bytes = 0;
  std::int64_t entries = 0;
  int present = 0;
  for (int h = 0; h < kHourZones; ++h) {
    Zone& zone = zones[static_cast<std::size_t>(h)];
    char name[kZoneFileNameSize];
    ZoneFileName(h, name);
    zone.hour = h;
    zone.out = FileFindings{&findings, JoinPath(database, name)};
    ReadHead(zone);
    if (!zone.present) continue;
    ++present;
    CheckHead(zone);
    zone_bytes += zone.reader.entries * kEntrySize;
    entries += zone.reader.entries;
  }
  const std::int32_t total = CheckTotals(zones, findings, database);

  Identifiers ids;
  StartIdentifiers(ids, total, entries);
  BlockDigestsPtr stored;
  if (with_catalog) stored = NewBlockDigests();
  EntryBlock block;
  StartProgress("Checking the zone files", zone_bytes);
  std::int64_t done = 0;
  for (Zone& zone : zones) {
    if (zone.present) ScanZone(zone, ids, stored.get(), block, &done);
  }
  CheckIdentifiers(zones, ids, findings, database, block);
  CheckReport(zones, findings, database);

  int catalog_files = 0;
  std::int64_t catalog_stars = 0;
  if (with_catalog) {
    CompareWithCatalog(zones, *stored, request.catalog, findings, &catalog_files, &catalog_stars);
  }
  for (Zone& zone : zones) FinishFile(zone.out);
  ClearProgress();
  const auto found = static_cast<long long>(findings.total);
  if (with_catalog) {
    Note(
        "%d zone files and info.txt checked against %d catalog files: %lld entries, %lld stars, "
        "%lld %s",
        present, catalog_files, static_cast<long long>(entries),
        static_cast<long long>(catalog_stars), found, FindingsWord(found));
  } else {
    Note("%d zone files and info.txt checked: %lld entries, %lld %s", present,
         static_cast<long long>(entries), found, FindingsWord(found));
  }
  return findings;
}

}  // namespace ucac2

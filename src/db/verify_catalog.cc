// Comparing a database with its catalog.
#include "db/verify_catalog.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "base/zone_file.h"
#include "db/catalog_walk.h"
#include "db/progress.h"

namespace ucac2 {
namespace {

constexpr int kMaxProbes = 8;  // differing blocks searched for their first difference

}  // namespace

void CompareWithCatalog(Zones& zones, const BlockDigests& stored, const std::string& catalog,
                        Findings& findings, int* catalog_files, std::int64_t* catalog_stars) {
  const BlockDigestsPtr compiled = NewBlockDigests();
  const std::int64_t catalog_bytes = CatalogBytes(catalog);
  StartProgress("Reading the catalog", catalog_bytes);
  std::int64_t done = 0;
  const CatalogTally tally = DigestCatalog(catalog, *compiled, findings, &done);
  *catalog_files = tally.files;
  *catalog_stars = tally.stars;

  std::vector<BlockProbe> probes;
  std::vector<std::pair<int, int>> differing;
  for (const Zone& zone : zones) {
    if (!zone.present) continue;
    for (int b = 0; b < kBands; ++b) {
      if (BlockCount(stored, zone.hour, b) == BlockCount(*compiled, zone.hour, b) &&
          BlockDigest(stored, zone.hour, b) == BlockDigest(*compiled, zone.hour, b)) {
        continue;
      }
      differing.emplace_back(zone.hour, b);
      if (zone.reader.fits && probes.size() < kMaxProbes) {
        BlockProbe probe;
        probe.hour = zone.hour;
        probe.band = b;
        probe.zone_path = zone.out.name;
        probe.first_entry = (zone.reader.head.offsets[b] - kFirstBlockOffset) / kEntrySize;
        probe.entries = zone.reader.head.counts[b];
        probes.push_back(probe);
      }
    }
  }
  if (!probes.empty()) {
    StartProgress("Looking for the first differences", catalog_bytes);
    done = 0;
    LocateDifferences(catalog, probes, &done);
  }
  for (const auto& [hour, band] : differing) {
    char where[256] = "";
    for (const BlockProbe& probe : probes) {
      if (probe.hour != hour || probe.band != band || !probe.located) continue;
      const auto entry = static_cast<long long>(probe.entry) + 1;
      if (probe.byte >= 0) {
        std::snprintf(where, sizeof where,
                      "; entry %lld differs from %s record %lld (identifier %ld) from byte %d",
                      entry, probe.catalog_file.c_str(), static_cast<long long>(probe.record),
                      static_cast<long>(probe.identifier), probe.byte);
      } else if (probe.zone_ended) {
        std::snprintf(where, sizeof where,
                      "; the block ends before entry %lld, %s record %lld (identifier %ld)", entry,
                      probe.catalog_file.c_str(), static_cast<long long>(probe.record),
                      static_cast<long>(probe.identifier));
      } else {
        std::snprintf(where, sizeof where, "; entry %lld and after are not in the catalog", entry);
      }
    }
    Zone& zone = zones[static_cast<std::size_t>(hour)];
    const std::int64_t has = BlockCount(stored, hour, band);
    const std::int64_t wants = BlockCount(*compiled, hour, band);
    if (has != wants) {
      FileReport(zone.out, "band %d: %lld entries, the catalog compiles to %lld%s", band,
                 static_cast<long long>(has), static_cast<long long>(wants), where);
    } else {
      FileReport(zone.out, "band %d: not what the catalog compiles to%s", band, where);
    }
  }
}

}  // namespace ucac2

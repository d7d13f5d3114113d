// Checking the structure of the zone files.
#include "db/verify_structure.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/paths.h"
#include "base/zone_file.h"

namespace ucac2 {
namespace {

constexpr const char* kWorkFilePrefixes[] = {"TMPA", "TMPB"};

// The catalog total that most heads agree on; on a tie, the one the hour counts add up to,
// else the first.
std::int32_t MajorityTotal(const Zones& zones, bool all_present, std::int64_t hour_sum) {
  std::int32_t best = 0;
  int best_votes = 0;
  bool best_adds_up = false;
  for (const Zone& zone : zones) {
    if (!zone.present) continue;
    int votes = 0;
    for (const Zone& other : zones) {
      if (other.present && other.reader.head.catalog_total == zone.reader.head.catalog_total)
        ++votes;
    }
    const bool adds_up = all_present && zone.reader.head.catalog_total == hour_sum;
    if (votes > best_votes || (votes == best_votes && adds_up && !best_adds_up)) {
      best = zone.reader.head.catalog_total;
      best_votes = votes;
      best_adds_up = adds_up;
    }
  }
  return best;
}

}  // namespace

void CheckWorkFiles(Findings& findings, const std::string& database) {
  namespace fs = std::filesystem;
  // Asked once, and only when a work file is there.
  int running = -1;
  std::error_code error;
  for (fs::directory_iterator it(database, error), end; !error && it != end; it.increment(error)) {
    const fs::path file_name = it->path().filename();
    const fs::path::string_type& name = file_name.native();
    for (const char* prefix : kWorkFilePrefixes) {
      bool match = name.size() >= std::strlen(prefix);
      for (std::size_t i = 0; match && prefix[i] != '\0'; ++i) {
        match = name[i] == static_cast<fs::path::value_type>(prefix[i]);
      }
      if (!match) continue;
      std::string shown;
      try {
        shown = file_name.string();
      } catch (const std::exception&) {
        shown = std::string(prefix) + "...";
      }
      if (running < 0) running = CompilationRunsIn(database.c_str()) ? 1 : 0;
      Report(findings, JoinPath(database, shown.c_str()).c_str(), "a work file: %s",
             running == 1 ? "a compilation is running in this folder"
                          : "a compilation did not end cleanly");
    }
  }
}

void ReadHead(Zone& zone) {
  switch (OpenZone(zone.out.name, zone.reader)) {
    case ZoneOpening::kMissing:
      FileReport(zone.out, "zone file missing");
      return;
    case ZoneOpening::kUnknown:
      FileReport(zone.out, "cannot be read");  // a link loop, say: as check-catalog
      return;
    case ZoneOpening::kNotRegular:
      FileReport(zone.out, "not a regular file");
      return;
    case ZoneOpening::kUnopenable:
      FileReport(zone.out, "cannot be opened");
      return;
    case ZoneOpening::kShort:
      FileReport(zone.out, "%lld bytes, shorter than the %d-byte head",
                 static_cast<long long>(zone.reader.size), kFirstBlockOffset);
      return;
    case ZoneOpening::kUnreadable:
      ReportUnreadable(zone.out, 0);
      return;
    case ZoneOpening::kOpened:
      zone.present = true;
      return;
  }
}

void CheckHead(Zone& zone) {
  const ZoneHead& head = zone.reader.head;
  if (head.hour_count < 0) {
    FileReport(zone.out, "hour count %ld is negative", static_cast<long>(head.hour_count));
  }
  std::int64_t stars = 0;
  // Each offset is held against the block before it, so that one wrong count or offset
  // shows once or twice, not in every band after it.
  std::int64_t expected = kFirstBlockOffset;
  for (int b = 0; b < kBands; ++b) {
    if (head.counts[b] < 0) {
      FileReport(zone.out, "band %d: count %ld is negative", b, static_cast<long>(head.counts[b]));
    } else {
      stars += head.counts[b];
    }
    if (head.offsets[b] != expected) {
      FileReport(zone.out, "band %d: offset %ld, the block before it ends at %lld", b,
                 static_cast<long>(head.offsets[b]), static_cast<long long>(expected));
    }
    expected = std::int64_t{head.offsets[b]} + std::int64_t{kEntrySize} * head.counts[b];
  }
  if (stars != head.hour_count) {
    FileReport(zone.out, "hour count %ld, its band counts add up to %lld",
               static_cast<long>(head.hour_count), static_cast<long long>(stars));
  }
  const std::int64_t implied =
      kFirstBlockOffset + std::int64_t{kEntrySize} * std::int64_t{head.hour_count};
  if (zone.reader.size != implied) {
    FileReport(zone.out, "%lld bytes, its hour count implies %lld",
               static_cast<long long>(zone.reader.size), static_cast<long long>(implied));
  }
}

std::int32_t CheckTotals(Zones& zones, Findings& findings, const std::string& database) {
  bool all_present = true, all_laid_out = true;
  std::int64_t hour_sum = 0;
  for (const Zone& zone : zones) {
    all_present = all_present && zone.present;
    all_laid_out = all_laid_out && zone.reader.fits;
    if (zone.present) hour_sum += zone.reader.head.hour_count;
  }
  const std::int32_t total = MajorityTotal(zones, all_present, hour_sum);
  for (Zone& zone : zones) {
    if (zone.present && zone.reader.head.catalog_total != total) {
      FileReport(zone.out, "catalog total %ld, the other zone files say %ld",
                 static_cast<long>(zone.reader.head.catalog_total), static_cast<long>(total));
    }
  }
  // A head that does not fit its file has been reported; its hour count proves nothing.
  if (all_laid_out && hour_sum != total) {
    Report(findings, JoinPath(database, kAnyZoneFile).c_str(),
           "the hour counts add up to %lld, the catalog total is %ld",
           static_cast<long long>(hour_sum), static_cast<long>(total));
  }
  return total;
}

}  // namespace ucac2

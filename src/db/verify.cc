// The checks of a compiled database, file by file, block by block, in fixed memory.
#include "db/verify.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/catalog_files.h"
#include "base/file.h"
#include "base/paths.h"
#include "base/star_record.h"
#include "base/zone_file.h"
#include "base/zones.h"
#include "db/catalog_walk.h"
#include "db/digests.h"
#include "db/findings.h"
#include "db/progress.h"
#include "db/zone_reader.h"

namespace ucac2 {
namespace {

// The identifier bitmaps: one for the main range and one for the supplement's, of one bit
// per entry on disk each, at most this many bits (7 MiB). Only the pages that identifiers
// touch become resident: (n + m) / 8 bytes for a sound database, 6 MB for the real one.
constexpr std::int64_t kMaxMarkedEntries = std::int64_t{7} * 8 * 1024 * 1024;
constexpr std::int64_t kLastMainIdentifier = kFirstSupplementIdentifier - 1;
constexpr int kMaxLocatedRuns = 10;  // runs of missing identifiers searched for a neighbour
constexpr int kMaxProbes = 8;        // differing blocks searched for their first difference
// Room for the expected report and a line more, to show what follows it.
constexpr std::size_t kReportSlack = 4096;
constexpr int kMaxShownLine = 100;
constexpr const char* kAnyZoneFile = "UCAC2_*.dat";
constexpr const char* kWorkFilePrefixes[] = {"TMPA", "TMPB"};

// Report lines: the total, a blank, the hour counts, their sum, a blank, then per hour its
// title and its bands.
constexpr int kFirstHourCountLine = 2;
constexpr int kCheckTotalLine = kFirstHourCountLine + kHourZones;
constexpr int kFirstHourBlockLine = kCheckTotalLine + 2;
constexpr int kHourBlockLines = 1 + kBands;

struct Zone {
  int hour = 0;
  FileFindings out;
  bool present = false;  // its head was read
  ZoneReader reader;     // its head, and whether it fits the file (the blocks stand where the
                         // index says)
};
using Zones = std::array<Zone, kHourZones>;

struct FreeWords {
  void operator()(std::uint64_t* words) const { std::free(words); }
};

// One bit per identifier of a range, from calloc: pages never touched cost no memory.
struct Bitmap {
  std::unique_ptr<std::uint64_t, FreeWords> words;
  std::int64_t bits = 0;
};

bool AllocateBitmap(Bitmap& bitmap, std::int64_t bits) {
  const auto words = static_cast<std::size_t>((bits + 63) / 64 + 1);
  bitmap.words.reset(static_cast<std::uint64_t*>(std::calloc(words, sizeof(std::uint64_t))));
  bitmap.bits = bits;
  return bitmap.words != nullptr;
}

// Sets bit `k`; true when it was set already.
bool TestAndSet(Bitmap& bitmap, std::int64_t k) {
  std::uint64_t& word = bitmap.words.get()[k / 64];
  const std::uint64_t bit = std::uint64_t{1} << (k % 64);
  const bool was_set = (word & bit) != 0;
  word |= bit;
  return was_set;
}

bool IsSet(const Bitmap& bitmap, std::int64_t k) {
  return (bitmap.words.get()[k / 64] >> (k % 64) & 1) != 0;
}

// The identifiers seen, by range: main 1..n and supplement 50,000,001..50,000,000+m.
struct Identifiers {
  bool marking = false;    // each identifier's bit is kept
  std::int64_t limit = 0;  // no range can be longer than the entries on disk
  Bitmap main, supplement;
  std::int64_t main_top = 0, supplement_top = 0;  // the highest seen, counted from 1
};

// A run of identifiers missing from a range, and where its nearest neighbour stands.
struct MissingRun {
  bool supplement = false;
  std::int64_t first = 0, last = 0;  // counted from 1 within the range
  std::int32_t neighbour = 0;
  int hour = -1;
  int band = 0;
  std::int64_t entry = 0;
};

std::int32_t RangeIdentifier(bool supplement, std::int64_t k) {
  return static_cast<std::int32_t>(supplement ? kLastMainIdentifier + k : k);
}

// Where an entry is, for a finding: its block and place there when the head holds, else its
// place in the file. Spelled out only when a finding needs it.
struct Place {
  const Zone* zone;
  int band;
  std::int64_t index;    // in its block, or its run of one band
  std::int64_t in_file;  // among the file's entries
  char text[64] = "";

  const char* Text() {
    if (text[0] != '\0') return text;
    if (zone->reader.fits) {
      std::snprintf(text, sizeof text, "band %d, entry %lld", band,
                    static_cast<long long>(index) + 1);
    } else {
      std::snprintf(text, sizeof text, "entry %lld of the file",
                    static_cast<long long>(in_file) + 1);
    }
    return text;
  }
};

// Hands each entry of a zone file to `visit` with its band (the index's block, or, when the
// head does not fit the file, the band its declination gives, kNoZone included), its place in
// that block's run and in the file. Returns -1, or the offset at which reading failed.
template <typename Visit>
std::int64_t ForEachEntry(Zone& zone, std::int64_t* progress_done, Visit visit) {
  ZoneReader& reader = zone.reader;
  const bool laid_out = reader.fits;
  int band = 0;
  int run_band = kNoZone - 1;
  std::int64_t index = 0;
  std::int64_t done = 0;
  StartEntries(reader, 0, reader.entries);
  const std::uint8_t* entries = nullptr;
  std::int64_t count;
  while ((count = NextEntries(reader, &entries)) > 0) {
    *progress_done += count * kEntrySize;
    UpdateProgress(*progress_done);
    for (std::int64_t i = 0; i < count; ++i, ++done, ++index) {
      const std::uint8_t* entry = entries + i * kEntrySize;
      if (laid_out) {
        // The counts add up to the entries: a band remains for every entry.
        while (index == reader.head.counts[band]) {
          ++band;
          index = 0;
        }
      } else {
        band = DeclinationBand(LoadLE32(entry + kIdentifierSize + kDeclinationOffset));
        if (band != run_band) {
          run_band = band;
          index = 0;
        }
      }
      visit(band, index, done, entry);
    }
  }
  return count < 0 ? NextEntryOffset(reader) : -1;
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

// Returns the catalog total the heads agree on.
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

void CheckIdentifier(Identifiers& ids, Zone& zone, Place& where, std::int32_t identifier,
                     bool flagged_supplement) {
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

void ScanZone(Zone& zone, Identifiers& ids, BlockDigests* digests, std::int64_t* progress_done) {
  std::int32_t previous = 0;
  int previous_band = kNoZone;
  const std::int64_t failed = ForEachEntry(
      zone, progress_done,
      [&](int band, std::int64_t index, std::int64_t in_file, const std::uint8_t* entry) {
        Place where{&zone, band, index, in_file};
        const std::uint8_t* record = entry + kIdentifierSize;
        const std::int32_t identifier = LoadLE32(entry);
        const std::int32_t ra = LoadLE32(record + kRightAscensionOffset);
        const std::int32_t dec = LoadLE32(record + kDeclinationOffset);
        if (HourZone(ra) != zone.hour) {
          FileReport(zone.out, "%s: right ascension %ld mas is not in hour %d", where.Text(),
                     static_cast<long>(ra), zone.hour);
        }
        if (zone.reader.fits) {
          if (DeclinationBand(dec) != band) {
            FileReport(zone.out, "%s: declination %ld mas is not in band %d", where.Text(),
                       static_cast<long>(dec), band);
          }
        } else if (band == kNoZone) {
          FileReport(zone.out, "%s: declination %ld mas is in no band", where.Text(),
                     static_cast<long>(dec));
        } else if (band < previous_band) {
          FileReport(zone.out, "%s: declination %ld mas of band %d, after band %d", where.Text(),
                     static_cast<long>(dec), band, previous_band);
        }
        if (index > 0 && identifier <= previous) {
          FileReport(zone.out, "%s: identifier %ld after %ld, not increasing", where.Text(),
                     static_cast<long>(identifier), static_cast<long>(previous));
        }
        CheckIdentifier(ids, zone, where, identifier,
                        (record[kFlagOffset] & kSupplementFlagBit) != 0);
        if (digests != nullptr && band != kNoZone) AddEntry(*digests, zone.hour, band, entry);
        previous = identifier;
        if (band != kNoZone) previous_band = band;
      });
  if (failed >= 0) ReportUnreadable(zone.out, failed);
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

void ReportMissing(Zones& zones, Identifiers& ids, Findings& findings,
                   const std::string& database) {
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
    ForEachEntry(zone, &done,
                 [&](int band, std::int64_t index, std::int64_t, const std::uint8_t* entry) {
                   const std::int32_t identifier = LoadLE32(entry);
                   for (MissingRun& run : runs) {
                     if (run.neighbour == identifier && run.hour < 0) {
                       run.hour = zone.hour;
                       run.band = band;
                       run.entry = index;
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
    Place where{&zone, run.band, run.entry, run.entry};
    FileReport(zone.out, "%s; the nearest identifier present, %ld, is at %s", missing,
               static_cast<long>(run.neighbour), where.Text());
  }
  if (more > 0) {
    for (std::int64_t i = 0; i < more; ++i) CountOnly(findings);
    Note("%s: %lld more runs of missing identifiers", JoinPath(database, kAnyZoneFile).c_str(),
         static_cast<long long>(more));
  }
}

void CheckIdentifiers(Zones& zones, Identifiers& ids, Findings& findings,
                      const std::string& database) {
  if (!ids.marking) return;
  for (const Zone& zone : zones) {
    // The entries of an unread file are unknown: their identifiers would all be missing.
    if (!zone.present) {
      Note("Identifiers not checked for gaps: a zone file could not be read");
      return;
    }
  }
  ReportMissing(zones, ids, findings, database);
}

// The hour a report line depends on; kAllHours for the totals, kNoHour for a constant line.
constexpr int kAllHours = -1;
constexpr int kNoHour = -2;
int LineHour(std::size_t line) {
  const auto i = static_cast<int>(line);
  if (i == 0 || i == kCheckTotalLine) return kAllHours;
  if (i >= kFirstHourCountLine && i < kCheckTotalLine) return i - kFirstHourCountLine;
  if (i >= kFirstHourBlockLine) return (i - kFirstHourBlockLine) / kHourBlockLines;
  return kNoHour;
}

// A report line as it can be shown in a finding: no line end, no control bytes, not long.
std::string Shown(const char* bytes, std::size_t size) {
  std::string shown;
  for (std::size_t i = 0; i < size && bytes[i] != '\r' && bytes[i] != '\n'; ++i) {
    if (shown.size() == kMaxShownLine) {
      shown += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(bytes[i]);
    shown += c < 0x20 || c >= 0x7f ? '?' : static_cast<char>(c);
  }
  return shown;
}

void CheckReport(const Zones& zones, Findings& findings, const std::string& database) {
  std::int32_t hour_counts[kHourZones] = {};
  BandTable offsets = {}, counts = {};
  std::int64_t hour_sum = 0;
  bool all_usable = true;
  for (const Zone& zone : zones) {
    all_usable = all_usable && zone.reader.fits;
    if (!zone.reader.fits) continue;
    hour_counts[zone.hour] = zone.reader.head.hour_count;
    hour_sum += zone.reader.head.hour_count;
    for (int b = 0; b < kBands; ++b) {
      offsets[zone.hour][b] = zone.reader.head.offsets[b];
      counts[zone.hour][b] = zone.reader.head.counts[b];
    }
  }
  std::vector<std::string> expected;
  ComposeReport(
      static_cast<std::int32_t>(hour_sum), hour_counts, offsets, counts,
      [](void* context, const char* line, std::size_t size) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(line, size);
      },
      &expected);
  std::size_t expected_size = 0;
  for (const std::string& line : expected) expected_size += line.size();

  FileFindings out{&findings, JoinPath(database, kReportName)};
  const char* path = out.name.c_str();
  std::int64_t size = 0;
  const PathKind kind = QueryPathKind(path, &size);
  if (kind == PathKind::kMissing) {
    FileReport(out, "report missing");
    return;
  }
  if (kind == PathKind::kUnknown) {
    FileReport(out, "cannot be read");
    return;
  }
  File file;
  if (kind == PathKind::kRegularFile) file = OpenForReading(path);
  if (!file.is_open()) {
    FileReport(out, kind == PathKind::kOther ? "not a regular file" : "cannot be opened");
    return;
  }
  const std::size_t wanted = static_cast<std::uint64_t>(size) < expected_size + kReportSlack
                                 ? static_cast<std::size_t>(size)
                                 : expected_size + kReportSlack;
  std::string actual(wanted, '\0');
  if (ReadBytes(file, actual.data(), wanted) != static_cast<std::int64_t>(wanted)) {
    ReportUnreadable(out, 0);
    FinishFile(out);
    return;
  }
  std::size_t position = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (position >= actual.size()) {
      FileReport(out, "ends after line %lld, the zone files imply %lld lines",
                 static_cast<long long>(i), static_cast<long long>(expected.size()));
      break;
    }
    const std::size_t end = actual.find('\n', position);
    const std::size_t next = end == std::string::npos ? actual.size() : end + 1;
    const int hour = LineHour(i);
    const bool usable =
        hour == kNoHour ||
        (hour == kAllHours ? all_usable : zones[static_cast<std::size_t>(hour)].reader.fits);
    const std::string_view line(actual.data() + position, next - position);
    if (usable && line != expected[i]) {
      // Two lines that print alike: say what differs.
      if (line.ends_with('\n') && line.size() + 1 == expected[i].size() &&
          expected[i].ends_with("\r\n") &&
          expected[i].starts_with(line.substr(0, line.size() - 1))) {
        FileReport(out, "line %lld ends in LF alone; its CR LF line end is missing the CR",
                   static_cast<long long>(i) + 1);
      } else {
        FileReport(out, "line %lld reads \"%s\", the zone files imply \"%s\"",
                   static_cast<long long>(i) + 1, Shown(line.data(), line.size()).c_str(),
                   Shown(expected[i].data(), expected[i].size()).c_str());
      }
    }
    position = next;
  }
  if (position < actual.size() || static_cast<std::uint64_t>(size) > actual.size()) {
    FileReport(out, "more than the %lld lines the zone files imply",
               static_cast<long long>(expected.size()));
  }
  FinishFile(out);
}

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

  // A range is at most as long as the entries on disk, or the catalog total when zone files
  // are missing; a claimed total counts only as far as the bitmaps can reach.
  Identifiers ids;
  ids.limit = total > entries && total <= kMaxMarkedEntries ? total : entries;
  ids.marking = entries <= kMaxMarkedEntries && AllocateBitmap(ids.main, ids.limit) &&
                AllocateBitmap(ids.supplement, ids.limit);
  if (!ids.marking) {
    Note(
        "Too many entries (%lld) to check that each identifier occurs once: checked their "
        "ranges and order only",
        static_cast<long long>(entries));
  }
  BlockDigestsPtr stored;
  if (with_catalog) stored = NewBlockDigests();
  StartProgress("Checking the zone files", zone_bytes);
  std::int64_t done = 0;
  for (Zone& zone : zones) {
    if (zone.present) ScanZone(zone, ids, stored.get(), &done);
  }
  CheckIdentifiers(zones, ids, findings, database);
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

// Block digests from the catalog and the zone files, and the search for a first difference.
#include "db/digests.h"

#include <cstring>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "base/catalog_files.h"
#include "base/file.h"
#include "base/star_record.h"
#include "base/zones.h"
#include "db/catalog_walk.h"
#include "db/progress.h"
#include "db/zone_reader.h"

namespace ucac2 {

struct BlockDigests {
  XXH3_state_t states[kHourZones][kBands];
  std::int64_t counts[kHourZones][kBands];
};

void BlockDigestsFree::operator()(BlockDigests* digests) const { delete digests; }

BlockDigestsPtr NewBlockDigests() {
  BlockDigestsPtr digests(new BlockDigests);
  for (int h = 0; h < kHourZones; ++h) {
    for (int b = 0; b < kBands; ++b) {
      XXH3_64bits_reset(&digests->states[h][b]);
      digests->counts[h][b] = 0;
    }
  }
  return digests;
}

void AddEntry(BlockDigests& digests, int hour, int band, const std::uint8_t* entry) {
  XXH3_64bits_update(&digests.states[hour][band], entry, kEntrySize);
  ++digests.counts[hour][band];
}

std::uint64_t BlockDigest(const BlockDigests& digests, int hour, int band) {
  return XXH3_64bits_digest(&digests.states[hour][band]);
}

std::int64_t BlockCount(const BlockDigests& digests, int hour, int band) {
  return digests.counts[hour][band];
}

namespace {

// The compiler stops at the first record it cannot place, in catalog order: that record's
// finding alone says so.
const char* StopsHere(bool* told) {
  if (*told) return "";
  *told = true;
  return "; the compilation stops here";
}

// Reads the catalog in reading order and hands every star that has a block to `visit`, as the
// compiler would file it. With `findings` null, reads without reporting (a second reading).
template <typename Visit>
CatalogTally WalkCatalog(const std::string& directory, Findings* findings,
                         std::int64_t* progress_done, Visit visit) {
  CatalogTally tally;
  RecordBlock block;
  // 64 bits: a hostile catalog may hold more stars than 32 bits count; the compiler would
  // refuse it long before, so the entries of such stars need not be faithful.
  std::int64_t identifier = 0;
  bool stop_told = false;
  for (int n = 1; n <= kCatalogFiles; ++n) {
    CatalogInput input = OpenCatalogFile(directory, n);
    const bool supplement = input.file.kind == FileKind::kSupplement;
    if (supplement && input.file.number == 1) identifier = kFirstSupplementIdentifier - 1;
    FileFindings out{findings, input.path};
    const char* path = input.path.c_str();
    const bool report = findings != nullptr;
    if (input.kind == PathKind::kMissing) {
      if (report) FileReport(out, "catalog file missing");
      continue;
    }
    if (input.kind == PathKind::kUnknown) {
      if (report) FileReport(out, "cannot be read");  // a link loop, say: as check-catalog
      continue;
    }
    if (!input.handle.is_open()) {
      if (report) {
        FileReport(out, input.kind == PathKind::kOther ? "not a regular file" : "cannot be opened");
      }
      continue;
    }
    ++tally.files;
    // Bytes after the last whole record are ignored, as the compiler ignores them.
    std::int64_t record = 0;
    std::int64_t count;
    while ((count = ReadRecords(input, block)) > 0) {
      *progress_done += count * kRecordSize;
      UpdateProgress(*progress_done);
      const std::uint8_t* bytes = block.bytes.get();
      for (std::int64_t i = 0; i < count; ++i) {
        ++record;
        ++identifier;
        StarRecord star;
        std::memcpy(star.bytes, bytes + i * kRecordSize, kRecordSize);
        const int hour = HourZone(RightAscension(star));
        const int band = DeclinationBand(Declination(star));
        if (report && IsSupplementStar(star) != supplement) {
          FileReport(out,
                     supplement ? "record %lld: cflg bit 7 clear in a supplement file%s"
                                : "record %lld: cflg bit 7 set in a main file%s",
                     static_cast<long long>(record), StopsHere(&stop_told));
        }
        if (hour == kNoZone || band == kNoZone) {
          if (report) {
            FileReport(out, "record %lld: right ascension %ld mas, declination %ld mas: no zone%s",
                       static_cast<long long>(record), static_cast<long>(RightAscension(star)),
                       static_cast<long>(Declination(star)), StopsHere(&stop_told));
          }
          continue;
        }
        CatalogEntry entry;
        BuildEntry(static_cast<std::int32_t>(static_cast<std::uint32_t>(identifier)), star, &entry);
        visit(hour, band, entry.bytes, path, record);
      }
    }
    if (count < 0 && report) ReportUnreadable(out, RecordsOffset(input));
    tally.stars += input.size / kRecordSize;
    if (report) FinishFile(out);
  }
  return tally;
}

// A probed block of a zone file, read along with the catalog.
struct ProbeReader {
  BlockProbe* probe = nullptr;
  ZoneReader zone;
  EntryBlock block;
  std::int64_t position = 0;  // next entry in the block
  std::int64_t seen = 0;      // entries compared
  bool failed = false;
};

// The next entry of the block, or null at its end or on a read failure.
const std::uint8_t* NextEntry(ProbeReader& reader) {
  if (reader.position == reader.block.count) {
    const std::int64_t count = NextEntries(reader.zone, reader.block);
    if (count <= 0) {
      reader.failed = count < 0;
      return nullptr;
    }
    reader.position = 0;
  }
  return reader.block.bytes.get() + kEntrySize * reader.position++;
}

}  // namespace

CatalogTally DigestCatalog(const std::string& directory, BlockDigests& digests, Findings& findings,
                           std::int64_t* progress_done) {
  return WalkCatalog(directory, &findings, progress_done,
                     [&digests](int hour, int band, const std::uint8_t* entry, const char*,
                                std::int64_t) { AddEntry(digests, hour, band, entry); });
}

void LocateDifferences(const std::string& directory, std::vector<BlockProbe>& probes,
                       std::int64_t* progress_done) {
  int probed[kHourZones][kBands];
  for (auto& hour : probed) {
    for (int& index : hour) index = -1;
  }
  std::vector<ProbeReader> readers(probes.size());
  for (std::size_t i = 0; i < probes.size(); ++i) {
    ProbeReader& reader = readers[i];
    reader.probe = &probes[i];
    // The head is read again: the file may have changed since it was checked.
    if (OpenZone(probes[i].zone_path, reader.zone) != ZoneOpening::kOpened) {
      reader.failed = true;
      continue;
    }
    StartEntries(reader.zone, probes[i].first_entry, probes[i].entries);
    probed[probes[i].hour][probes[i].band] = static_cast<int>(i);
  }
  WalkCatalog(
      directory, nullptr, progress_done,
      [&](int hour, int band, const std::uint8_t* entry, const char* file, std::int64_t record) {
        const int index = probed[hour][band];
        if (index < 0) return;
        ProbeReader& reader = readers[static_cast<std::size_t>(index)];
        BlockProbe& probe = *reader.probe;
        if (probe.located || reader.failed) return;
        const std::uint8_t* stored = NextEntry(reader);
        if (reader.failed) return;
        int byte = -1;
        if (stored != nullptr) {
          for (int k = 0; k < kEntrySize && byte < 0; ++k) {
            if (stored[k] != entry[k]) byte = k;
          }
          if (byte < 0) {
            ++reader.seen;
            return;
          }
        }
        probe.located = true;
        probe.entry = reader.seen;
        probe.byte = byte;
        probe.zone_ended = stored == nullptr;
        probe.catalog_file = file;
        probe.record = record;
        probe.identifier = LoadLE32(entry);
      });
  for (ProbeReader& reader : readers) {
    BlockProbe& probe = *reader.probe;
    // The catalog ended first: the block's next entry is one the catalog does not have.
    if (!probe.located && !reader.failed && reader.seen < probe.entries) {
      probe.located = true;
      probe.entry = reader.seen;
    }
  }
}

}  // namespace ucac2

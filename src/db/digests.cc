// Block digests from the catalog and the zone files, and the search for a first difference.
#include "db/digests.h"

#include <cstring>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "base/catalog_files.h"
#include "base/file.h"
#include "base/star_record.h"
#include "base/zones.h"
#include "db/file_findings.h"
#include "db/progress.h"

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

constexpr std::int64_t kChunkRecords = 5958;     // just under 256 KiB
constexpr std::int64_t kProbeChunkEntries = 85;  // just under 4 KiB per probed block

// Reads the catalog in reading order and hands every star that has a block to `visit`, as the
// compiler would file it. With `findings` null, reads without reporting (a second reading).
template <typename Visit>
CatalogTally WalkCatalog(const std::string& directory, Findings* findings,
                         std::int64_t* progress_done, Visit visit) {
  CatalogTally tally;
  const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kChunkRecords * kRecordSize]);
  // 64 bits: a hostile catalog may hold more stars than 32 bits count; the compiler would
  // refuse it long before, so the entries of such stars need not be faithful.
  std::int64_t identifier = 0;
  for (int n = 1; n <= kCatalogFiles; ++n) {
    const CatalogFile file = CatalogFileAt(n);
    const bool supplement = file.kind == FileKind::kSupplement;
    if (supplement && file.number == 1) identifier = kFirstSupplementIdentifier - 1;
    FileFindings out{findings, JoinPath(directory, file.name)};
    const char* path = out.name.c_str();
    const bool report = findings != nullptr;
    std::int64_t size = 0;
    if (!QueryFileSize(path, &size)) {
      if (report) FileReport(out, "catalog file missing");
      continue;
    }
    File input = OpenForReading(path);
    if (!input.is_open()) {
      if (report) ReportUnopenable(out);
      continue;
    }
    ++tally.files;
    // Bytes after the last whole record are ignored, as the compiler ignores them.
    const std::int64_t records = size / kRecordSize;
    for (std::int64_t record = 0; record < records;) {
      const std::int64_t chunk =
          records - record < kChunkRecords ? records - record : kChunkRecords;
      const auto bytes = static_cast<std::size_t>(chunk * kRecordSize);
      if (ReadBytes(input, buffer.get(), bytes) != static_cast<std::int64_t>(bytes)) {
        if (report) ReportUnreadable(out, record * kRecordSize);
        break;
      }
      *progress_done += static_cast<std::int64_t>(bytes);
      UpdateProgress(*progress_done);
      for (std::int64_t i = 0; i < chunk; ++i) {
        ++record;
        ++identifier;
        StarRecord star;
        std::memcpy(star.bytes, buffer.get() + i * kRecordSize, kRecordSize);
        const int hour = HourZone(RightAscension(star));
        const int band = DeclinationBand(Declination(star));
        if (report && IsSupplementStar(star) != supplement) {
          FileReport(out,
                     supplement ? "record %lld: cflg bit 7 clear in a supplement file; "
                                  "the compilation stops here"
                                : "record %lld: cflg bit 7 set in a main file; "
                                  "the compilation stops here",
                     static_cast<long long>(record));
        }
        if (hour == kNoZone || band == kNoZone) {
          if (report) {
            FileReport(out,
                       "record %lld: right ascension %ld mas, declination %ld mas: no zone; "
                       "the compilation stops here",
                       static_cast<long long>(record), static_cast<long>(RightAscension(star)),
                       static_cast<long>(Declination(star)));
          }
          continue;
        }
        CatalogEntry entry;
        BuildEntry(static_cast<std::int32_t>(static_cast<std::uint32_t>(identifier)), star, &entry);
        visit(hour, band, entry.bytes, path, record);
      }
    }
    tally.stars += records;
    if (report) FinishFile(out);
  }
  return tally;
}

// A probed block of a zone file, read along with the catalog.
struct ProbeReader {
  BlockProbe* probe = nullptr;
  File file;
  std::unique_ptr<std::uint8_t[]> buffer;
  std::int64_t read = 0;      // entries of the block read from the file
  std::int64_t filled = 0;    // entries in the buffer
  std::int64_t position = 0;  // next entry in the buffer
  std::int64_t seen = 0;      // entries compared
  bool failed = false;
};

// The next entry of the block, or null at its end or on a read failure.
const std::uint8_t* NextEntry(ProbeReader& reader) {
  if (reader.position == reader.filled) {
    const std::int64_t left = reader.probe->entries - reader.read;
    if (left <= 0) return nullptr;
    const std::int64_t chunk = left < kProbeChunkEntries ? left : kProbeChunkEntries;
    const auto bytes = static_cast<std::size_t>(chunk * kEntrySize);
    if (ReadBytes(reader.file, reader.buffer.get(), bytes) != static_cast<std::int64_t>(bytes)) {
      reader.failed = true;
      return nullptr;
    }
    reader.read += chunk;
    reader.filled = chunk;
    reader.position = 0;
  }
  return reader.buffer.get() + kEntrySize * reader.position++;
}

}  // namespace

std::int64_t CatalogBytes(const std::string& directory) {
  std::int64_t total = 0;
  for (int n = 1; n <= kCatalogFiles; ++n) {
    std::int64_t size = 0;
    if (QueryFileSize(JoinPath(directory, CatalogFileAt(n).name).c_str(), &size)) total += size;
  }
  return total;
}

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
    reader.buffer.reset(new std::uint8_t[kProbeChunkEntries * kEntrySize]);
    reader.file = OpenForReading(probes[i].zone_path.c_str());
    if (!reader.file.is_open() || !SeekTo(reader.file, probes[i].offset)) {
      reader.failed = true;
      continue;
    }
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

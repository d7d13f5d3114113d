// What the checks of verify share: the 24 zone files, each with its reader and its
// findings, where an entry stands, and the walk over a zone file's entries.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

#include "base/star_record.h"
#include "base/zones.h"
#include "db/findings.h"
#include "db/progress.h"
#include "db/zone_reader.h"

namespace ucac2 {

/// How a finding about the database as a whole names its files.
inline constexpr const char* kAnyZoneFile = "UCAC2_*.dat";

/// A zone file under check.
struct Zone {
  int hour = 0;
  FileFindings out;
  bool present = false;  // its head was read
  ZoneReader reader;     // its head, and whether it fits the file (the blocks stand where the
                         // index says)
};
using Zones = std::array<Zone, kHourZones>;

/// Where an entry is, for a finding: its block and place there when the head holds, else its
/// place in the file. Spelled out only when a finding needs it.
struct Place {
  const Zone* zone;
  int band;
  std::int64_t index;    // in its block, or its run of one band
  std::int64_t in_file;  // among the file's entries
  bool spelled = false;  // `text` holds it: filled only when a finding needs it
  char text[64];

  Place(const Zone* of, int in_band, std::int64_t at, std::int64_t at_in_file)
      : zone(of), band(in_band), index(at), in_file(at_in_file) {}

  const char* Text() {
    if (spelled) return text;
    spelled = true;
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

/// Hands each entry of a zone file to `visit` with its band (the index's block, or, when the
/// head does not fit the file, the band its declination gives, kNoZone included), its place
/// in that block's run and in the file, reading through `block`. Returns -1, or the offset at
/// which reading failed.
template <typename Visit>
std::int64_t ForEachEntry(Zone& zone, EntryBlock& block, std::int64_t* progress_done, Visit visit) {
  ZoneReader& reader = zone.reader;
  const bool laid_out = reader.fits;
  int band = 0;
  int run_band = kNoZone - 1;
  std::int64_t index = 0;
  std::int64_t done = 0;
  StartEntries(reader, 0, reader.entries);
  std::int64_t count;
  while ((count = NextEntries(reader, block)) > 0) {
    *progress_done += count * kEntrySize;
    UpdateProgress(*progress_done);
    const std::uint8_t* bytes = block.bytes.get();
    for (std::int64_t i = 0; i < count; ++i, ++done, ++index) {
      const std::uint8_t* entry = bytes + i * kEntrySize;
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

}  // namespace ucac2

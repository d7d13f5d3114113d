// The database's layout: the 24 zone files (header, band index, entries in band blocks) and
// the report info.txt that describes them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/zones.h"

namespace ucac2 {

inline constexpr std::int32_t kZoneHeaderSize = 8;          // catalog total, hour count
inline constexpr std::int32_t kBandIndexSize = 8 * kBands;  // (offset, count) per band
inline constexpr std::int32_t kFirstBlockOffset = kZoneHeaderSize + kBandIndexSize;  // 152
inline constexpr const char* kReportName = "info.txt";
inline constexpr int kZoneFileNameSize = 13;  // "UCAC2_hh.dat" and its terminator

using BandTable = std::int32_t[kHourZones][kBands];

/// A zone file's head as stored: the header and the band index, decoded, unchecked.
struct ZoneHead {
  std::int32_t catalog_total = 0;
  std::int32_t hour_count = 0;
  std::int32_t offsets[kBands] = {};
  std::int32_t counts[kBands] = {};
};

/// Decodes the first kFirstBlockOffset bytes of a zone file.
ZoneHead DecodeZoneHead(const std::uint8_t* bytes);

/// True when the head describes a well-formed file of `file_size` bytes: counts not
/// negative and adding up to the hour count, offsets chaining from kFirstBlockOffset, and the
/// size exactly the head plus kEntrySize bytes per star.
bool ZoneHeadFitsFile(const ZoneHead& head, std::int64_t file_size);

/// Writes the name of hour `hour`'s zone file, "UCAC2_hh.dat", into `name`.
void ZoneFileName(int hour, char (&name)[kZoneFileNameSize]);

/// Hands every line of the report, CR LF included, to `emit` in order: `objects` on the
/// first line, then the hour counts, their sum, and each hour's band offsets and counts (the
/// layout ReportLineHour describes).
void ComposeReport(std::int32_t objects, const std::int32_t hour_counts[kHourZones],
                   const BandTable& offsets, const BandTable& counts,
                   void (*emit)(void* context, const char* line, std::size_t size), void* context);

/// What ReportLineHour says of a line that depends on every hour (the total, the check total)
/// and of a line that depends on none (a blank line).
inline constexpr int kReportAllHours = -1;
inline constexpr int kReportNoHour = -2;

/// The hour whose zone file line `line` (0-based) of the report shows, kReportAllHours or
/// kReportNoHour.
int ReportLineHour(std::size_t line);

}  // namespace ucac2

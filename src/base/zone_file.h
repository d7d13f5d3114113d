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

/// Writes the name of hour `hour`'s zone file, "UCAC2_hh.dat", into `name`.
void ZoneFileName(int hour, char (&name)[kZoneFileNameSize]);

/// Hands every line of the report, CR LF included, to `emit` in order: `objects` on the
/// first line, then the hour counts, their sum, and each hour's band offsets and counts.
void ComposeReport(std::int32_t objects, const std::int32_t hour_counts[kHourZones],
                   const BandTable& offsets, const BandTable& counts,
                   void (*emit)(void* context, const char* line, std::size_t size), void* context);

}  // namespace ucac2

// Reading part of a band block. A block holds the stars of the main catalog files, then those
// of the supplement files, each file's south to north and by right ascension within the file
// (as check-catalog checks the catalog), so the stars of a range of declinations and right
// ascensions are found by binary search and read alone.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db/zone_reader.h"

namespace ucac2 {

/// A part of the sky, in milliarcseconds, every edge included.
struct SkyWindow {
  std::int64_t ra_low = 0, ra_high = 0, dec_low = 0, dec_high = 0;
};

/// Receives consecutive entries of one catalog file; `file_start` on the first entries of
/// each file's part.
using WindowVisitor = void (*)(void* context, const std::uint8_t* entries, std::size_t count,
                               bool file_start);

/// Hands to `visit`, read through `entries` (the command's one block), the entries of block
/// `band` of the zone file open in `zone` (its head fitting the file) that stand in a catalog file whose strip meets the window's
/// declinations and have a right ascension in the window's range (their declinations are not
/// tested). False when the file cannot be read.
bool ReadWindow(ZoneReader& zone, EntryBlock& entries, int band, const SkyWindow& window,
                WindowVisitor visit, void* context);

}  // namespace ucac2

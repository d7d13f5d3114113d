// What a catalog compiles to, block by block, without holding it: one ordered 64-bit digest
// and an entry count per hour-and-band block, computed alike from the catalog in reading
// order and from the zone files; and, for a block whose digests differ, its first difference.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/findings.h"

namespace ucac2 {

/// A running digest and an entry count for every hour-and-band block.
struct BlockDigests;
struct BlockDigestsFree {
  void operator()(BlockDigests* digests) const;
};
using BlockDigestsPtr = std::unique_ptr<BlockDigests, BlockDigestsFree>;

/// A set of digests, every block empty.
BlockDigestsPtr NewBlockDigests();

/// Appends the 48-byte `entry` to the block of `hour` and `band`.
void AddEntry(BlockDigests& digests, int hour, int band, const std::uint8_t* entry);

/// The digest of the entries appended to the block so far, in their order.
std::uint64_t BlockDigest(const BlockDigests& digests, int hour, int band);

/// The number of entries appended to the block so far.
std::int64_t BlockCount(const BlockDigests& digests, int hour, int band);

/// What reading the catalog found: the files read and their stars.
struct CatalogTally {
  int files = 0;
  std::int64_t stars = 0;
};

/// Reads the catalog in `directory` once, in reading order, numbering its stars as the
/// compiler does, and appends each star's entry to its block in `digests`. Reports a file
/// missing, not a regular file or unreadable, and a star the compilation would stop at (no
/// zone, a wrong cflg bit); `progress_done` advances by the bytes read.
CatalogTally DigestCatalog(const std::string& directory, BlockDigests& digests, Findings& findings,
                           std::int64_t* progress_done);

/// A block of a zone file that differs from the catalog's, and where it first differs.
struct BlockProbe {
  int hour = 0;
  int band = 0;
  std::string zone_path;         // the zone file
  std::int64_t first_entry = 0;  // the block's first, among the file's entries
  std::int64_t entries = 0;      // in the block
  // Filled in by LocateDifferences.
  bool located = false;
  std::int64_t entry = 0;    // 0-based entry of the first difference
  int byte = -1;             // its first differing byte; -1 when one side has ended
  bool zone_ended = false;   // the catalog has more entries than the block
  std::string catalog_file;  // the catalog's star at that place, unless the catalog ended
  std::int64_t record = 0;   // 1-based record number in that file
  std::int32_t identifier = 0;
};

/// Reads the catalog once more and every probed block along with it, and fills in where
/// each block first differs from the catalog's entries. A block whose zone file cannot be
/// read stays not located.
void LocateDifferences(const std::string& directory, std::vector<BlockProbe>& probes,
                       std::int64_t* progress_done);

}  // namespace ucac2

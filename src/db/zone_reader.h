// The one reader of a zone file: it holds the file's head against the file's real size once,
// then hands out its entries in fixed-size blocks. verify, find, map and the block digests all
// read zone files through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/file.h"
#include "base/star_record.h"
#include "base/zone_file.h"
#include "db/findings.h"

namespace ucac2 {

/// Entries handed out at most per block: 262,128 bytes, just under 256 KiB.
inline constexpr std::int64_t kZoneBlockEntries = (std::int64_t{256} * 1024) / kEntrySize;

/// One block of entries, taken once for a whole command and shared by the files it reads.
struct EntryBlock {
  std::unique_ptr<std::uint8_t[]> bytes{new std::uint8_t[kZoneBlockEntries * kEntrySize]};
  std::int64_t count = 0;  // entries in it
};

/// What opening a zone file found.
enum class ZoneOpening {
  kOpened,      // the head is read; `fits` says whether it agrees with the size
  kMissing,     // no file of that name
  kUnknown,     // what the name stands for cannot be told (a link loop, a name too long)
  kNotRegular,  // the name stands for a directory, a device, a pipe: never opened
  kUnopenable,  // a regular file that cannot be opened for reading
  kShort,       // shorter than the head
  kUnreadable,  // the head cannot be read
};

/// A zone file open for reading, its head decoded.
struct ZoneReader {
  std::string path;  // as every message names the file
  File file;
  std::int64_t size = 0;     // bytes, as queried when opened
  ZoneHead head;             // as stored; trusted only when `fits`
  bool fits = false;         // the head agrees with the size: blocks stand where it says
  std::int64_t entries = 0;  // whole entries after the head
  // The run of entries being handed out, by index among the file's entries.
  std::int64_t next = 0;
  std::int64_t end = 0;
  bool positioned = false;  // the file stands at entry `next`
};

/// The path of hour `hour`'s zone file in the database folder `db`.
std::string ZoneFilePath(const std::string& db, int hour);

/// Opens the zone file `path`, queries its size and reads and decodes its head.
ZoneOpening OpenZone(const std::string& path, ZoneReader& reader);

/// Opens the zone file of hour `hour` in `db` for a query, which needs a head that fits the
/// file; false after reporting the file as missing, unreadable or damaged.
bool OpenZoneForQuery(const std::string& db, int hour, ZoneReader& reader, Findings& findings);

/// Starts handing out `count` entries from entry `first` (0-based, among the file's).
void StartEntries(ZoneReader& reader, std::int64_t first, std::int64_t count);

/// Starts handing out the block of band `band`, as the head locates it (`fits` must hold).
void StartBand(ZoneReader& reader, int band);

/// Reads the next entries of the run started into `block`, at most kZoneBlockEntries: their
/// count, 0 at the run's end, or -1 when the file could not be positioned or read (then
/// NextEntryOffset tells where).
std::int64_t NextEntries(ZoneReader& reader, EntryBlock& block);

/// The byte offset of the first entry not yet handed out: where a failed read began.
std::int64_t NextEntryOffset(const ZoneReader& reader);

}  // namespace ucac2

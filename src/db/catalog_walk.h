// The one reader of the catalog: its files in catalog order (z001..z288, then s01..s36), each
// opened once and read in fixed blocks of whole records. check-catalog, the block digests of
// verify --catalog and map --catalog all read the catalog through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/catalog_files.h"
#include "base/file.h"
#include "base/star_record.h"

namespace ucac2 {

/// Records handed out at most per block: 262,108 bytes, just under 256 KiB.
inline constexpr std::int64_t kCatalogBlockRecords = (std::int64_t{256} * 1024) / kRecordSize;

/// One block of records, taken once for a whole walk.
struct RecordBlock {
  std::unique_ptr<std::uint8_t[]> bytes{new std::uint8_t[kCatalogBlockRecords * kRecordSize]};
  std::int64_t count = 0;  // whole records in it
};

/// A catalog file as the walk found it and, when it is a regular file, open for reading.
struct CatalogInput {
  CatalogFile file;
  std::string path;  // as every message names the file
  PathKind kind = PathKind::kMissing;
  std::int64_t size = 0;  // bytes, as queried when opened
  File handle;            // open unless the file could not be opened
  std::int64_t records_read = 0;
  bool ended_early = false;  // the file held fewer bytes than its size said
};

/// The total size of the catalog's files in `folder` that exist, for a progress line.
std::int64_t CatalogBytes(const std::string& folder);

/// Opens the file at place `n` (1..kCatalogFiles) of the catalog order in `folder`.
CatalogInput OpenCatalogFile(const std::string& folder, int n);

/// Reads the file's next whole records into `block`, as far as its size: their count, 0 once
/// every whole record is read (a piece of one after them is not), -1 when a read fails or the
/// file ends before its size (`ended_early`); RecordsOffset then tells where.
std::int64_t ReadRecords(CatalogInput& input, RecordBlock& block);

/// The byte offset of the first record not yet read.
inline std::int64_t RecordsOffset(const CatalogInput& input) {
  return input.records_read * kRecordSize;
}

/// True when the file, read to its size, still holds more bytes: it grew while being read.
bool GrewWhileRead(CatalogInput& input);

}  // namespace ucac2

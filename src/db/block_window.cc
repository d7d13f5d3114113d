// A window's entries found by binary search over the block's order key (supplement or main,
// the file's strip, right ascension), probing single entries until the range left fits one
// read, then reading on while the keys stay in range.
#include "db/block_window.h"

#include <algorithm>

#include "base/catalog_files.h"
#include "base/star_record.h"

namespace ucac2 {
namespace {

constexpr int kKindShift = 41;  // above the file number's bits
constexpr int kFileShift = 32;  // above a right ascension's bits
constexpr std::int64_t kHighestKeyRa = 0xFFFFFFFF;
// Entries read at a time once the search has narrowed the range: just under 64 KiB.
constexpr std::int64_t kChunkEntries = 1365;

std::uint64_t Key(FileKind kind, int number, std::int64_t ra) {
  return (std::uint64_t{kind == FileKind::kSupplement} << kKindShift) |
         (static_cast<std::uint64_t>(number) << kFileShift) | static_cast<std::uint64_t>(ra);
}

std::uint64_t EntryKey(const std::uint8_t* entry) {
  const FileKind kind =
      LoadLE32(entry) >= kFirstSupplementIdentifier ? FileKind::kSupplement : FileKind::kMain;
  const std::int32_t dec = LoadLE32(entry + kIdentifierSize + kDeclinationOffset);
  const std::int32_t ra = LoadLE32(entry + kIdentifierSize + kRightAscensionOffset);
  return Key(kind, FileNumberAt(kind, dec), std::clamp<std::int64_t>(ra, 0, kHighestKeyRa));
}

/// One block of an open zone file being searched.
struct Block {
  ZoneReader& zone;
  EntryBlock& read;
  std::int64_t first;  // its first entry among the file's
  std::int64_t count;
  const std::uint8_t* entries = nullptr;  // the last entries read
};

// Reads `count` entries from entry `at` of the block (count <= kChunkEntries).
bool ReadEntries(Block& block, std::int64_t at, std::int64_t count) {
  StartEntries(block.zone, block.first + at, count);
  block.entries = block.read.bytes.get();
  return NextEntries(block.zone, block.read) == count;
}

// Narrows [*low, high) towards the first entry whose key is not below `key`, until what is
// left fits one read.
bool Narrow(Block& block, std::int64_t* low, std::int64_t high, std::uint64_t key) {
  while (high - *low > kChunkEntries) {
    const std::int64_t middle = *low + (high - *low) / 2;
    if (!ReadEntries(block, middle, 1)) return false;
    if (EntryKey(block.entries) < key) {
      *low = middle + 1;
    } else {
      high = middle;
    }
  }
  return true;
}

// Hands out the entries from `*at` on whose keys lie in [low, high]; leaves `*at` at the
// first entry past them.
bool Scan(Block& block, std::int64_t* at, std::uint64_t low, std::uint64_t high,
          WindowVisitor visit, void* context) {
  bool file_start = true;
  while (*at < block.count) {
    const auto count = static_cast<std::size_t>(std::min(block.count - *at, kChunkEntries));
    if (!ReadEntries(block, *at, static_cast<std::int64_t>(count))) return false;
    std::size_t first = 0;
    std::size_t end = 0;
    bool past = false;
    for (; end < count; ++end) {
      const std::uint64_t key = EntryKey(block.entries + end * kEntrySize);
      if (key < low) {
        first = end + 1;
      } else if (key > high) {
        past = true;
        break;
      }
    }
    if (end > first) {
      visit(context, block.entries + first * kEntrySize, end - first, file_start);
      file_start = false;
    }
    *at += static_cast<std::int64_t>(end);
    if (past) break;
  }
  return true;
}

}  // namespace

bool ReadWindow(ZoneReader& zone, EntryBlock& entries, int band, const SkyWindow& window,
                WindowVisitor visit, void* context) {
  const std::int64_t ra_low = std::max<std::int64_t>(window.ra_low, 0);
  const std::int64_t ra_high = std::min(window.ra_high, kHighestKeyRa);
  if (ra_low > ra_high || window.dec_low > window.dec_high) return true;
  const auto dec_low =
      static_cast<std::int32_t>(std::clamp<std::int64_t>(window.dec_low, INT32_MIN, INT32_MAX));
  const auto dec_high =
      static_cast<std::int32_t>(std::clamp<std::int64_t>(window.dec_high, INT32_MIN, INT32_MAX));
  Block block{zone, entries, (zone.head.offsets[band] - kFirstBlockOffset) / kEntrySize,
              zone.head.counts[band]};
  std::int64_t at = 0;
  for (const FileKind kind : {FileKind::kMain, FileKind::kSupplement}) {
    const int last = FileNumberAt(kind, dec_high);
    for (int number = FileNumberAt(kind, dec_low); number <= last; ++number) {
      const std::uint64_t low = Key(kind, number, ra_low);
      if (!Narrow(block, &at, block.count, low) ||
          !Scan(block, &at, low, Key(kind, number, ra_high), visit, context)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace ucac2

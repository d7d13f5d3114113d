// Stars put in order by a key, in bounded memory whatever their number: past what memory
// holds, sorted runs go to a temporary file and are merged from there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/file.h"
#include "base/star_record.h"

namespace ucac2 {

/// A star with the key it is ordered by; ties go to the smaller identifier.
struct KeyedStar {
  std::uint64_t key = 0;
  std::uint8_t entry[kEntrySize] = {};
};

/// Stars held in memory at most by default: 8 MiB of them.
inline constexpr std::size_t kDefaultHeldStars = (std::size_t{8} << 20) / sizeof(KeyedStar);

/// The stars added so far, and where they are held.
struct StarOrder {
  std::int64_t limit = -1;  // only the first `limit` stars are wanted; -1: all
  std::size_t capacity = 0;
  bool keep_first_only = false;  // `held` is a heap of the first `limit` stars seen so far
  bool failed = false;           // the temporary file could not be made or written
  std::vector<KeyedStar> held;
  File spill;
  std::vector<std::int64_t> run_ends;  // in stars, one per sorted run in `spill`
};

/// Prepares `order` to take stars, of which only the first `limit` (-1: all) are wanted,
/// holding at most `capacity` of them in memory.
void StartOrder(StarOrder& order, std::int64_t limit, std::size_t capacity = kDefaultHeldStars);

/// Adds a star (its 48-byte entry) under `key`. False once the temporary file failed.
bool AddToOrder(StarOrder& order, std::uint64_t key, const std::uint8_t* entry);

/// Hands the wanted stars to `emit` by key, then identifier. False when the temporary file
/// failed (then some stars may have been handed out already).
bool EmitInOrder(StarOrder& order, void (*emit)(void* context, const KeyedStar& star),
                 void* context);

}  // namespace ucac2

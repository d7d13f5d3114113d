// Stars put in order by a key, in bounded memory whatever their number: past what memory
// holds, sorted runs go to a temporary file and are merged from there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/star_record.h"
#include "db/spill_sort.h"

namespace ucac2 {

/// A star with the key it is ordered by; ties go to the smaller identifier.
struct KeyedStar {
  std::uint64_t key = 0;
  std::uint8_t entry[kEntrySize] = {};
};

/// By key, then identifier.
bool KeyedStarBefore(const KeyedStar& a, const KeyedStar& b);

/// Stars held in memory at most by default: 8 MiB of them.
inline constexpr std::size_t kDefaultHeldStars = (std::size_t{8} << 20) / sizeof(KeyedStar);

/// The stars added so far: the first `limit` in a heap when no more are wanted than memory
/// holds, all of them in a spill sort otherwise.
struct StarOrder {
  std::int64_t limit = -1;       // only the first `limit` stars are wanted; -1: all
  bool keep_first_only = false;  // `first` is a heap of the first `limit` stars seen so far
  std::vector<KeyedStar> first;
  SpillSort<KeyedStar, KeyedStarBefore> all;
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

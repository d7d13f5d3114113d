// Ordering stars: a heap when only the first few are wanted, one sort when they all fit, an
// external merge sort otherwise, so that a query over half the sky stays within its memory.
#include "db/star_order.h"

#include <algorithm>
#include <cstring>

namespace ucac2 {
namespace {

// What the merge's read buffers take in all, shared out among the runs.
constexpr std::size_t kMergeBytes = std::size_t{6} << 20;

}  // namespace

bool KeyedStarBefore(const KeyedStar& a, const KeyedStar& b) {
  if (a.key != b.key) return a.key < b.key;
  return LoadLE32(a.entry) < LoadLE32(b.entry);
}

void StartOrder(StarOrder& order, std::int64_t limit, std::size_t capacity) {
  capacity = std::max<std::size_t>(capacity, 1);
  order.limit = limit;
  order.keep_first_only = limit >= 0 && static_cast<std::uint64_t>(limit) <= capacity;
  order.first.clear();
  if (order.keep_first_only) {
    order.first.reserve(static_cast<std::size_t>(limit));
    StartSort(order.all, 1);
  } else {
    StartSort(order.all, capacity);
  }
  order.all.merge_bytes = kMergeBytes;
}

bool AddToOrder(StarOrder& order, std::uint64_t key, const std::uint8_t* entry) {
  KeyedStar star;
  star.key = key;
  std::memcpy(star.entry, entry, kEntrySize);
  if (!order.keep_first_only) return AddRecord(order.all, star);
  std::vector<KeyedStar>& first = order.first;
  if (first.size() < static_cast<std::size_t>(order.limit)) {
    first.push_back(star);
    std::push_heap(first.begin(), first.end(), KeyedStarBefore);
  } else if (order.limit > 0 && KeyedStarBefore(star, first.front())) {
    std::pop_heap(first.begin(), first.end(), KeyedStarBefore);
    first.back() = star;
    std::push_heap(first.begin(), first.end(), KeyedStarBefore);
  }
  return true;
}

bool EmitInOrder(StarOrder& order, void (*emit)(void* context, const KeyedStar& star),
                 void* context) {
  if (order.keep_first_only) {
    std::sort_heap(order.first.begin(), order.first.end(), KeyedStarBefore);
    for (const KeyedStar& star : order.first) emit(context, star);
    return true;
  }
  KeyedStar star;
  for (std::int64_t emitted = 0; order.limit < 0 || emitted < order.limit; ++emitted) {
    const int got = NextRecord(order.all, &star);
    if (got < 0) return false;
    if (got == 0) break;
    emit(context, star);
  }
  return true;
}

}  // namespace ucac2

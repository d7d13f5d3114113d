// Ordering stars: a heap when only the first few are wanted, one sort when they all fit, an
// external merge sort otherwise, so that a query over half the sky stays within its memory.
#include "db/star_order.h"

#include <algorithm>
#include <cstring>

namespace ucac2 {
namespace {

constexpr std::size_t kSpilledSize = 8 + kEntrySize;  // the key, then the entry
constexpr std::size_t kSpillChunkStars = 1170;        // just under 64 KiB a write
// What the merge's read buffers take in all, shared out among the runs.
constexpr std::size_t kMergeBytes = std::size_t{6} << 20;

bool Before(const KeyedStar& a, const KeyedStar& b) {
  if (a.key != b.key) return a.key < b.key;
  return LoadLE32(a.entry) < LoadLE32(b.entry);
}

void Encode(const KeyedStar& star, std::uint8_t* out) {
  StoreLE32(out, static_cast<std::int32_t>(static_cast<std::uint32_t>(star.key)));
  StoreLE32(out + 4, static_cast<std::int32_t>(static_cast<std::uint32_t>(star.key >> 32)));
  std::memcpy(out + 8, star.entry, kEntrySize);
}

void Decode(const std::uint8_t* in, KeyedStar* star) {
  star->key = static_cast<std::uint32_t>(LoadLE32(in)) |
              (std::uint64_t{static_cast<std::uint32_t>(LoadLE32(in + 4))} << 32);
  std::memcpy(star->entry, in + 8, kEntrySize);
}

// Sorts the held stars and appends them to the temporary file as one run.
bool SpillRun(StarOrder& order) {
  if (!order.spill.is_open()) {
    order.spill = CreateTemporaryFile();
    if (!order.spill.is_open()) return false;
  }
  std::sort(order.held.begin(), order.held.end(), Before);
  std::vector<std::uint8_t> chunk(kSpillChunkStars * kSpilledSize);
  for (std::size_t first = 0; first < order.held.size(); first += kSpillChunkStars) {
    const std::size_t count = std::min(kSpillChunkStars, order.held.size() - first);
    for (std::size_t i = 0; i < count; ++i) {
      Encode(order.held[first + i], chunk.data() + i * kSpilledSize);
    }
    if (!WriteBytes(order.spill, chunk.data(), count * kSpilledSize)) return false;
  }
  const std::int64_t before = order.run_ends.empty() ? 0 : order.run_ends.back();
  order.run_ends.push_back(before + static_cast<std::int64_t>(order.held.size()));
  order.held.clear();
  return true;
}

/// A run of the temporary file being merged, read a buffer at a time.
struct RunCursor {
  std::int64_t next = 0;  // the next star of the run not yet in `buffer`
  std::int64_t end = 0;
  std::vector<KeyedStar> buffer;
  std::size_t position = 0;
  std::size_t size = 0;
};

bool Refill(File& spill, RunCursor& run, std::vector<std::uint8_t>& bytes) {
  const auto count = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(run.buffer.size()), run.end - run.next));
  if (!SeekTo(spill, run.next * static_cast<std::int64_t>(kSpilledSize))) return false;
  for (std::size_t first = 0; first < count; first += kSpillChunkStars) {
    const std::size_t size = std::min(kSpillChunkStars, count - first) * kSpilledSize;
    if (ReadBytes(spill, bytes.data(), size) != static_cast<std::int64_t>(size)) return false;
    for (std::size_t i = 0; i * kSpilledSize < size; ++i) {
      Decode(bytes.data() + i * kSpilledSize, &run.buffer[first + i]);
    }
  }
  run.next += static_cast<std::int64_t>(count);
  run.position = 0;
  run.size = count;
  return true;
}

bool Merge(StarOrder& order, void (*emit)(void* context, const KeyedStar& star), void* context) {
  std::vector<KeyedStar>().swap(order.held);  // its memory goes to the read buffers
  const std::size_t runs = order.run_ends.size();
  const std::size_t per_run = std::max<std::size_t>(1, kMergeBytes / (runs * sizeof(KeyedStar)));
  std::vector<RunCursor> cursors(runs);
  std::vector<std::uint8_t> bytes(kSpillChunkStars * kSpilledSize);
  std::vector<std::size_t> heap;  // runs with stars left, the one with the first star on top
  const auto after = [&cursors](std::size_t a, std::size_t b) {
    return Before(cursors[b].buffer[cursors[b].position], cursors[a].buffer[cursors[a].position]);
  };
  for (std::size_t r = 0; r < runs; ++r) {
    cursors[r].next = r == 0 ? 0 : order.run_ends[r - 1];
    cursors[r].end = order.run_ends[r];
    cursors[r].buffer.resize(static_cast<std::size_t>(std::min<std::int64_t>(
        static_cast<std::int64_t>(per_run), cursors[r].end - cursors[r].next)));
    if (!Refill(order.spill, cursors[r], bytes)) return false;
    if (cursors[r].size > 0) heap.push_back(r);
  }
  std::make_heap(heap.begin(), heap.end(), after);
  std::int64_t emitted = 0;
  while (!heap.empty() && (order.limit < 0 || emitted < order.limit)) {
    std::pop_heap(heap.begin(), heap.end(), after);
    RunCursor& run = cursors[heap.back()];
    emit(context, run.buffer[run.position++]);
    ++emitted;
    if (run.position == run.size) {
      if (run.next == run.end) {
        heap.pop_back();
        continue;
      }
      if (!Refill(order.spill, run, bytes)) return false;
    }
    std::push_heap(heap.begin(), heap.end(), after);
  }
  return true;
}

}  // namespace

void StartOrder(StarOrder& order, std::int64_t limit, std::size_t capacity) {
  order.limit = limit;
  order.capacity = std::max<std::size_t>(capacity, 1);
  order.keep_first_only = limit >= 0 && static_cast<std::uint64_t>(limit) <= order.capacity;
  order.failed = false;
  order.held.clear();
  order.held.reserve(order.keep_first_only ? static_cast<std::size_t>(limit) : order.capacity);
  order.run_ends.clear();
}

bool AddToOrder(StarOrder& order, std::uint64_t key, const std::uint8_t* entry) {
  if (order.failed) return false;
  KeyedStar star;
  star.key = key;
  std::memcpy(star.entry, entry, kEntrySize);
  if (order.keep_first_only) {
    const auto wanted = static_cast<std::size_t>(order.limit);
    if (order.held.size() < wanted) {
      order.held.push_back(star);
      std::push_heap(order.held.begin(), order.held.end(), Before);
    } else if (wanted > 0 && Before(star, order.held.front())) {
      std::pop_heap(order.held.begin(), order.held.end(), Before);
      order.held.back() = star;
      std::push_heap(order.held.begin(), order.held.end(), Before);
    }
    return true;
  }
  if (order.held.size() == order.capacity && !SpillRun(order)) {
    order.failed = true;
    return false;
  }
  order.held.push_back(star);
  return true;
}

bool EmitInOrder(StarOrder& order, void (*emit)(void* context, const KeyedStar& star),
                 void* context) {
  if (order.failed) return false;
  if (!order.run_ends.empty()) {
    if (!order.held.empty() && !SpillRun(order)) return false;
    return Merge(order, emit, context);
  }
  std::sort(order.held.begin(), order.held.end(), Before);
  std::size_t count = order.held.size();
  if (order.limit >= 0) count = std::min(count, static_cast<std::size_t>(order.limit));
  for (std::size_t i = 0; i < count; ++i) emit(context, order.held[i]);
  return true;
}

}  // namespace ucac2

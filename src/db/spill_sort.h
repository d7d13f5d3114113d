// Fixed-size records put in order in bounded memory, handed back one at a time: past what
// memory holds, sorted runs go to a temporary file and are merged from there.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "base/file.h"

namespace ucac2 {

/// Records of type T (plain bytes) in the order `Less` gives; `capacity` of them at most in
/// memory, and the merge's read buffers `merge_bytes` in all.
template <typename T, bool (*Less)(const T&, const T&)>
struct SpillSort {
  static_assert(std::is_trivially_copyable_v<T>);
  std::size_t capacity = 1;
  std::size_t merge_bytes = std::size_t{4} << 20;
  bool failed = false;  // the temporary file could not be made, written or read
  std::vector<T> held;
  File spill;
  std::vector<std::int64_t> run_ends;  // in records, one per sorted run in `spill`

  // While handing out: the next held record, or the runs' read positions.
  struct Run {
    std::int64_t next = 0, end = 0;
    std::vector<T> buffer;
    std::size_t position = 0, size = 0;
  };
  bool handing_out = false;
  std::size_t next_held = 0;
  std::vector<Run> runs;
  std::vector<std::size_t> heap;  // runs with records left, the one with the first on top
};

namespace spill_sort_detail {

// `Less` through a lambda, so that the sorts call it directly (and may inline it) rather than
// through a function pointer.
template <typename T, bool (*Less)(const T&, const T&)>
constexpr auto kLess = [](const T& a, const T& b) { return Less(a, b); };

// The temporary file holds each record's bytes as they stand in memory: only this process
// writes and reads it back, so no byte order is imposed on it.
constexpr std::size_t kChunkBytes = 1 << 16;

template <typename T, bool (*Less)(const T&, const T&)>
bool SpillRun(SpillSort<T, Less>& sort) {
  if (!sort.spill.is_open()) {
    sort.spill = CreateTemporaryFile();
    if (!sort.spill.is_open()) return false;
  }
  std::sort(sort.held.begin(), sort.held.end(), kLess<T, Less>);
  const std::size_t per_write = std::max<std::size_t>(1, kChunkBytes / sizeof(T));
  for (std::size_t first = 0; first < sort.held.size(); first += per_write) {
    const std::size_t count = std::min(per_write, sort.held.size() - first);
    if (!WriteBytes(sort.spill, sort.held.data() + first, count * sizeof(T))) return false;
  }
  const std::int64_t before = sort.run_ends.empty() ? 0 : sort.run_ends.back();
  sort.run_ends.push_back(before + static_cast<std::int64_t>(sort.held.size()));
  sort.held.clear();
  return true;
}

template <typename T, bool (*Less)(const T&, const T&)>
bool Refill(SpillSort<T, Less>& sort, typename SpillSort<T, Less>::Run& run) {
  const auto count = static_cast<std::size_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(run.buffer.size()), run.end - run.next));
  const auto bytes = static_cast<std::int64_t>(count * sizeof(T));
  if (!SeekTo(sort.spill, run.next * static_cast<std::int64_t>(sizeof(T))) ||
      ReadBytes(sort.spill, run.buffer.data(), count * sizeof(T)) != bytes) {
    return false;
  }
  run.next += static_cast<std::int64_t>(count);
  run.position = 0;
  run.size = count;
  return true;
}

template <typename T, bool (*Less)(const T&, const T&)>
auto HeapAfter(SpillSort<T, Less>& sort) {
  return [&sort](std::size_t a, std::size_t b) {
    return Less(sort.runs[b].buffer[sort.runs[b].position],
                sort.runs[a].buffer[sort.runs[a].position]);
  };
}

template <typename T, bool (*Less)(const T&, const T&)>
bool StartMerge(SpillSort<T, Less>& sort) {
  if (!sort.held.empty() && !SpillRun(sort)) return false;
  std::vector<T>().swap(sort.held);  // its memory goes to the read buffers
  const std::size_t count = sort.run_ends.size();
  const std::size_t per_run = std::max<std::size_t>(1, sort.merge_bytes / (count * sizeof(T)));
  sort.runs.resize(count);
  for (std::size_t r = 0; r < count; ++r) {
    auto& run = sort.runs[r];
    run.next = r == 0 ? 0 : sort.run_ends[r - 1];
    run.end = sort.run_ends[r];
    run.buffer.resize(static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(per_run), run.end - run.next)));
    if (!Refill(sort, run)) return false;
    if (run.size > 0) sort.heap.push_back(r);
  }
  std::make_heap(sort.heap.begin(), sort.heap.end(), HeapAfter(sort));
  return true;
}

}  // namespace spill_sort_detail

/// Prepares `sort` to take records, at most `capacity` of them held in memory.
template <typename T, bool (*Less)(const T&, const T&)>
void StartSort(SpillSort<T, Less>& sort, std::size_t capacity) {
  sort = SpillSort<T, Less>{};
  sort.capacity = std::max<std::size_t>(capacity, 1);
  sort.held.reserve(sort.capacity);
}

/// Adds a record. False once the temporary file failed.
template <typename T, bool (*Less)(const T&, const T&)>
bool AddRecord(SpillSort<T, Less>& sort, const T& record) {
  if (sort.failed) return false;
  if (sort.held.size() == sort.capacity && !spill_sort_detail::SpillRun(sort)) {
    sort.failed = true;
    return false;
  }
  sort.held.push_back(record);
  return true;
}

/// Hands out the next record in order into `record`: 1, or 0 when none is left, or -1 when
/// the temporary file failed. No record may be added once the first is taken.
template <typename T, bool (*Less)(const T&, const T&)>
int NextRecord(SpillSort<T, Less>& sort, T* record) {
  if (sort.failed) return -1;
  if (!sort.handing_out) {
    sort.handing_out = true;
    if (sort.run_ends.empty()) {
      std::sort(sort.held.begin(), sort.held.end(), spill_sort_detail::kLess<T, Less>);
    } else if (!spill_sort_detail::StartMerge(sort)) {
      sort.failed = true;
      return -1;
    }
  }
  if (sort.run_ends.empty()) {
    if (sort.next_held == sort.held.size()) return 0;
    *record = sort.held[sort.next_held++];
    return 1;
  }
  if (sort.heap.empty()) return 0;
  const auto after = spill_sort_detail::HeapAfter(sort);
  std::pop_heap(sort.heap.begin(), sort.heap.end(), after);
  auto& run = sort.runs[sort.heap.back()];
  *record = run.buffer[run.position++];
  if (run.position == run.size) {
    if (run.next == run.end) {
      sort.heap.pop_back();
      return 1;
    }
    if (!spill_sort_detail::Refill(sort, run)) {
      sort.failed = true;
      return -1;
    }
  }
  std::push_heap(sort.heap.begin(), sort.heap.end(), after);
  return 1;
}

}  // namespace ucac2

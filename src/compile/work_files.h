// The temporary work files through which the two passes sort the catalog: the hour-file
// set and the band-file set, each with at most one of its files open at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "base/file.h"
#include "base/zones.h"

namespace ucac2 {

inline constexpr int kWorkNameSize = 40;
inline constexpr int kMaxWorkFiles = kHourZones;

/// Bytes held back per file of a set before they are written out. Output for one file
/// reaches the disk in writes of this size, whatever order the stars come in. The benchmark
/// builds a write-through variant (one write per item) to measure what this saves.
#ifndef UCAC2_PENDING_SIZE
#define UCAC2_PENDING_SIZE 32768
#endif
inline constexpr std::size_t kPendingSize = UCAC2_PENDING_SIZE;

struct WorkFileSet {
  int file_count = 0;
  char names[kMaxWorkFiles][kWorkNameSize] = {};
  File open_file;
  int current_index = -1;  // the file `open_file` appends to; -1 when none is open
  // Write-behind: bytes written to file i wait in pending[i * kPendingSize ...] until that
  // slot fills, the set closes, or a line is printed or the process ends.
  std::unique_ptr<std::uint8_t[]> pending;
  std::size_t pending_bytes[kMaxWorkFiles] = {};
};

/// The run's two sets, alive for the whole run.
WorkFileSet& HourFiles();
WorkFileSet& BandFiles();

/// Names the 24 hour files, .\TMPA000 to .\TMPA023 with the platform's separator.
void NameHourFiles(WorkFileSet& set);

/// Names the 18 band files of `hour`, .\TMPBhhh00 to .\TMPBhhh17.
void NameBandFiles(WorkFileSet& set, int hour);

/// Creates every file of the set empty; a failure is fatal.
void CreateAll(WorkFileSet& set);

/// Appends `size` bytes to file `index` of the set.
inline void WorkWrite(WorkFileSet& set, int index, const void* bytes, std::size_t size);

/// Opens file `index` of the set for reading; a failure is a fatal error.
File OpenWorkFileForReading(const WorkFileSet& set, int index);

/// Writes out what file `index` holds back, switching the open file to it if needed.
void FlushWorkFile(WorkFileSet& set, int index);

/// Writes out everything the set holds back; its open file stays open.
void FlushSet(WorkFileSet& set);

/// Writes out everything the set holds back and closes its open file.
void CloseSet(WorkFileSet& set);

/// Forgets what the set holds back and closes its open file (the files are about to go).
void DiscardSet(WorkFileSet& set);

/// The set's write-behind storage, `*size` bytes, free for other use until the set is
/// written to again. Only valid after CloseSet, when nothing is held back.
std::uint8_t* IdleBuffer(WorkFileSet& set, std::size_t* size);

/// Deletes every file of the set; failures are ignored.
void DeleteAll(WorkFileSet& set);

/// Writes out what both sets hold back, so the files on disk are what the run has written.
/// Runs before every line printed and on every way out of the process.
void FlushWorkFiles();

inline void WorkWrite(WorkFileSet& set, int index, const void* bytes, std::size_t size) {
  std::size_t& held = set.pending_bytes[index];
  if (held + size > kPendingSize) FlushWorkFile(set, index);
  std::memcpy(set.pending.get() + static_cast<std::size_t>(index) * kPendingSize + held, bytes,
              size);
  held += size;
}

}  // namespace ucac2

// The buffered record reader: serves one file at a time in small pieces while reading it
// from disk in large blocks.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "base/file.h"

namespace ucac2 {

inline constexpr std::int32_t kReadBufferSize = 32768;

/// The largest file the catalog's signed 32-bit sizes and positions can describe.
inline constexpr std::int64_t kMaxFileSize = 0x7fffffff;

struct RecordReader {
  std::unique_ptr<std::uint8_t[]> buffer;  // held from start to finish
  File* file = nullptr;
  const char* path = nullptr;  // named in the messages of a failed read
  std::int64_t size = 0;
  std::int64_t next_offset = 0;  // where the next block is read from
  std::int32_t filled = 0;       // bytes the current block holds
  std::int32_t position = 0;     // next byte of the block to deliver
};

/// Starts reading `file` (named `path`, `size` bytes) at `first_offset`, reading the first
/// block. False when the buffer cannot be taken, the offset lies beyond the size, or the
/// seek fails; the reader then holds nothing.
bool ReaderStart(RecordReader& reader, File& file, const char* path, std::int64_t size,
                 std::int64_t first_offset);

/// Copies the next `n` bytes (at most the buffer's size) of the file to `destination`.
/// A failed or short read, or a take past the end of the file, is a fatal error.
void ReaderTakeRefilling(RecordReader& reader, void* destination, std::int32_t n);

inline void ReaderTake(RecordReader& reader, void* destination, std::int32_t n) {
  if (reader.position + n <= reader.filled) {
    std::memcpy(destination, reader.buffer.get() + reader.position, static_cast<std::size_t>(n));
    reader.position += n;
    return;
  }
  ReaderTakeRefilling(reader, destination, n);
}

/// Releases the buffer. The file stays open: whoever opened it closes it.
void ReaderFinish(RecordReader& reader);

/// The size of the data file `path`, queried by name; a failure, or a size beyond the
/// catalog's signed 32-bit sizes, is a fatal error naming the file.
std::int64_t LocateDataFile(const char* path);

/// Opens the data file `path` for reading; a failure is a fatal error naming the file.
File OpenDataFile(const char* path);

/// Starts `reader` on `file` from its first byte; on failure closes the file and ends the
/// run with a fatal error.
void StartReading(RecordReader& reader, File& file, const char* path, std::int64_t size);

}  // namespace ucac2

// The record reader's refill and the pieces that straddle two blocks.
#include "compile/record_reader.h"

#include <new>

#include "compile/messages.h"

namespace ucac2 {
namespace {

[[noreturn]] void ReadFailure(const RecordReader& reader) {
  Fatal("Unable to read data file '%s'", reader.path);
}

void Refill(RecordReader& reader) {
  std::int64_t wanted = kReadBufferSize;
  if (reader.next_offset + kReadBufferSize > reader.size) {
    wanted = reader.size - reader.next_offset;
    if (wanted <= 0) {
      reader.filled = 0;
      return;
    }
  }
  const std::int64_t got =
      ReadBytes(*reader.file, reader.buffer.get(), static_cast<std::size_t>(wanted));
  // The size was queried just before; a file that now reads shorter has changed or failed,
  // and its records would be garbage.
  if (got != wanted) ReadFailure(reader);
  reader.filled = static_cast<std::int32_t>(wanted);
  reader.next_offset += wanted;
  reader.position = 0;
}

}  // namespace

bool ReaderStart(RecordReader& reader, File& file, const char* path, std::int64_t size,
                 std::int64_t first_offset) {
  reader.buffer.reset(new (std::nothrow) std::uint8_t[kReadBufferSize]);
  if (!reader.buffer) return false;
  if (first_offset > size || first_offset < 0) {
    reader.buffer.reset();
    return false;
  }
  reader.file = &file;
  reader.path = path;
  reader.size = size;
  reader.next_offset = 0;
  reader.filled = 0;
  reader.position = 0;
  if (first_offset > 0) {
    if (!SeekTo(file, first_offset)) {
      reader.buffer.reset();
      return false;
    }
    reader.next_offset = first_offset;
  }
  Refill(reader);
  return true;
}

void ReaderTakeRefilling(RecordReader& reader, void* destination, std::int32_t n) {
  auto* out = static_cast<std::uint8_t*>(destination);
  const std::int32_t head = reader.filled > reader.position ? reader.filled - reader.position : 0;
  if (head > 0)
    std::memcpy(out, reader.buffer.get() + reader.position, static_cast<std::size_t>(head));
  Refill(reader);
  const std::int32_t tail = n - head;
  if (reader.position + tail > reader.filled) ReadFailure(reader);
  std::memcpy(out + head, reader.buffer.get() + reader.position, static_cast<std::size_t>(tail));
  reader.position += tail;
}

void ReaderFinish(RecordReader& reader) {
  reader.buffer.reset();
  reader.file = nullptr;
}

std::int64_t LocateDataFile(const char* path) {
  std::int64_t size = 0;
  if (!QueryFileSize(path, &size)) Fatal("Unable to locate data file '%s'", path);
  if (size > kMaxFileSize) Fatal("Data file too large (2 GiB or more) '%s'", path);
  return size;
}

File OpenDataFile(const char* path) {
  File file = OpenForReading(path);
  if (!file.is_open()) Fatal("Unable to open data file '%s'", path);
  return file;
}

void StartReading(RecordReader& reader, File& file, const char* path, std::int64_t size) {
  if (!ReaderStart(reader, file, path, size, 0)) {
    file.Close();
    Fatal("Error at binary read init");
  }
}

}  // namespace ucac2

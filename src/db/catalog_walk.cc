// Walking the catalog's files.
#include "db/catalog_walk.h"

#include "base/paths.h"

namespace ucac2 {

std::int64_t CatalogBytes(const std::string& folder) {
  std::int64_t total = 0;
  for (int n = 1; n <= kCatalogFiles; ++n) {
    std::int64_t size = 0;
    if (QueryFileSize(JoinPath(folder, CatalogFileAt(n).name).c_str(), &size)) total += size;
  }
  return total;
}

CatalogInput OpenCatalogFile(const std::string& folder, int n) {
  CatalogInput input;
  input.file = CatalogFileAt(n);
  input.path = JoinPath(folder, input.file.name);
  input.kind = QueryPathKind(input.path.c_str(), &input.size);
  if (input.kind == PathKind::kRegularFile) input.handle = OpenForReading(input.path.c_str());
  return input;
}

std::int64_t ReadRecords(CatalogInput& input, RecordBlock& block) {
  block.count = 0;
  const std::int64_t left = input.size / kRecordSize - input.records_read;
  if (left <= 0) return 0;
  const std::int64_t count = left < kCatalogBlockRecords ? left : kCatalogBlockRecords;
  const auto bytes = static_cast<std::size_t>(count * kRecordSize);
  const std::int64_t got = ReadBytes(input.handle, block.bytes.get(), bytes);
  if (got != static_cast<std::int64_t>(bytes)) {
    input.ended_early = got >= 0;
    return -1;
  }
  input.records_read += count;
  block.count = count;
  return count;
}

bool GrewWhileRead(CatalogInput& input) {
  // The piece of a record after the last whole one is part of the size, not growth.
  std::uint8_t rest[kRecordSize + 1];
  const auto piece = static_cast<std::size_t>(input.size % kRecordSize);
  return ReadBytes(input.handle, rest, piece + 1) > static_cast<std::int64_t>(piece);
}

}  // namespace ucac2

// The distribution pass.
#include "compile/distribute.h"

#include <cstring>

#include "base/star_record.h"
#include "compile/cancel.h"
#include "compile/messages.h"
#include "compile/placement.h"
#include "compile/record_reader.h"
#include "compile/work_files.h"

namespace ucac2 {
namespace {

// An hour file holds 48-byte items behind which the zone file adds its 152-byte head; the
// signed 32-bit sizes and offsets of both must not wrap. This also keeps the star count and
// the identifiers, at most 24 times this, far below 2^31.
constexpr std::int32_t kMaxStarsPerHour = (0x7fffffff - 152) / kEntrySize;

void CheckPathFits(const char* directory) {
  // The longest catalog path is the directory, a separator and "z288".
  if (std::strlen(directory) + 1 + 4 + 1 > kPathBufferSize) {
    Fatal("Input directory name too long for a catalog path");
  }
}

}  // namespace

std::int32_t Distribute(CompileJob& job) {
  CheckPathFits(job.input_directory);
  for (auto& count : job.hour_counts) count = 0;
  WorkFileSet& hour_files = HourFiles();
  NameHourFiles(hour_files);
  CreateAll(hour_files);

  std::int32_t objects = 0;
  std::int32_t identifier = 0;
  char path[kPathBufferSize];
  RecordReader reader;
  for (int n = 1; n <= kCatalogFiles; ++n) {
    const CatalogFile file = CatalogFileAt(n);
    FormatInto(path, sizeof path, "%s%c%s", job.input_directory, kPathSeparator, file.name);
    const bool supplement = file.kind == FileKind::kSupplement;
    if (supplement && file.number == 1) identifier = kFirstSupplementIdentifier - 1;
    Message("Parsing file %d: %s", file.number, path);

    const std::int64_t size = LocateDataFile(path);
    File catalog = OpenDataFile(path);
    StartReading(reader, catalog, path, size);

    const std::int64_t count = size / kRecordSize;
    StarRecord record;
    std::uint8_t identifier_bytes[kIdentifierSize];
    for (std::int64_t i = 0; i < count; ++i) {
      if (PollCancel()) CancelRun(Pass::kDistribution, catalog, nullptr);
      ++objects;
      ReaderTake(reader, record.bytes, kRecordSize);
      ++identifier;
      const int hour = StarHour(record);
      if (++job.hour_counts[hour] > kMaxStarsPerHour) {
        Fatal("Too many objects in RA zone %d for the zone file format", hour);
      }
      WorkWrite(hour_files, hour, record.bytes, kRecordSize);
      StoreLE32(identifier_bytes, identifier);
      WorkWrite(hour_files, hour, identifier_bytes, kIdentifierSize);
      if (IsSupplementStar(record) != supplement) {
        if (supplement)
          Fatal("Non valid cflg field for BSS star (ID=%ld)", static_cast<long>(identifier));
        Fatal("Non valid cflg field for UCAC2 star (ID=%ld)", static_cast<long>(identifier));
      }
      if (objects % kProgressInterval == 0) Message("%ld objects", static_cast<long>(objects));
    }
    CloseSet(hour_files);
    ReaderFinish(reader);
    catalog.Close();
  }
  return objects;
}

}  // namespace ucac2

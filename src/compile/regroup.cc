// The regrouping pass and its verification.
#include "compile/regroup.h"

#include <cstddef>

#include "base/star_record.h"
#include "base/zones.h"
#include "compile/cancel.h"
#include "compile/distribute.h"
#include "compile/formats.h"
#include "compile/messages.h"
#include "compile/placement.h"
#include "compile/record_reader.h"
#include "compile/work_files.h"

namespace ucac2 {
namespace {

// Appends band file `b` of the set to the zone file, then deletes it.
void CopyBandFile(WorkFileSet& band_files, int b, File& zone, std::uint8_t* buffer,
                  std::size_t buffer_size) {
  const auto block_size = static_cast<std::int64_t>(buffer_size);
  const char* name = band_files.names[b];
  File band = OpenWorkFileForReading(band_files, b);
  std::int64_t size = 0;
  if (!QueryFileSize(name, &size)) Fatal("Unable to access temporary file '%s'", name);
  for (std::int64_t left = size; left > 0;) {
    const std::int64_t block = left < block_size ? left : block_size;
    const std::int64_t got = ReadBytes(band, buffer, static_cast<std::size_t>(block));
    // The size was just queried: a band file that reads shorter would leave a gap in the
    // zone file that its index does not know of.
    if (got != block) Fatal("Unable to read temporary file '%s'", name);
    if (!WriteBytes(zone, buffer, static_cast<std::size_t>(block))) WriteFailure();
    left -= block;
  }
  band.Close();
  RemoveFile(name);
}

}  // namespace

std::int32_t Regroup(CompileJob& job) {
  static BandTable band_counts;
  static BandTable band_offsets;
  WorkFileSet& hour_files = HourFiles();
  WorkFileSet& band_files = BandFiles();
  std::int32_t objects = 0;
  RecordReader reader;
  for (int h = 0; h < kHourZones; ++h) {
    Message("Zone %d < RA < %d", h, h + 1);
    File zone = CreateOutputFile(job.zone_file_names[h]);
    WriteZoneHeader(zone, job.catalog_total, job.hour_counts[h]);

    for (auto& count : band_counts[h]) count = 0;
    NameBandFiles(band_files, h);
    CreateAll(band_files);

    const char* hour_name = hour_files.names[h];
    // Opened before its size is queried: the reverse of the distribution pass.
    File hour_file = OpenDataFile(hour_name);
    const std::int64_t size = LocateDataFile(hour_name);
    StartReading(reader, hour_file, hour_name, size);

    const std::int64_t count = size / kEntrySize;
    StarRecord record;
    std::uint8_t identifier_bytes[kIdentifierSize];
    CatalogEntry entry;
    for (std::int64_t i = 0; i < count; ++i) {
      if (PollCancel()) CancelRun(Pass::kRegrouping, hour_file, &zone);
      ++objects;
      ReaderTake(reader, record.bytes, kRecordSize);
      ReaderTake(reader, identifier_bytes, kIdentifierSize);
      // An item filed under another hour is passed over.
      if (StarHour(record) != h) continue;
      if (objects % kProgressInterval == 0) Message("%ld objects", static_cast<long>(objects));
      BuildEntry(LoadLE32(identifier_bytes), record, &entry);
      const int b = StarBand(record);
      ++band_counts[h][b];
      WorkWrite(band_files, b, entry.bytes, kEntrySize);
    }
    CloseSet(band_files);

    WriteBandIndex(zone, band_counts[h], band_offsets[h]);
    // The band files are copied through the band set's own storage, idle now that the set
    // is closed: large blocks at no extra memory.
    std::size_t copy_size = 0;
    std::uint8_t* copy_buffer = IdleBuffer(band_files, &copy_size);
    for (int b = 0; b < kBands; ++b) CopyBandFile(band_files, b, zone, copy_buffer, copy_size);

    ReaderFinish(reader);
    hour_file.Close();
    zone.Close();
  }
  DeleteAll(hour_files);
  WriteReport(job, objects, band_offsets, band_counts);
  return objects;
}

void WriteZoneFiles(CompileJob& job) {
  const std::int32_t objects = Regroup(job);
  if (objects != job.catalog_total) {
    Fatal("Internal Error #1 - different object counts (%ld vs. %ld)", static_cast<long>(objects),
          static_cast<long>(job.catalog_total));
  }
  Message("%ld objects found", static_cast<long>(objects));
}

}  // namespace ucac2

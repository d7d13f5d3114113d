// Writers of the zone header, the band index and the report.
#include "compile/formats.h"

#include <cstring>

#include "base/star_record.h"
#include "compile/messages.h"

namespace ucac2 {
namespace {

void Append(File& file, const void* bytes, std::size_t size) {
  if (!WriteBytes(file, bytes, size)) WriteFailure();
}

// The report goes out through a small buffer of its own; any write that fails is a
// failure of the whole report.
struct ReportWriter {
  File file;
  char buffer[8192];
  std::size_t used = 0;
};

void Flush(ReportWriter& writer) {
  Append(writer.file, writer.buffer, writer.used);
  writer.used = 0;
}

void AddLine(void* context, const char* line, std::size_t size) {
  auto& writer = *static_cast<ReportWriter*>(context);
  if (writer.used + size > sizeof writer.buffer) Flush(writer);
  std::memcpy(writer.buffer + writer.used, line, size);
  writer.used += size;
}

}  // namespace

File CreateOutputFile(const char* name) {
  // A user may point a zone file at another disk with a link; the work files never follow one.
  if (!CreateEmptyFile(name, Links::kFollow)) Fatal("Unable to create output file '%s'", name);
  File file = OpenForAppending(name, Links::kFollow);
  if (!file.is_open()) Fatal("Unable to open output file '%s'", name);
  return file;
}

void WriteZoneHeader(File& zone, std::int32_t catalog_total, std::int32_t hour_count) {
  std::uint8_t header[kZoneHeaderSize];
  StoreLE32(header, catalog_total);
  StoreLE32(header + 4, hour_count);
  Append(zone, header, sizeof header);
}

void WriteBandIndex(File& zone, const std::int32_t counts[kBands], std::int32_t offsets[kBands]) {
  std::uint8_t index[kBandIndexSize];
  std::int32_t offset = kFirstBlockOffset;
  std::uint8_t* pair = index;
  for (int b = 0; b < kBands; ++b, pair += 8) {
    offsets[b] = offset;
    StoreLE32(pair, offset);
    StoreLE32(pair + 4, counts[b]);
    offset += kEntrySize * counts[b];
  }
  Append(zone, index, sizeof index);
}

void WriteReport(const CompileJob& job, std::int32_t objects, const BandTable& offsets,
                 const BandTable& counts) {
  ReportWriter writer;
  writer.file = CreateOutputFile(kReportName);
  ComposeReport(objects, job.hour_counts, offsets, counts, AddLine, &writer);
  Flush(writer);
}

}  // namespace ucac2

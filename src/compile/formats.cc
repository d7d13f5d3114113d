// Writers of the zone header, the band index and the report.
#include "compile/formats.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "compile/star_record.h"
#include "front/report.h"

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

void Line(ReportWriter& writer, const char* format, ...) UCAC2_PRINTF(2, 3);

void Line(ReportWriter& writer, const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(line, sizeof line - 2, format, args);
  va_end(args);
  std::size_t size = length < 0 ? 0 : static_cast<std::size_t>(length);
  if (size > sizeof line - 3) size = sizeof line - 3;
  line[size++] = '\r';
  line[size++] = '\n';
  if (writer.used + size > sizeof writer.buffer) Flush(writer);
  std::memcpy(writer.buffer + writer.used, line, size);
  writer.used += size;
}

}  // namespace

File CreateOutputFile(const char* name) {
  if (!CreateEmptyFile(name)) Fatal("Unable to create output file '%s'", name);
  File file = OpenForAppending(name);
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
  Line(writer, "%ld objects in the UCAC2 catalog", static_cast<long>(objects));
  Line(writer, "%s", "");
  long check_total = 0;
  for (int h = 0; h < kHourZones; ++h) {
    Line(writer, "%ld objects RA zone %02d", static_cast<long>(job.hour_counts[h]), h);
    check_total += job.hour_counts[h];
  }
  Line(writer, "Check Total: %ld", check_total);
  Line(writer, "%s", "");
  for (int h = 0; h < kHourZones; ++h) {
    Line(writer, "RA zone %d", h);
    for (int b = 0; b < kBands; ++b) {
      Line(writer, "    DE Zone %02d --> address is %ld (%ld objects)", b,
           static_cast<long>(offsets[h][b]), static_cast<long>(counts[h][b]));
    }
  }
  Flush(writer);
}

}  // namespace ucac2

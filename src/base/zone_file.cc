// Zone file names and the text of the report.
#include "base/zone_file.h"

#include <cstdarg>
#include <cstdio>

#include "base/printf_format.h"
#include "base/star_record.h"

namespace ucac2 {
namespace {

// The report's lines: the total, a blank, the hour counts, their sum, a blank, then per hour
// its title and its bands.
constexpr int kFirstHourCountLine = 2;
constexpr int kCheckTotalLine = kFirstHourCountLine + kHourZones;
constexpr int kFirstHourBlockLine = kCheckTotalLine + 2;
constexpr int kHourBlockLines = 1 + kBands;

struct ReportSink {
  void (*emit)(void* context, const char* line, std::size_t size);
  void* context;
};

void Line(const ReportSink& sink, const char* format, ...) UCAC2_PRINTF(2, 3);

void Line(const ReportSink& sink, const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(line, sizeof line - 2, format, args);
  va_end(args);
  std::size_t size = length < 0 ? 0 : static_cast<std::size_t>(length);
  if (size > sizeof line - 3) size = sizeof line - 3;
  line[size++] = '\r';
  line[size++] = '\n';
  sink.emit(sink.context, line, size);
}

}  // namespace

ZoneHead DecodeZoneHead(const std::uint8_t* bytes) {
  ZoneHead head;
  head.catalog_total = LoadLE32(bytes);
  head.hour_count = LoadLE32(bytes + 4);
  for (int b = 0; b < kBands; ++b) {
    head.offsets[b] = LoadLE32(bytes + kZoneHeaderSize + std::ptrdiff_t{8} * b);
    head.counts[b] = LoadLE32(bytes + kZoneHeaderSize + std::ptrdiff_t{8} * b + 4);
  }
  return head;
}

bool ZoneHeadFitsFile(const ZoneHead& head, std::int64_t file_size) {
  // 64-bit sums: a damaged head may hold any values, and must not wrap into agreement.
  std::int64_t offset = kFirstBlockOffset;
  std::int64_t stars = 0;
  for (int b = 0; b < kBands; ++b) {
    if (head.counts[b] < 0 || head.offsets[b] != offset) return false;
    stars += head.counts[b];
    offset += std::int64_t{kEntrySize} * head.counts[b];
  }
  return head.hour_count >= 0 && stars == head.hour_count && offset == file_size;
}

void ZoneFileName(int hour, char (&name)[kZoneFileNameSize]) {
  std::snprintf(name, sizeof name, "UCAC2_%02d.dat", hour);
}

void ComposeReport(std::int32_t objects, const std::int32_t hour_counts[kHourZones],
                   const BandTable& offsets, const BandTable& counts,
                   void (*emit)(void* context, const char* line, std::size_t size), void* context) {
  const ReportSink sink{emit, context};
  Line(sink, "%ld objects in the UCAC2 catalog", static_cast<long>(objects));
  Line(sink, "%s", "");
  long check_total = 0;
  for (int h = 0; h < kHourZones; ++h) {
    Line(sink, "%ld objects RA zone %02d", static_cast<long>(hour_counts[h]), h);
    check_total += hour_counts[h];
  }
  Line(sink, "Check Total: %ld", check_total);
  Line(sink, "%s", "");
  for (int h = 0; h < kHourZones; ++h) {
    Line(sink, "RA zone %d", h);
    for (int b = 0; b < kBands; ++b) {
      Line(sink, "    DE Zone %02d --> address is %ld (%ld objects)", b,
           static_cast<long>(offsets[h][b]), static_cast<long>(counts[h][b]));
    }
  }
}

int ReportLineHour(std::size_t line) {
  const auto i = static_cast<int>(line);
  if (i == 0 || i == kCheckTotalLine) return kReportAllHours;
  if (i >= kFirstHourCountLine && i < kCheckTotalLine) return i - kFirstHourCountLine;
  if (i >= kFirstHourBlockLine) return (i - kFirstHourBlockLine) / kHourBlockLines;
  return kReportNoHour;
}

}  // namespace ucac2

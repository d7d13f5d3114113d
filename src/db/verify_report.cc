// Checking info.txt.
#include "db/verify_report.h"

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/file.h"
#include "base/paths.h"
#include "base/zone_file.h"

namespace ucac2 {
namespace {

// Room for the expected report and a line more, to show what follows it.
constexpr std::size_t kReportSlack = 4096;
constexpr int kMaxShownLine = 100;

// A report line as it can be shown in a finding: no line end, no control bytes, not long.
std::string Shown(const char* bytes, std::size_t size) {
  std::string shown;
  for (std::size_t i = 0; i < size && bytes[i] != '\r' && bytes[i] != '\n'; ++i) {
    if (shown.size() == kMaxShownLine) {
      shown += "...";
      break;
    }
    const auto c = static_cast<unsigned char>(bytes[i]);
    shown += c < 0x20 || c >= 0x7f ? '?' : static_cast<char>(c);
  }
  return shown;
}

}  // namespace

void CheckReport(const Zones& zones, Findings& findings, const std::string& database) {
  std::int32_t hour_counts[kHourZones] = {};
  BandTable offsets = {}, counts = {};
  std::int64_t hour_sum = 0;
  bool all_usable = true;
  for (const Zone& zone : zones) {
    all_usable = all_usable && zone.reader.fits;
    if (!zone.reader.fits) continue;
    hour_counts[zone.hour] = zone.reader.head.hour_count;
    hour_sum += zone.reader.head.hour_count;
    for (int b = 0; b < kBands; ++b) {
      offsets[zone.hour][b] = zone.reader.head.offsets[b];
      counts[zone.hour][b] = zone.reader.head.counts[b];
    }
  }
  std::vector<std::string> expected;
  ComposeReport(
      static_cast<std::int32_t>(hour_sum), hour_counts, offsets, counts,
      [](void* context, const char* line, std::size_t size) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(line, size);
      },
      &expected);
  std::size_t expected_size = 0;
  for (const std::string& line : expected) expected_size += line.size();

  FileFindings out{&findings, JoinPath(database, kReportName)};
  const char* path = out.name.c_str();
  std::int64_t size = 0;
  const PathKind kind = QueryPathKind(path, &size);
  if (kind == PathKind::kMissing) {
    FileReport(out, "report missing");
    return;
  }
  if (kind == PathKind::kUnknown) {
    FileReport(out, "cannot be read");
    return;
  }
  File file;
  if (kind == PathKind::kRegularFile) file = OpenForReading(path);
  if (!file.is_open()) {
    FileReport(out, kind == PathKind::kOther ? "not a regular file" : "cannot be opened");
    return;
  }
  const std::size_t wanted = static_cast<std::uint64_t>(size) < expected_size + kReportSlack
                                 ? static_cast<std::size_t>(size)
                                 : expected_size + kReportSlack;
  std::string actual(wanted, '\0');
  if (ReadBytes(file, actual.data(), wanted) != static_cast<std::int64_t>(wanted)) {
    ReportUnreadable(out, 0);
    FinishFile(out);
    return;
  }
  std::size_t position = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (position >= actual.size()) {
      FileReport(out, "ends after line %lld, the zone files imply %lld lines",
                 static_cast<long long>(i), static_cast<long long>(expected.size()));
      break;
    }
    const std::size_t end = actual.find('\n', position);
    const std::size_t next = end == std::string::npos ? actual.size() : end + 1;
    const int hour = ReportLineHour(i);
    const bool usable =
        hour == kReportNoHour ||
        (hour == kReportAllHours ? all_usable : zones[static_cast<std::size_t>(hour)].reader.fits);
    const std::string_view line(actual.data() + position, next - position);
    if (usable && line != expected[i]) {
      // Two lines that print alike: say what differs.
      if (line.ends_with('\n') && line.size() + 1 == expected[i].size() &&
          expected[i].ends_with("\r\n") &&
          expected[i].starts_with(line.substr(0, line.size() - 1))) {
        FileReport(out, "line %lld ends in LF alone; its CR LF line end is missing the CR",
                   static_cast<long long>(i) + 1);
      } else {
        FileReport(out, "line %lld reads \"%s\", the zone files imply \"%s\"",
                   static_cast<long long>(i) + 1, Shown(line.data(), line.size()).c_str(),
                   Shown(expected[i].data(), expected[i].size()).c_str());
      }
    }
    position = next;
  }
  if (position < actual.size() || static_cast<std::uint64_t>(size) > actual.size()) {
    FileReport(out, "more than the %lld lines the zone files imply",
               static_cast<long long>(expected.size()));
  }
  FinishFile(out);
}

}  // namespace ucac2

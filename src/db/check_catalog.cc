// Checking a catalog.
#include "db/check_catalog.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "base/catalog_files.h"
#include "base/file.h"
#include "base/paths.h"
#include "base/sky.h"
#include "base/star_record.h"
#include "db/findings.h"
#include "db/progress.h"

namespace ucac2 {
namespace {

// Large enough that the disk, not the calls, sets the pace; taken once for the whole check.
constexpr std::size_t kBlockSize = std::size_t{256} * 1024;
constexpr std::int64_t kPrintedPerFile = 10;
constexpr const char* kUnreadable = "cannot be read";

struct CatalogTotals {
  Findings findings;
  int files_checked = 0;
  std::int64_t stars = 0;
};

// One file under check: its findings past the per-file limit are counted, not printed.
struct FileCheck {
  CatalogFile file;
  std::string path;
  CatalogTotals* totals = nullptr;
  std::int64_t findings = 0;
  std::int64_t records = 0;  // whole records checked so far
  std::int32_t previous_right_ascension = std::numeric_limits<std::int32_t>::min();
};

// True when the file's next finding is to be printed; otherwise counts it, unprinted.
bool Shows(FileCheck& check) {
  if (++check.findings <= kPrintedPerFile) return true;
  CountOnly(check.totals->findings);
  return false;
}

long long Wide(std::int64_t value) { return static_cast<long long>(value); }

void CheckRecords(FileCheck& check, const std::uint8_t* bytes, std::size_t count) {
  const std::int32_t south = check.file.south;
  // The strip that ends at the north pole holds the pole itself.
  const std::int32_t highest = check.file.north == kPoleMas ? kPoleMas : check.file.north - 1;
  const bool supplement = check.file.kind == FileKind::kSupplement;
  Findings& findings = check.totals->findings;
  const char* path = check.path.c_str();
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* record = bytes + i * kRecordSize;
    const std::int64_t number = ++check.records;
    const std::int32_t right_ascension = LoadLE32(record + kRightAscensionOffset);
    const std::int32_t declination = LoadLE32(record + kDeclinationOffset);
    if (declination < south || declination > highest) {
      if (Shows(check)) {
        Report(findings, path, "record %lld: declination %d mas outside the file's strip [%d, %d%c",
               Wide(number), declination, south, check.file.north, highest == kPoleMas ? ']' : ')');
      }
    }
    if (right_ascension < 0 || right_ascension >= kFullCircleMas) {
      if (Shows(check)) {
        Report(findings, path, "record %lld: right ascension %d mas outside [0, %d)", Wide(number),
               right_ascension, kFullCircleMas);
      }
    } else {
      // A star out of the sky is reported once, not again as out of order with its neighbours.
      if (right_ascension < check.previous_right_ascension && Shows(check)) {
        Report(findings, path, "record %lld: right ascension %d mas below the previous star's %d",
               Wide(number), right_ascension, check.previous_right_ascension);
      }
      check.previous_right_ascension = right_ascension;
    }
    const bool marked = (record[kFlagOffset] & kSupplementFlagBit) != 0;
    if (marked != supplement && Shows(check)) {
      Report(findings, path,
             marked ? "record %lld: cflg bit 7 set, marking a supplement star in a main file"
                    : "record %lld: cflg bit 7 clear, marking a main star in a supplement file",
             Wide(number));
    }
  }
}

// Streams the file through `buffer`, a whole record at a time; a record may straddle two reads.
void CheckFile(FileCheck& check, std::uint8_t* buffer, bool scaled) {
  Findings& findings = check.totals->findings;
  const char* path = check.path.c_str();
  std::int64_t size = 0;
  switch (QueryPathKind(path, &size)) {
    case PathKind::kMissing:
      Report(findings, path, "missing");
      return;
    case PathKind::kOther:
      Report(findings, path, "not a regular file");
      return;
    case PathKind::kUnknown:
      Report(findings, path, "%s", kUnreadable);
      return;
    case PathKind::kRegularFile:
      break;
  }
  File file = OpenForReading(path);
  if (!file.is_open()) {
    Report(findings, path, "%s", kUnreadable);
    return;
  }
  // What the size alone tells comes first, so that the per-file limit never hides it.
  if (size % kRecordSize != 0 && Shows(check)) {
    Report(findings, path, "size not a multiple of %d bytes: %lld bytes after the last record",
           kRecordSize, Wide(size % kRecordSize));
  }
  const std::int64_t published = PublishedCount(check.file);
  if (!scaled && size / kRecordSize != published && Shows(check)) {
    Report(findings, path, "star count %lld, published count %lld", Wide(size / kRecordSize),
           Wide(published));
  }
  std::int64_t bytes_read = 0;
  std::size_t held = 0;
  std::int64_t got;
  while ((got = ReadBytes(file, buffer + held, kBlockSize - held)) > 0) {
    bytes_read += got;
    const std::size_t have = held + static_cast<std::size_t>(got);
    const std::size_t whole = have / kRecordSize;
    CheckRecords(check, buffer, whole);
    held = have - whole * kRecordSize;
    std::memmove(buffer, buffer + whole * kRecordSize, held);
  }
  check.totals->stars += check.records;
  // These two end the file's findings and are printed past the limit too: each says that
  // the findings above may not be all.
  if (got < 0) {
    Report(findings, path, "%s", kUnreadable);
  } else {
    ++check.totals->files_checked;
    if (bytes_read != size) Report(findings, path, "changed while being read");
  }
  if (check.findings > kPrintedPerFile) {
    Note("%s: findings not shown: %lld", path, Wide(check.findings - kPrintedPerFile));
  }
}

}  // namespace

int CheckCatalog(const char* directory, bool scaled) {
  const auto buffer = std::make_unique<std::uint8_t[]>(kBlockSize);
  CatalogTotals totals;
  StartProgress("Checking the catalog", kCatalogFiles);
  for (int n = 1; n <= kCatalogFiles; ++n) {
    FileCheck check;
    check.file = CatalogFileAt(n);
    check.path = JoinPath(directory, check.file.name);
    check.totals = &totals;
    CheckFile(check, buffer.get(), scaled);
    UpdateProgress(n);
  }
  Note("files checked: %d, stars: %lld, findings: %lld", totals.files_checked, Wide(totals.stars),
       Wide(totals.findings.total));
  return FindingsStatus(totals.findings);
}

}  // namespace ucac2

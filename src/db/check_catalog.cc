// Checking a catalog.
#include "db/check_catalog.h"

#include <cstdint>
#include <limits>

#include "base/catalog_files.h"
#include "base/file.h"
#include "base/sky.h"
#include "base/star_record.h"
#include "db/catalog_walk.h"
#include "db/findings.h"
#include "db/progress.h"

namespace ucac2 {
namespace {

constexpr const char* kUnreadable = "cannot be read";

struct CatalogTotals {
  Findings findings;
  int files_checked = 0;
  std::int64_t stars = 0;
};

// One file under check.
struct FileCheck {
  CatalogFile file;
  FileFindings out;
  std::int64_t records = 0;  // whole records checked so far
  std::int32_t previous_right_ascension = std::numeric_limits<std::int32_t>::min();
};

long long Wide(std::int64_t value) { return static_cast<long long>(value); }

void CheckRecords(FileCheck& check, const std::uint8_t* bytes, std::int64_t count) {
  const std::int32_t south = check.file.south;
  // The strip that ends at the north pole holds the pole itself.
  const std::int32_t highest = check.file.north == kPoleMas ? kPoleMas : check.file.north - 1;
  const bool supplement = check.file.kind == FileKind::kSupplement;
  // Kept in locals: through the record's bytes the compiler would otherwise have to store and
  // reload them for every record.
  std::int64_t number = check.records;
  std::int32_t previous = check.previous_right_ascension;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint8_t* record = bytes + i * kRecordSize;
    ++number;
    const std::int32_t right_ascension = LoadLE32(record + kRightAscensionOffset);
    const std::int32_t declination = LoadLE32(record + kDeclinationOffset);
    if (declination < south || declination > highest) {
      FileReport(check.out, "record %lld: declination %d mas outside the file's strip [%d, %d%c",
                 Wide(number), declination, south, check.file.north,
                 highest == kPoleMas ? ']' : ')');
    }
    if (right_ascension < 0 || right_ascension >= kFullCircleMas) {
      FileReport(check.out, "record %lld: right ascension %d mas outside [0, %d)", Wide(number),
                 right_ascension, kFullCircleMas);
    } else {
      // A star out of the sky is reported once, not again as out of order with its neighbours.
      if (right_ascension < previous) {
        FileReport(check.out, "record %lld: right ascension %d mas below the previous star's %d",
                   Wide(number), right_ascension, previous);
      }
      previous = right_ascension;
    }
    const bool marked = (record[kFlagOffset] & kSupplementFlagBit) != 0;
    if (marked != supplement) {
      FileReport(check.out,
                 marked ? "record %lld: cflg bit 7 set, marking a supplement star in a main file"
                        : "record %lld: cflg bit 7 clear, marking a main star in a supplement file",
                 Wide(number));
    }
  }
  check.records = number;
  check.previous_right_ascension = previous;
}

void CheckFile(CatalogTotals& totals, CatalogInput& input, RecordBlock& block, bool scaled) {
  Findings& findings = totals.findings;
  const char* path = input.path.c_str();
  switch (input.kind) {
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
  if (!input.handle.is_open()) {
    Report(findings, path, "%s", kUnreadable);
    return;
  }
  FileCheck check;
  check.file = input.file;
  check.out = FileFindings{&findings, input.path};
  // What the size alone tells comes first, so that the per-file limit never hides it.
  if (input.size % kRecordSize != 0) {
    FileReport(check.out, "size not a multiple of %d bytes: %lld bytes after the last record",
               kRecordSize, Wide(input.size % kRecordSize));
  }
  const std::int64_t published = PublishedCount(check.file);
  if (!scaled && input.size / kRecordSize != published) {
    FileReport(check.out, "star count %lld, published count %lld", Wide(input.size / kRecordSize),
               Wide(published));
  }
  std::int64_t count;
  while ((count = ReadRecords(input, block)) > 0) CheckRecords(check, block.bytes.get(), count);
  totals.stars += check.records;
  // These two end the file's findings and are printed past the limit too: each says that
  // the findings above may not be all.
  if (count < 0 && !input.ended_early) {
    Report(findings, path, "%s", kUnreadable);
  } else {
    ++totals.files_checked;
    if (count < 0 || GrewWhileRead(input)) Report(findings, path, "changed while being read");
  }
  FinishFile(check.out);
}

}  // namespace

int CheckCatalog(const char* directory, bool scaled) {
  RecordBlock block;
  CatalogTotals totals;
  StartProgress("Checking the catalog", kCatalogFiles);
  for (int n = 1; n <= kCatalogFiles; ++n) {
    CatalogInput input = OpenCatalogFile(directory, n);
    CheckFile(totals, input, block, scaled);
    UpdateProgress(n);
  }
  Note("files checked: %d, stars: %lld, findings: %lld", totals.files_checked, Wide(totals.stars),
       Wide(totals.findings.total));
  return FindingsStatus(totals.findings);
}

}  // namespace ucac2

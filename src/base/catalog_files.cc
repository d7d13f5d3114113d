// The catalog's files and their strips.
#include "base/catalog_files.h"

#include <algorithm>
#include <cstdio>

#include "base/catalog_counts.h"
#include "base/sky.h"

namespace ucac2 {
namespace {

constexpr std::int32_t kMainStrip = kMasPerDegree / 2;
constexpr std::int32_t kSupplementStrip = 5 * kMasPerDegree;

}  // namespace

CatalogFile CatalogFileAt(int n) {
  CatalogFile file;
  if (n <= kMainFiles) {
    file.kind = FileKind::kMain;
    file.number = n;
    std::snprintf(file.name, sizeof file.name, "z%03d", n);
    file.south = -kPoleMas + kMainStrip * (n - 1);
    file.north = file.south + kMainStrip;
  } else {
    file.kind = FileKind::kSupplement;
    file.number = n - kMainFiles;
    std::snprintf(file.name, sizeof file.name, "s%02d", file.number);
    file.south = -kPoleMas + kSupplementStrip * (file.number - 1);
    file.north = file.south + kSupplementStrip;
  }
  return file;
}

int FileNumberAt(FileKind kind, std::int32_t declination) {
  const std::int64_t from_south = std::int64_t{declination} + kPoleMas;
  // Each strip a constant divisor, which the compiler turns into a multiply: find keys every
  // entry it scans by its file.
  const std::int64_t number =
      (kind == FileKind::kMain ? from_south / kMainStrip : from_south / kSupplementStrip) + 1;
  const int last = kind == FileKind::kMain ? kMainFiles : kSupplementFiles;
  return static_cast<int>(std::clamp<std::int64_t>(number, 1, last));
}

std::int64_t PublishedCount(const CatalogFile& file) {
  const auto index = static_cast<std::size_t>(file.number - 1);
  return file.kind == FileKind::kMain ? kRealMainCounts[index] : kRealSupplementCounts[index];
}

}  // namespace ucac2

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
  const std::int64_t strip = kind == FileKind::kMain ? kMainStrip : kSupplementStrip;
  const int last = kind == FileKind::kMain ? kMainFiles : kSupplementFiles;
  const std::int64_t number = (std::int64_t{declination} + kPoleMas) / strip + 1;
  return static_cast<int>(std::clamp<std::int64_t>(number, 1, last));
}

std::int64_t PublishedCount(const CatalogFile& file) {
  const auto index = static_cast<std::size_t>(file.number - 1);
  return file.kind == FileKind::kMain ? kRealMainCounts[index] : kRealSupplementCounts[index];
}

}  // namespace ucac2

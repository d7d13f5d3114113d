// The catalog's files: their names, the order the compiler reads them in, the declination
// strip each one holds, and how its stars are numbered.
#pragma once

#include <cstdint>

namespace ucac2 {

inline constexpr int kMainFiles = 288;       // z001 .. z288
inline constexpr int kSupplementFiles = 36;  // s01 .. s36
inline constexpr int kCatalogFiles = kMainFiles + kSupplementFiles;
inline constexpr std::int32_t kFirstSupplementIdentifier = 50000001;
inline constexpr int kCatalogFileNameSize = 16;  // "z288", with room for any int

enum class FileKind { kMain, kSupplement };

/// One catalog file, by its place 1..kCatalogFiles in reading order (z001..z288, then
/// s01..s36).
struct CatalogFile {
  FileKind kind = FileKind::kMain;
  int number = 0;  // 1..288 for a main file, 1..36 for a supplement file
  char name[kCatalogFileNameSize] = {};
  // The declination strip in milliarcseconds: south edge included, north edge excluded
  // (except the strip that ends at the north pole, which includes it).
  std::int32_t south = 0;
  std::int32_t north = 0;
};

/// The catalog file at place `n` (1..kCatalogFiles) of the reading order.
CatalogFile CatalogFileAt(int n);

/// The number (1..288 for kMain, 1..36 for kSupplement) of the file of that kind whose strip
/// holds declination `declination` (mas, clamped to the poles).
int FileNumberAt(FileKind kind, std::int32_t declination);

/// The published star count of that file.
std::int64_t PublishedCount(const CatalogFile& file);

}  // namespace ucac2

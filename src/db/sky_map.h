// An all-sky picture of star density: equirectangular, right ascension growing to the left
// (24h at the left edge, 0h at the right), north up, a logarithmic colour scale, a faint grid
// every 2 hours and 30 degrees, written as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/findings.h"

namespace ucac2 {

inline constexpr int kDefaultMapWidth = 1440;
inline constexpr int kMinMapWidth = 16;
inline constexpr int kMaxMapWidth = 4096;

/// Star counts per pixel, row by row from the north, `width` x `width / 2`.
struct SkyMap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> counts;
};

/// An empty map `width` pixels wide (kMinMapWidth..kMaxMapWidth).
SkyMap MakeSkyMap(int width);

/// Counts a star at right ascension `ra` and declination `dec` (mas); ignores a position
/// off the sky.
void CountStar(SkyMap& map, std::int32_t ra, std::int32_t dec);

/// Counts every star of the database in folder `db`. False after reporting a zone file
/// that is missing, damaged or unreadable.
bool CountDatabase(SkyMap& map, const std::string& db, Findings& findings);

/// Counts every star of the catalog in folder `catalog`. A file that is missing or does not
/// open is reported and counts nothing, leaving its strip empty; false after reporting one
/// that fails while it is read.
bool CountCatalog(SkyMap& map, const std::string& catalog, Findings& findings);

/// The files a map of the database in `db`, or of the catalog in `catalog` when it is not
/// empty, is drawn from.
std::vector<std::string> MapInputs(const std::string& db, const std::string& catalog);

/// Writes the map to the PNG file `path`, releasing the counts on the way to keep memory
/// down: into a new file beside it, moved over `path` once whole. False after reporting a
/// file that cannot be written, and then `path` is as it was.
bool WriteSkyMap(SkyMap& map, const std::string& path, Findings& findings);

}  // namespace ucac2

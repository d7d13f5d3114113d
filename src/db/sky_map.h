// An all-sky picture of star density: equirectangular, right ascension growing to the left
// (24h at the left edge, 0h at the right), north up, a logarithmic colour scale, a faint grid
// every 2 hours and 30 degrees, in margins that label it (map_axes.h), written as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/findings.h"
#include "db/map_axes.h"

namespace ucac2 {

inline constexpr int kDefaultMapWidth = 1440;
inline constexpr int kMinMapWidth = 16;
inline constexpr int kMaxMapWidth = 4096;

/// Star counts per pixel, row by row from the north, `width` x `width / 2`.
struct SkyMap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> counts;
  std::vector<bool> supplement;  // pixels with a supplement star, when they are drawn apart
  std::int64_t stars = 0;        // counted on the sky
};

/// An empty map `width` pixels wide (kMinMapWidth..kMaxMapWidth); with `supplement`, the
/// supplement stars are kept apart from the density.
SkyMap MakeSkyMap(int width, bool supplement = false);

/// The pixel (x, y) of a map `width` wide at right ascension `ra` and declination `dec`
/// (mas); false for a position off the sky.
bool SkyPixel(int width, std::int32_t ra, std::int32_t dec, int* x, int* y);

/// Counts a star at right ascension `ra` and declination `dec` (mas), of the supplement when
/// `supplement_star`; ignores a position off the sky.
void CountStar(SkyMap& map, std::int32_t ra, std::int32_t dec, bool supplement_star = false);

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

/// Writes the map with `decor` to the PNG file `path`, releasing the counts on the way to keep
/// memory down: into a new file beside it, moved over `path` once whole. False after reporting
/// a file that cannot be written, and then `path` is as it was.
bool WriteSkyMap(SkyMap& map, const std::string& path, const MapDecor& decor, Findings& findings);

}  // namespace ucac2

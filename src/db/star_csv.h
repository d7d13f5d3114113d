// A zone-file entry as a line of CSV: every field of the star decoded into its natural unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ucac2 {

/// Room for any line FormatStarLine writes, its line end included.
inline constexpr std::size_t kMaxStarLineSize = 512;

/// The header line of the CSV, "\n" included; with the column "dist_arcsec" last when
/// `with_distance`.
const char* StarCsvHeader(bool with_distance);

/// Writes the line of the 48-byte entry at `entry` into `out` (kMaxStarLineSize bytes) and
/// returns its size, "\n" included. The distance in arcseconds is appended when
/// `with_distance`.
std::size_t FormatStarLine(const std::uint8_t* entry, bool with_distance, double distance_arcsec,
                           char* out);

/// Star lines on their way to the standard output, written a buffer at a time.
struct StarCsvOutput {
  std::vector<char> buffer = std::vector<char>(std::size_t{1} << 16);
  std::size_t used = 0;
  bool with_distance = false;
  bool failed = false;  // a write failed
};

/// Adds the line of the entry at `entry` (its distance appended when `with_distance`).
void WriteStarLine(StarCsvOutput& out, const std::uint8_t* entry, double distance_arcsec);

/// Writes out the lines held. False when this or any earlier write failed.
bool FlushStarLines(StarCsvOutput& out);

/// Writes ",<degrees>" for `mas` milliarcseconds into `out`, as the line's positions are
/// written, and returns its size.
std::size_t FormatDegreesColumn(std::int64_t mas, char* out);

}  // namespace ucac2

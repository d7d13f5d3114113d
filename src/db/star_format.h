// Stars written out as a table: CSV, TSV, VOTable or DS9 regions, one row per star, every
// field of the record decoded through the record's field table. A command may put columns of
// its own before the star's (a match target's) and after them (a distance).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/epoch.h"

namespace ucac2 {

enum class StarFormat { kCsv, kTsv, kVotable, kDs9 };

/// Reads a format's name: csv, tsv, votable or ds9. False on anything else.
bool ParseStarFormat(std::string_view name, StarFormat* format);

/// The columns of a table: `leading` text columns (named as given), the identifier and the
/// record's fields, then the distance column `distance_name` in arcseconds (none when empty,
/// e.g. "dist_arcsec" or "sep_arcsec"), then `ra_j2000` and `dec_j2000` when `at_epoch` (the
/// star's `ra` and `dec` then being its position at `epoch_years` after J2000.0).
struct TableLayout {
  StarFormat format = StarFormat::kCsv;
  std::vector<std::string> leading;
  bool at_epoch = false;
  double epoch_years = 0;
  std::string distance_name;
};

/// One row: the `leading` values (as many as the layout's leading columns), and the star of
/// the 48-byte zone-file entry `entry` with its position `at` the layout's epoch (ignored at
/// J2000.0) and its distance. A null `entry` leaves the star's columns empty (a target
/// without a star); DS9 writes no line for it.
struct StarRow {
  std::vector<std::string_view> leading;
  const std::uint8_t* entry = nullptr;
  SkyPosition at;
  double distance_arcsec = 0;
};

/// The radius of the circle DS9 draws around each star.
inline constexpr int kDs9CircleArcsec = 3;

/// Appends the table's head to `out`: the header line of CSV and TSV; the VOTable 1.4
/// document up to its TABLEDATA, one FIELD per column with its datatype, unit and UCD; the
/// DS9 header and `fk5`.
void AppendTableHead(const TableLayout& layout, std::string& out);

/// Appends one row. CSV quotes a text value holding a comma, a quote or a line end; TSV
/// turns tabs and line ends in one into spaces; VOTable escapes XML and replaces bytes
/// that are not UTF-8 by U+FFFD.
void AppendStarRow(const TableLayout& layout, const StarRow& row, std::string& out);

/// Appends the table's end: the VOTable's closing tags; nothing for the other formats.
void AppendTableTail(const TableLayout& layout, std::string& out);

}  // namespace ucac2

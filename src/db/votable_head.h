// The head of a VOTable of stars: the document up to its TABLEDATA, one FIELD per column
// with its datatype, unit and UCD; and the columns a star table adds to the record's fields.
#pragma once

#include <string>

#include "db/star_format.h"

namespace ucac2 {

/// A column beyond the record's fields.
struct ExtraColumn {
  const char* name;
  const char* datatype;
  const char* unit;
  const char* ucd;
};
inline constexpr ExtraColumn kIdColumn{"id", "int", "", "meta.id;meta.main"};
inline constexpr ExtraColumn kRaJ2000{"ra_j2000", "double", "deg", "pos.eq.ra"};
inline constexpr ExtraColumn kDecJ2000{"dec_j2000", "double", "deg", "pos.eq.dec"};

/// Appends the VOTable 1.4 document of `layout` up to and with its `<DATA><TABLEDATA>`.
void AppendVotableHead(const TableLayout& layout, std::string& out);

}  // namespace ucac2

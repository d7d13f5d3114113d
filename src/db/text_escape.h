// Text given by a user (a column's name, a field of a target list) made safe for each table
// format that the star writers put it in.
#pragma once

#include <string>
#include <string_view>

namespace ucac2 {

/// Appends `text` as one CSV field: as it is, or in quotes with its quotes doubled when it
/// holds a comma, a quote or a line end.
void AppendCsvText(std::string_view text, std::string& out);

/// Appends `text` as one TSV field, its tabs and line ends turned into spaces.
void AppendTsvText(std::string_view text, std::string& out);

/// Appends `text` as XML 1.0 character data or attribute value: `& < > " '` escaped, and
/// U+FFFD for every byte that does not begin well-formed UTF-8 and for every character XML
/// cannot hold (control characters other than tab and line ends, U+FFFE, U+FFFF).
void AppendXmlText(std::string_view text, std::string& out);

}  // namespace ucac2

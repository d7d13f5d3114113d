// Reading a list of targets: a CSV or TSV table with a header line, from a file or the
// standard input, a row at a time, quoted as spreadsheets and astronomy tools write CSV.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ucac2 {

/// Where a table's bytes come from: up to `size` bytes into `buffer`; the count read, 0 at
/// the end, -1 on failure.
using ByteSource = std::int64_t (*)(void* context, char* buffer, std::size_t size);

/// Rows longer than this are read to their end but not kept.
inline constexpr std::size_t kMaxRowBytes = 1 << 16;

/// A table being read. CSV: fields between commas, a field in double quotes may hold commas,
/// line ends and doubled quotes. TSV (a header holding a tab): fields between tabs, taken as
/// they stand. Lines end in LF or CR LF; a UTF-8 byte-order mark before the header is skipped.
struct TableReader {
  ByteSource source = nullptr;
  void* context = nullptr;
  char separator = ',';
  std::vector<char> buffer = std::vector<char>(std::size_t{1} << 16);
  std::size_t position = 0, size = 0;
  bool at_end = false;
  bool failed = false;         // the source failed
  std::int64_t row_line = 0;   // the line the last row read began on, from 1
  std::int64_t next_line = 1;  // the line the next row begins on
};

/// What became of a row.
enum class RowStatus { kRow, kEnd, kReadFailure, kUnclosedQuote, kTextAfterQuote, kTooLong };

/// Starts reading from `source`: reads the header line into `header` and chooses the
/// separator. kEnd when there is no header line.
RowStatus StartTable(TableReader& table, ByteSource source, void* context,
                     std::vector<std::string>& header);

/// Reads the next row into `fields` (a blank line gives one empty field).
RowStatus ReadRow(TableReader& table, std::vector<std::string>& fields);

/// The column of `header` named `name`, ignoring case and surrounding blanks; -1 if none.
int FindColumn(const std::vector<std::string>& header, const std::string& name);

/// The right ascension and declination columns, by the names astronomers' tables use
/// (ra/dec, raj2000/dej2000, ra_icrs/de_icrs, _raj2000/_dej2000, alpha/delta); -1 if none.
void FindPositionColumns(const std::vector<std::string>& header, int* ra, int* dec);

/// `text` without its leading and trailing blanks.
std::string Trimmed(const std::string& text);

}  // namespace ucac2

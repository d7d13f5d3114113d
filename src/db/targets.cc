// A small CSV state machine over a block buffer: it never holds more than one row, so a
// table of any length is read in fixed memory.
#include "db/targets.h"

#include <algorithm>
#include <cctype>

namespace ucac2 {
namespace {

constexpr char kQuote = '"';
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kByteOrderMarkSize = 3;

// The next byte, or -1 at the end of the source (or on its failure).
int Peek(TableReader& table) {
  if (table.position == table.size) {
    if (table.at_end) return -1;
    const std::int64_t got = table.source(table.context, table.buffer.data(), table.buffer.size());
    table.position = 0;
    table.size = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (got <= 0) {
      table.at_end = true;
      table.failed = got < 0;
      return -1;
    }
  }
  return static_cast<unsigned char>(table.buffer[table.position]);
}

int Take(TableReader& table) {
  const int c = Peek(table);
  if (c >= 0) ++table.position;
  if (c == '\n') ++table.next_line;
  return c;
}

/// A row being read: its fields, and how long it has grown.
struct RowBuilder {
  std::vector<std::string>& fields;
  std::size_t bytes = 0;
  bool too_long = false;

  void Add(char c) {
    if (++bytes > kMaxRowBytes) {
      too_long = true;
      return;
    }
    fields.back().push_back(c);
  }
};

// Reads the rest of a line after an error, so that the next row starts on the next line.
void SkipLine(TableReader& table) {
  for (int c = Take(table); c >= 0 && c != '\n'; c = Take(table)) {
  }
}

// A quoted field, its opening quote taken: up to the closing quote, "" standing for ".
RowStatus ReadQuoted(TableReader& table, RowBuilder& row) {
  for (;;) {
    const int c = Take(table);
    if (c < 0) return table.failed ? RowStatus::kReadFailure : RowStatus::kUnclosedQuote;
    if (c != kQuote) {
      row.Add(static_cast<char>(c));
      continue;
    }
    if (Peek(table) != kQuote) break;
    Take(table);
    row.Add(kQuote);
  }
  const int next = Peek(table);
  if (next == '\r') Take(table);
  const int after = Peek(table);
  if (after >= 0 && after != '\n' && after != table.separator) {
    SkipLine(table);
    return RowStatus::kTextAfterQuote;
  }
  return RowStatus::kRow;
}

}  // namespace

RowStatus ReadRow(TableReader& table, std::vector<std::string>& fields) {
  fields.assign(1, std::string());
  table.row_line = table.next_line;
  if (Peek(table) < 0) return table.failed ? RowStatus::kReadFailure : RowStatus::kEnd;
  RowBuilder row{fields};
  bool field_start = true;
  for (;;) {
    const int c = Peek(table);
    if (c < 0) break;  // a last line without its line end
    if (field_start && c == kQuote && table.separator == ',') {
      Take(table);
      const RowStatus status = ReadQuoted(table, row);
      if (status != RowStatus::kRow) return status;
      field_start = false;
      continue;
    }
    Take(table);
    field_start = false;
    if (c == '\n') break;
    if (c == table.separator) {
      fields.emplace_back();
      field_start = true;
      continue;
    }
    if (c == '\r' && Peek(table) == '\n') continue;  // CR LF
    row.Add(static_cast<char>(c));
  }
  if (table.failed) return RowStatus::kReadFailure;
  return row.too_long ? RowStatus::kTooLong : RowStatus::kRow;
}

RowStatus StartTable(TableReader& table, ByteSource source, void* context,
                     std::vector<std::string>& header) {
  table.source = source;
  table.context = context;
  // The separator is a tab when the first line holds one, as far as one block shows it. A
  // pipe hands out short reads: the block is topped up until it holds a line end.
  if (Peek(table) < 0) return table.failed ? RowStatus::kReadFailure : RowStatus::kEnd;
  // Each read's bytes are searched once: short reads must not make the search quadratic.
  const auto at = [&table](std::size_t offset) {
    return table.buffer.begin() + static_cast<std::ptrdiff_t>(offset);
  };
  std::size_t searched = 0;
  while (table.size < table.buffer.size() &&
         std::find(at(searched), at(table.size), '\n') == at(table.size)) {
    searched = table.size;
    const std::int64_t got = table.source(table.context, table.buffer.data() + table.size,
                                          table.buffer.size() - table.size);
    if (got <= 0) {
      table.at_end = true;
      table.failed = got < 0;
      break;
    }
    table.size += static_cast<std::size_t>(got);
  }
  if (table.size - table.position >= kByteOrderMarkSize &&
      std::equal(kByteOrderMark, kByteOrderMark + kByteOrderMarkSize,
                 table.buffer.data() + table.position)) {
    table.position += kByteOrderMarkSize;
  }
  const auto begin = table.buffer.begin() + static_cast<std::ptrdiff_t>(table.position);
  const auto end = table.buffer.begin() + static_cast<std::ptrdiff_t>(table.size);
  const auto line_end = std::find(begin, end, '\n');
  table.separator = std::find(begin, line_end, '\t') != line_end ? '\t' : ',';
  return ReadRow(table, header);
}

std::string Trimmed(const std::string& text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

int FindColumn(const std::vector<std::string>& header, const std::string& name) {
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  const std::string wanted = lower(Trimmed(name));
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (lower(Trimmed(header[i])) == wanted) return static_cast<int>(i);
  }
  return -1;
}

void FindPositionColumns(const std::vector<std::string>& header, int* ra, int* dec) {
  static const char* const kNames[][2] = {{"ra", "dec"},
                                          {"raj2000", "dej2000"},
                                          {"ra_icrs", "de_icrs"},
                                          {"_raj2000", "_dej2000"},
                                          {"alpha", "delta"}};
  *ra = -1;
  *dec = -1;
  for (const auto& pair : kNames) {
    if (*ra < 0) *ra = FindColumn(header, pair[0]);
    if (*dec < 0) *dec = FindColumn(header, pair[1]);
  }
}

}  // namespace ucac2

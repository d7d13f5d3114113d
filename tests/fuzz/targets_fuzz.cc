// Fuzzing match's target-list reader. The first byte sets the size of the reads the source
// hands out; the rest is the table. What must hold: the rows do not depend on how the bytes
// arrive (one block, or short reads as a pipe gives them); a CSV's rows, written back with
// every field quoted, read back to the same fields; a source that fails is reported as a
// failure, never as the end; each header name finds its column (or an earlier one alike).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "db/targets.h"
#include "fuzz_util.h"

namespace ucac2::fuzz {
namespace {

constexpr std::size_t kMaxRows = 200;  // enough to meet every state; keeps a run quick

// Hands out `bytes` at most `step` at a time, then the end, or a failure when `fail`.
struct Source {
  std::string_view bytes;
  std::size_t step = 0;
  bool fail = false;
};

std::int64_t ReadSource(void* context, char* buffer, std::size_t size) {
  auto& source = *static_cast<Source*>(context);
  if (source.bytes.empty()) return source.fail ? -1 : 0;
  const std::size_t count = std::min({size, source.step, source.bytes.size()});
  std::memcpy(buffer, source.bytes.data(), count);
  source.bytes.remove_prefix(count);
  return static_cast<std::int64_t>(count);
}

// One row as read: its status, line and fields.
struct Row {
  RowStatus status;
  std::int64_t line;
  std::vector<std::string> fields;
  bool operator==(const Row&) const = default;
};

struct Table {
  char separator = ',';
  std::vector<Row> rows;  // the header first
};

Table ReadTable(std::string_view bytes, std::size_t step, bool fail) {
  Source source{bytes, step, fail};
  TableReader reader;
  Table table;
  std::vector<std::string> fields;
  RowStatus status = StartTable(reader, ReadSource, &source, fields);
  table.separator = reader.separator;
  for (;;) {
    table.rows.push_back({status, reader.row_line, fields});
    if (status == RowStatus::kEnd || status == RowStatus::kReadFailure) break;
    if (table.rows.size() > kMaxRows) break;
    status = ReadRow(reader, fields);
  }
  return table;
}

std::string Quoted(const std::string& field) {
  std::string text = "\"";
  for (const char c : field) text += c == '"' ? std::string("\"\"") : std::string(1, c);
  return text + '"';
}

// A CSV's readable rows written back with every field quoted read back the same.
void CheckQuotedRoundTrip(const Table& table) {
  std::string text;
  std::vector<const Row*> written;
  for (const Row& row : table.rows) {
    if (row.status != RowStatus::kRow) continue;
    for (std::size_t i = 0; i < row.fields.size(); ++i) {
      // A tab in the header would make the copy a TSV.
      if (written.empty() && row.fields[i].find('\t') != std::string::npos) return;
      text += (i > 0 ? "," : "") + Quoted(row.fields[i]);
    }
    text += '\n';
    written.push_back(&row);
  }
  if (written.empty() || written.front() != &table.rows.front()) return;
  const Table back = ReadTable(text, text.size(), false);
  // A table cut at kMaxRows may leave its copy cut at the same count, with no end read.
  const bool cut = table.rows.back().status != RowStatus::kEnd;
  if (back.rows.size() < written.size() || (!cut && (back.rows.size() != written.size() + 1 ||
                                                     back.rows.back().status != RowStatus::kEnd))) {
    Fail("a quoted copy has as many rows");
  }
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (back.rows[i].status != RowStatus::kRow || back.rows[i].fields != written[i]->fields) {
      Fail("a quoted copy reads back to the same fields");
    }
  }
}

void CheckColumns(const std::vector<std::string>& header) {
  for (std::size_t i = 0; i < header.size(); ++i) {
    const int found = FindColumn(header, header[i]);
    if (found < 0 || static_cast<std::size_t>(found) > i ||
        FindColumn(header, header[static_cast<std::size_t>(found)]) != found) {
      Fail("a header name finds its own column or an earlier one of the same name");
    }
  }
}

}  // namespace
}  // namespace ucac2::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ucac2;
  using namespace ucac2::fuzz;
  if (size == 0) return 0;
  const std::size_t step = data[0] % 64 + 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const Table whole = ReadTable(bytes, bytes.size() + 1, false);
  const Table pieces = ReadTable(bytes, step, false);
  if (whole.separator != pieces.separator || whole.rows != pieces.rows) {
    Fail("the rows do not depend on the size of the reads");
  }
  const Table failing = ReadTable(bytes, step, true);
  if (failing.rows.size() <= kMaxRows && failing.rows.back().status != RowStatus::kReadFailure) {
    Fail("a source that fails is reported as a failure");
  }
  if (whole.rows.front().status == RowStatus::kRow) CheckColumns(whole.rows.front().fields);
  if (whole.separator == ',') CheckQuotedRoundTrip(whole);
  return 0;
}

// A match in three passes: the targets read once, their rows kept aside in input order and
// their pieces sorted into index order; the blocks searched; the answers sorted back into
// input order and printed beside the rows.
#include "db/match.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "base/file.h"
#include "db/angles.h"
#include "db/epoch.h"
#include "db/match_search.h"
#include "db/star_format.h"
#include "db/targets.h"

namespace ucac2 {
namespace {

constexpr double kRadiansPerArcsecond = 3.14159265358979323846 / 648000.0;
constexpr std::size_t kRowSpoolBytes = std::size_t{1} << 20;  // rows kept in memory at most
constexpr std::size_t kIoChunk = std::size_t{1} << 16;
constexpr std::size_t kLengthSize = 4;
constexpr const char* kStandardInput = "-";
constexpr const char* kStandardInputName = "standard input";

std::int64_t ReadStandardInput(void* /*context*/, char* buffer, std::size_t size) {
  const std::size_t got = std::fread(buffer, 1, size, stdin);
  return got == 0 && std::ferror(stdin) ? -1 : static_cast<std::int64_t>(got);
}

std::int64_t ReadFile(void* context, char* buffer, std::size_t size) {
  return ReadBytes(*static_cast<File*>(context), buffer, size);
}

/// The targets' output fields, one record per target (each field its length, then its bytes) in
/// input order: in memory, then past kRowSpoolBytes in a temporary file.
struct RowSpool {
  std::string memory;
  File file;
  bool on_disk = false;
  bool failed = false;
  std::size_t read_at = 0;  // in `memory`, while reading back
  bool at_end = false;
};

void Flush(RowSpool& spool) {
  if (!spool.file.is_open()) {
    spool.file = CreateTemporaryFile();
    spool.failed = !spool.file.is_open();
  }
  spool.on_disk = true;
  if (!spool.failed && !WriteBytes(spool.file, spool.memory.data(), spool.memory.size())) {
    spool.failed = true;
  }
  spool.memory.clear();
}

void AppendLengthAndBytes(std::string_view bytes, std::string& out) {
  std::uint8_t length[kLengthSize];
  StoreLE32(length, static_cast<std::int32_t>(bytes.size()));
  out.append(reinterpret_cast<const char*>(length), kLengthSize);
  out.append(bytes);
}

void Keep(RowSpool& spool, const std::string& row) {
  AppendLengthAndBytes(row, spool.memory);
  if (spool.memory.size() >= kRowSpoolBytes) Flush(spool);
}

void StartReadingBack(RowSpool& spool) {
  if (!spool.on_disk) return;
  Flush(spool);
  spool.failed = spool.failed || !SeekTo(spool.file, 0);
}

// The next row back into `row`; false when the temporary file fails.
bool TakeRow(RowSpool& spool, std::string& row) {
  const auto have = [&spool](std::size_t size) {
    while (spool.memory.size() - spool.read_at < size && spool.on_disk && !spool.failed) {
      spool.memory.erase(0, spool.read_at);
      spool.read_at = 0;
      const std::size_t before = spool.memory.size();
      spool.memory.resize(before + kIoChunk);
      const std::int64_t got = ReadBytes(spool.file, spool.memory.data() + before, kIoChunk);
      spool.memory.resize(before + static_cast<std::size_t>(got > 0 ? got : 0));
      if (got <= 0) spool.failed = true;
    }
    return spool.memory.size() - spool.read_at >= size;
  };
  if (!have(kLengthSize)) return false;
  const auto size = static_cast<std::size_t>(
      LoadLE32(reinterpret_cast<const std::uint8_t*>(spool.memory.data() + spool.read_at)));
  spool.read_at += kLengthSize;
  if (!have(size)) return false;
  row.assign(spool.memory, spool.read_at, size);
  spool.read_at += size;
  return true;
}

/// The output, a buffer at a time.
struct Output {
  std::FILE* stream;
  std::string buffer;
  bool failed = false;

  void Flush() {
    if (!buffer.empty() && std::fwrite(buffer.data(), 1, buffer.size(), stream) != buffer.size()) {
      failed = true;
    }
    buffer.clear();
  }
  // After text was appended to the buffer.
  void Wrote() {
    if (buffer.size() >= kIoChunk) Flush();
  }
};

const char* RowProblem(RowStatus status) {
  switch (status) {
    case RowStatus::kUnclosedQuote:
      return "a quoted field does not end";
    case RowStatus::kTextAfterQuote:
      return "text after a quoted field's closing quote";
    case RowStatus::kTooLong:
      return "longer than 65536 bytes";
    default:
      return "cannot be read";
  }
}

/// What reading the targets leaves: how many were kept and where.
struct TargetsRead {
  std::int64_t kept = 0;
  std::vector<std::string> header;  // the targets' column names
  bool stopped = false;             // the table or a temporary file failed: nothing is printed
};

// Reads every row: a good one's fields go to the spool and its pieces to the sort; a bad one
// is reported with its line number.
TargetsRead ReadTargets(TableReader& table, const char* name, const MatchOptions& options,
                        RowSpool& spool, PieceSort& pieces, Findings& findings) {
  TargetsRead read;
  std::vector<std::string> fields;
  RowStatus status = StartTable(table, table.source, table.context, fields);
  if (status != RowStatus::kRow) {
    Report(findings, name, status == RowStatus::kEnd ? "empty: no header line" : "cannot be read");
    read.stopped = true;
    return read;
  }
  int ra_column = -1, dec_column = -1;
  FindPositionColumns(fields, &ra_column, &dec_column);
  if (!options.ra_column.empty()) ra_column = FindColumn(fields, options.ra_column);
  if (!options.dec_column.empty()) dec_column = FindColumn(fields, options.dec_column);
  if (ra_column < 0 || dec_column < 0) {
    Report(findings, name, "no %s column in the header line",
           ra_column < 0 ? "right ascension" : "declination");
    read.stopped = true;
    return read;
  }
  const std::size_t columns = fields.size();
  read.header = fields;
  std::string row;
  while ((status = ReadRow(table, fields)) != RowStatus::kEnd) {
    const long long line = table.row_line;
    if (status == RowStatus::kReadFailure) {
      Report(findings, name, "cannot be read");
      read.stopped = true;
      return read;
    }
    if (status != RowStatus::kRow) {
      Report(findings, name, "line %lld: %s", line, RowProblem(status));
      continue;
    }
    if (fields.size() != columns) {
      // %zu is not in the Windows C library's printf.
      Report(findings, name, "line %lld: %lld fields, the header line has %lld", line,
             static_cast<long long>(fields.size()), static_cast<long long>(columns));
      continue;
    }
    Angle ra, dec;
    const std::string ra_text = Trimmed(fields[static_cast<std::size_t>(ra_column)]);
    const std::string dec_text = Trimmed(fields[static_cast<std::size_t>(dec_column)]);
    if (!ParseAngle(ra_text.c_str(), AngleKind::kRightAscension, &ra)) {
      Report(findings, name, "line %lld: '%s' is not a right ascension", line, ra_text.c_str());
      continue;
    }
    if (!ParseAngle(dec_text.c_str(), AngleKind::kDeclination, &dec)) {
      Report(findings, name, "line %lld: '%s' is not a declination", line, dec_text.c_str());
      continue;
    }
    row.clear();
    for (const std::string& field : fields) AppendLengthAndBytes(field, row);
    Keep(spool, row);
    if (spool.failed || !AddTargetPieces(pieces, read.kept, AngleMas(ra), AngleMas(dec),
                                         options.radius_arcsec * kRadiansPerArcsecond,
                                         Motion{options.moved, options.years})) {
      ReportTemporaryFileFailure(findings, kTargetsSorted);
      read.stopped = true;
      return read;
    }
    ++read.kept;
  }
  return read;
}

// Splits a kept row back into its fields; false when it is not as Keep wrote it.
bool SplitRow(const std::string& row, std::vector<std::string_view>& fields) {
  fields.clear();
  for (std::size_t at = 0; at < row.size();) {
    if (row.size() - at < kLengthSize) return false;
    const auto size = static_cast<std::size_t>(static_cast<std::uint32_t>(
        LoadLE32(reinterpret_cast<const std::uint8_t*>(row.data() + at))));
    at += kLengthSize;
    if (row.size() - at < size) return false;
    fields.emplace_back(row.data() + at, size);
    at += size;
  }
  return true;
}

// Prints every kept row beside its answers, in input order.
bool PrintRows(const TargetsRead& read, const MatchOptions& options, RowSpool& spool,
               AnswerSort& answers, Output& out) {
  TableLayout layout;
  layout.format = options.format;
  layout.leading = read.header;
  layout.distance_name = "sep_arcsec";
  layout.at_epoch = options.moved;
  layout.epoch_years = options.years;
  AppendTableHead(layout, out.buffer);
  StartReadingBack(spool);
  MatchAnswer answer;
  int got = NextRecord(answers, &answer);
  std::string text;
  StarRow row;
  for (std::int64_t target = 0; target < read.kept; ++target) {
    if (got < 0 || !TakeRow(spool, text) || !SplitRow(text, row.leading)) return false;
    bool printed = false;
    for (; got > 0 && answer.target == target; got = NextRecord(answers, &answer)) {
      if (printed && !options.all) continue;  // a farther star of another block
      row.entry = answer.entry;
      if (options.moved) {
        std::int32_t ra = 0, dec = 0;
        EntryPositionAtMas(answer.entry, options.years, &ra, &dec);
        row.at = {static_cast<double>(ra), static_cast<double>(dec)};
      }
      row.distance_arcsec = answer.distance / kRadiansPerArcsecond;
      AppendStarRow(layout, row, out.buffer);
      out.Wrote();
      printed = true;
    }
    if (!printed && options.unmatched) {
      row.entry = nullptr;
      AppendStarRow(layout, row, out.buffer);
      out.Wrote();
    }
  }
  AppendTableTail(layout, out.buffer);
  return got >= 0;
}

}  // namespace

int MatchTargets(const std::string& targets, const MatchOptions& options, std::FILE* out_stream) {
  Findings findings;
  const bool standard_input = targets == kStandardInput;
  const char* name = standard_input ? kStandardInputName : targets.c_str();
  File file;
  TableReader table;
  if (standard_input) {
    table.source = ReadStandardInput;
  } else {
    file = OpenForReading(targets.c_str());
    if (!file.is_open()) {
      Report(findings, name, "missing or unreadable");
      return FindingsStatus(findings);
    }
    table.source = ReadFile;
    table.context = &file;
  }
  RowSpool spool;
  PieceSort pieces;
  StartSort(pieces, options.run);
  const TargetsRead read = ReadTargets(table, name, options, spool, pieces, findings);
  if (read.stopped) return FindingsStatus(findings);
  MatchSearch search;
  search.db = options.db;
  search.radius = options.radius_arcsec * kRadiansPerArcsecond;
  search.all = options.all;
  search.mag_min_given = options.mag_min_given;
  search.mag_max_given = options.mag_max_given;
  search.mag_min = options.mag_min;
  search.mag_max = options.mag_max;
  search.motion = {options.moved, options.years};
  AnswerSort answers;
  StartSort(answers, options.run);
  if (!SearchPieces(search, pieces, answers, findings)) return FindingsStatus(findings);
  Output out{out_stream, {}};
  if (!PrintRows(read, options, spool, answers, out)) {
    out.Flush();
    ReportTemporaryFileFailure(findings, kTargetsSorted);
    return FindingsStatus(findings);
  }
  out.Flush();
  if (out.failed || std::fflush(out_stream) != 0) {
    Report(findings, "standard output", "cannot be written");
  }
  return FindingsStatus(findings);
}

}  // namespace ucac2

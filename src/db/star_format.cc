// The writers of a star table. Every field is an integer count of its unit on disk and is
// printed with integer arithmetic, so each decimal is exact (the degrees of a position round
// to 9 decimals, which still give back the exact milliarcseconds); the formats differ only in
// how cells, rows and the head around them are written.
#include "db/star_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "base/always_inline.h"
#include "base/catalog_files.h"
#include "base/star_record.h"
#include "db/text_escape.h"
#include "db/votable_head.h"

namespace ucac2 {
namespace {

constexpr int kDistanceDecimals = 6;                // microarcseconds
constexpr int kDegreeDecimals = 9;                  // give back the exact milliarcseconds
constexpr double kNanoDegreesPerMas = 2500.0 / 9;   // 10^9 / 3,600,000
constexpr std::int64_t kSupplementEpochScale = 10;  // the supplement's epochs are hundredths
constexpr std::size_t kCellSize = 48;               // room for any number written

constexpr std::int64_t PowerOfTen(int exponent) {
  std::int64_t scale = 1;
  for (int i = 0; i < exponent; ++i) scale *= 10;
  return scale;
}

UCAC2_ALWAYS_INLINE char* WriteText(char* p, std::string_view text) {
  return std::copy(text.begin(), text.end(), p);
}

UCAC2_ALWAYS_INLINE char* WriteInteger(char* p, std::int64_t value) {
  return std::to_chars(p, p + kCellSize, value).ptr;
}

// `value` counts units of 10^-D: a constant divisor, which the compiler turns into a multiply.
template <int D>
UCAC2_ALWAYS_INLINE char* WriteFixedDigits(char* p, std::int64_t value) {
  constexpr auto kScale = static_cast<std::uint64_t>(PowerOfTen(D));
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  if (value < 0) *p++ = '-';
  p = std::to_chars(p, p + kCellSize, magnitude / kScale).ptr;
  *p++ = '.';
  magnitude %= kScale;
  for (int i = D - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  return p + D;
}

// Whole milliarcseconds as degrees: mas * 2500 / 9, rounded; a ninth is never a half, so
// the rounding has no ties.
char* WriteDegrees(char* p, std::int64_t mas) {
  const std::int64_t magnitude = mas < 0 ? -mas : mas;
  const std::int64_t nano_degrees = (magnitude * 5000 + 9) / 18;
  return WriteFixedDigits<kDegreeDecimals>(p, mas < 0 ? -nano_degrees : nano_degrees);
}

// A position moved to another epoch, fractions of a milliarcsecond kept.
char* WriteDegrees(char* p, double mas) {
  return WriteFixedDigits<kDegreeDecimals>(p, std::llround(mas * kNanoDegreesPerMas));
}

// Appends a value given by the user (a column's name or a target's field).
void AppendText(StarFormat format, std::string_view text, std::string& out) {
  switch (format) {
    case StarFormat::kCsv:
      AppendCsvText(text, out);
      return;
    case StarFormat::kTsv:
      AppendTsvText(text, out);
      return;
    case StarFormat::kVotable:
      AppendXmlText(text, out);
      return;
    case StarFormat::kDs9:
      return;
  }
}

/// The most cells a row has beyond the user's: the identifier, the record's fields, the
/// distance and the J2000.0 position.
constexpr std::size_t kMaxStarCells = std::size(kRecordFields) + 4;
constexpr std::size_t kMaxCellFrame = 9;  // "<TD>", "</TD>"; or a separator

/// Room for a row's star cells, with <TR> and </TR>.
constexpr std::size_t kRowCellsSize =
    kMaxStarCells * (kCellSize + kMaxCellFrame) + 2 * kMaxCellFrame;

/// Writes cells one after another, with the format's separators: a table's head, a user's
/// texts and empty cells. The cells go into `cells` and reach the row in one append; a
/// user's text goes straight to the row.
struct RowWriter {
  RowWriter(const TableLayout& table, std::string& row, char* cells)
      : layout(table), out(row), buffer(cells) {}

  const TableLayout& layout;
  std::string& out;
  char* const buffer;
  char* p = buffer;
  bool first = true;

  bool Votable() const { return layout.format == StarFormat::kVotable; }
  void Put(std::string_view text) { p = WriteText(p, text); }
  void Flush() {
    out.append(buffer, static_cast<std::size_t>(p - buffer));
    p = buffer;
  }
  void Start() {
    if (Votable()) Put("<TR>");
  }
  void Separate() {
    if (!first && layout.format == StarFormat::kCsv) *p++ = ',';
    if (!first && layout.format == StarFormat::kTsv) *p++ = '\t';
    first = false;
    if (Votable()) Put("<TD>");
  }
  void End() {
    if (Votable()) Put("</TD>");
  }
  // A column's name of ours, or an empty cell: no escaping needed.
  void Plain(std::string_view text) {
    Separate();
    Put(text);
    End();
  }
  void Text(std::string_view text) {
    Separate();
    Flush();
    AppendText(layout.format, text, out);
    End();
  }
  void Finish() {
    Put(Votable() ? "</TR>\n" : "\n");
    Flush();
  }
};

/// Writes a star's cells in format F, known when this is compiled, so that no cell tests
/// the format. It lives in locals, out of reach of the bytes written through `p`, which
/// could otherwise be any member of a writer for all the compiler knows, and be read again
/// after every byte.
template <StarFormat F>
struct StarCells {
  char* p;
  bool first;

  UCAC2_ALWAYS_INLINE void Put(std::string_view text) { p = WriteText(p, text); }
  UCAC2_ALWAYS_INLINE void Separate() {
    if constexpr (F == StarFormat::kCsv) {
      if (!first) *p++ = ',';
    } else if constexpr (F == StarFormat::kTsv) {
      if (!first) *p++ = '\t';
    } else {
      Put("<TD>");
    }
    first = false;
  }
  UCAC2_ALWAYS_INLINE void End() {
    if constexpr (F == StarFormat::kVotable) Put("</TD>");
  }
  UCAC2_ALWAYS_INLINE void Integer(std::int64_t value) {
    Separate();
    p = WriteInteger(p, value);
    End();
  }
  template <int D>
  UCAC2_ALWAYS_INLINE void Fixed(std::int64_t value) {
    Separate();
    p = WriteFixedDigits<D>(p, value);
    End();
  }
  template <typename Mas>
  UCAC2_ALWAYS_INLINE void Degrees(Mas mas) {
    Separate();
    p = WriteDegrees(p, mas);
    End();
  }
};

// The cell of field I of the record. The field's row of the table is known when this is
// compiled, so each field is decoded and printed by code of its own, with constant divisors.
template <std::size_t I, StarFormat F>
UCAC2_ALWAYS_INLINE void AppendFieldCell(const StarRow& row, const std::uint8_t* record,
                                         std::int64_t epoch_scale, bool at_epoch,
                                         StarCells<F>& cells) {
  constexpr RecordField field = kRecordFields[I];
  const std::int64_t value = FieldValue(field, record);
  if constexpr (field.form == FieldForm::kInteger) {
    cells.Integer(value);
  } else if constexpr (field.form == FieldForm::kFixed) {
    cells.template Fixed<field.decimals>(value * field.scale);
  } else if constexpr (field.form == FieldForm::kDegrees) {
    if (at_epoch) {
      cells.Degrees(field.offset == kRightAscensionOffset ? row.at.ra_mas : row.at.dec_mas);
    } else {
      cells.Degrees(value);
    }
  } else {
    cells.template Fixed<field.decimals>(kEpochBase * PowerOfTen(field.decimals) +
                                         value * field.scale * epoch_scale);
  }
}

template <StarFormat F, std::size_t... I>
UCAC2_ALWAYS_INLINE void AppendFieldCells(std::index_sequence<I...> /*fields*/, const StarRow& row,
                                          const std::uint8_t* record, std::int64_t epoch_scale,
                                          bool at_epoch, StarCells<F>& cells) {
  (AppendFieldCell<I>(row, record, epoch_scale, at_epoch, cells), ...);
}

// The star's cells: identifier, fields, distance, J2000.0 position at another epoch; after
// other cells unless `first`. Returns the end of what it wrote.
template <StarFormat F>
UCAC2_FLATTEN char* WriteStarCells(const StarRow& row, bool at_epoch, bool with_distance,
                                   bool first, char* p) {
  StarCells<F> cells{p, first};
  const std::uint8_t* entry = row.entry;
  const std::int64_t id = LoadLE32(entry);
  cells.Integer(id);
  const std::uint8_t* record = entry + kIdentifierSize;
  const std::int64_t epoch_scale = id >= kFirstSupplementIdentifier ? kSupplementEpochScale : 1;
  AppendFieldCells(std::make_index_sequence<std::size(kRecordFields)>(), row, record, epoch_scale,
                   at_epoch, cells);
  if (with_distance) {
    cells.template Fixed<kDistanceDecimals>(
        std::llround(row.distance_arcsec * static_cast<double>(PowerOfTen(kDistanceDecimals))));
  }
  if (at_epoch) {
    cells.Degrees(std::int64_t{LoadLE32(record + kRightAscensionOffset)});
    cells.Degrees(std::int64_t{LoadLE32(record + kDeclinationOffset)});
  }
  return cells.p;
}

// The star's cells, which end the row, in the writer's format.
void AppendStarCells(const StarRow& row, RowWriter& writer) {
  const TableLayout& layout = writer.layout;
  const bool with_distance = !layout.distance_name.empty();
  switch (layout.format) {
    case StarFormat::kCsv:
      writer.p = WriteStarCells<StarFormat::kCsv>(row, layout.at_epoch, with_distance, writer.first,
                                                  writer.p);
      return;
    case StarFormat::kTsv:
      writer.p = WriteStarCells<StarFormat::kTsv>(row, layout.at_epoch, with_distance, writer.first,
                                                  writer.p);
      return;
    case StarFormat::kVotable:
      writer.p = WriteStarCells<StarFormat::kVotable>(row, layout.at_epoch, with_distance,
                                                      writer.first, writer.p);
      return;
    case StarFormat::kDs9:
      return;
  }
}

// The number of the star's columns, for a row without a star.
std::size_t StarColumns(const TableLayout& layout) {
  return 1 + std::size(kRecordFields) + (layout.at_epoch ? 2 : 0) +
         (layout.distance_name.empty() ? 0 : 1);
}

void AppendDs9Row(const StarRow& row, const TableLayout& layout, std::string& out) {
  if (row.entry == nullptr) return;
  const std::uint8_t* record = row.entry + kIdentifierSize;
  char line[4 * kCellSize + 32];
  char* p = line;
  p = WriteText(p, "circle(");
  p = layout.at_epoch ? WriteDegrees(p, row.at.ra_mas)
                      : WriteDegrees(p, std::int64_t{LoadLE32(record + kRightAscensionOffset)});
  p = WriteText(p, ",");
  p = layout.at_epoch ? WriteDegrees(p, row.at.dec_mas)
                      : WriteDegrees(p, std::int64_t{LoadLE32(record + kDeclinationOffset)});
  p = WriteText(p, ",");
  p = WriteInteger(p, kDs9CircleArcsec);
  p = WriteText(p, "\") # text={");
  p = WriteInteger(p, LoadLE32(row.entry));
  p = WriteText(p, "}\n");
  out.append(line, static_cast<std::size_t>(p - line));
}

}  // namespace

bool ParseStarFormat(std::string_view name, StarFormat* format) {
  const struct {
    const char* name;
    StarFormat format;
  } kNames[] = {{"csv", StarFormat::kCsv},
                {"tsv", StarFormat::kTsv},
                {"votable", StarFormat::kVotable},
                {"ds9", StarFormat::kDs9}};
  for (const auto& entry : kNames) {
    if (name == entry.name) {
      *format = entry.format;
      return true;
    }
  }
  return false;
}

void AppendTableHead(const TableLayout& layout, std::string& out) {
  switch (layout.format) {
    case StarFormat::kCsv:
    case StarFormat::kTsv: {
      char cells[kRowCellsSize];
      RowWriter writer{layout, out, cells};
      for (const std::string& name : layout.leading) writer.Text(name);
      writer.Plain(kIdColumn.name);
      for (const RecordField& field : kRecordFields) writer.Plain(field.name);
      if (!layout.distance_name.empty()) writer.Text(layout.distance_name);
      if (layout.at_epoch) {
        writer.Plain(kRaJ2000.name);
        writer.Plain(kDecJ2000.name);
      }
      writer.Finish();
      return;
    }
    case StarFormat::kVotable:
      AppendVotableHead(layout, out);
      return;
    case StarFormat::kDs9:
      out += "# Region file format: DS9 version 4.1\nglobal color=green\nfk5\n";
      return;
  }
}

void AppendStarRow(const TableLayout& layout, const StarRow& row, std::string& out) {
  if (layout.format == StarFormat::kDs9) {
    AppendDs9Row(row, layout, out);
    return;
  }
  char cells[kRowCellsSize];
  RowWriter writer{layout, out, cells};
  writer.Start();
  for (const std::string_view value : row.leading) writer.Text(value);
  if (row.entry != nullptr) {
    AppendStarCells(row, writer);
  } else {
    for (std::size_t i = StarColumns(layout); i > 0; --i) writer.Plain("");
  }
  writer.Finish();
}

void AppendTableTail(const TableLayout& layout, std::string& out) {
  if (layout.format == StarFormat::kVotable) {
    out += "</TABLEDATA></DATA>\n</TABLE>\n</RESOURCE>\n</VOTABLE>\n";
  }
}

}  // namespace ucac2

// The CSV line of a star, written through the record's field table with integer arithmetic:
// every field is an integer count of its unit on disk, so each decimal printed is exact (the
// degrees of a position round to 9 decimals, which still give back the exact
// milliarcseconds).
#include "db/star_csv.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>

#include "base/always_inline.h"
#include "base/catalog_files.h"
#include "base/star_record.h"

namespace ucac2 {
namespace {

constexpr int kDistanceDecimals = 6;                // microarcseconds
constexpr std::int64_t kSupplementEpochScale = 10;  // the supplement's epochs are hundredths

// The header line: the identifier, then every field of the record by its table name.
std::string HeaderLine(bool with_distance) {
  std::string line = "id";
  for (const RecordField& field : kRecordFields) {
    line += ',';
    line += field.name;
  }
  if (with_distance) line += ",dist_arcsec";
  return line + "\n";
}

constexpr std::int64_t PowerOfTen(int exponent) {
  std::int64_t scale = 1;
  for (int i = 0; i < exponent; ++i) scale *= 10;
  return scale;
}

/// Appends text and the separating comma to a line being written; inlined into the line's
/// code, as a hand-written line would be.
struct LineWriter {
  char* p;

  UCAC2_ALWAYS_INLINE void Integer(std::int64_t value) {
    p = std::to_chars(p, p + 24, value).ptr;
    *p++ = ',';
  }

  // `value` counts units of 10^-decimals. The decimals are a constant of each call, so
  // that the divisions become multiplications.
  template <int decimals>
  UCAC2_ALWAYS_INLINE void Fixed(std::int64_t value) {
    constexpr std::int64_t scale = PowerOfTen(decimals);
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    if (value < 0) *p++ = '-';
    p = std::to_chars(p, p + 24, magnitude / static_cast<std::uint64_t>(scale)).ptr;
    *p++ = '.';
    magnitude %= static_cast<std::uint64_t>(scale);
    for (int i = decimals - 1; i >= 0; --i) {
      p[i] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    }
    p += decimals;
    *p++ = ',';
  }

  // Milliarcseconds as degrees with 9 decimals: mas * 10^9 / 3,600,000 = mas * 2500 / 9,
  // rounded; a ninth is never a half, so the rounding has no ties.
  UCAC2_ALWAYS_INLINE void Degrees(std::int64_t mas) {
    const std::int64_t magnitude = mas < 0 ? -mas : mas;
    const std::int64_t nano_degrees = (magnitude * 5000 + 9) / 18;
    Fixed<9>(mas < 0 ? -nano_degrees : nano_degrees);
  }
};

// Writes field `I` of the table: the table is a constant, so each field's form, width and
// scale are settled when this compiles, as if the line were written out field by field.
template <std::size_t I>
void WriteField(LineWriter& line, const std::uint8_t* record, std::int64_t epoch_scale) {
  constexpr RecordField field = kRecordFields[I];
  const std::int64_t value = FieldValue(field, record);
  if constexpr (field.form == FieldForm::kInteger) {
    line.Integer(value);
  } else if constexpr (field.form == FieldForm::kFixed) {
    line.Fixed<field.decimals>(value * field.scale);
  } else if constexpr (field.form == FieldForm::kDegrees) {
    static_assert(field.decimals == 9);
    line.Degrees(value);
  } else {
    line.Fixed<field.decimals>(kEpochBase * PowerOfTen(field.decimals) +
                               value * field.scale * epoch_scale);
  }
}

template <std::size_t... I>
void WriteFields(LineWriter& line, const std::uint8_t* record, std::int64_t epoch_scale,
                 std::index_sequence<I...>) {
  (WriteField<I>(line, record, epoch_scale), ...);
}

}  // namespace

const char* StarCsvHeader(bool with_distance) {
  static const std::string plain = HeaderLine(false);
  static const std::string with = HeaderLine(true);
  return with_distance ? with.c_str() : plain.c_str();
}

std::size_t FormatStarLine(const std::uint8_t* entry, bool with_distance, double distance_arcsec,
                           char* out) {
  LineWriter line{out};
  const std::int64_t id = LoadLE32(entry);
  line.Integer(id);
  const std::int64_t epoch_scale = id >= kFirstSupplementIdentifier ? kSupplementEpochScale : 1;
  WriteFields(line, entry + kIdentifierSize, epoch_scale,
              std::make_index_sequence<std::size(kRecordFields)>());
  if (with_distance) {
    line.Fixed<kDistanceDecimals>(
        std::llround(distance_arcsec * static_cast<double>(PowerOfTen(kDistanceDecimals))));
  }
  --line.p;  // the last comma
  *line.p++ = '\n';
  return static_cast<std::size_t>(line.p - out);
}

void WriteStarLine(StarCsvOutput& out, const std::uint8_t* entry, double distance_arcsec) {
  if (out.used + kMaxStarLineSize > out.buffer.size()) FlushStarLines(out);
  out.used +=
      FormatStarLine(entry, out.with_distance, distance_arcsec, out.buffer.data() + out.used);
}

bool FlushStarLines(StarCsvOutput& out) {
  if (out.used > 0 && std::fwrite(out.buffer.data(), 1, out.used, stdout) != out.used) {
    out.failed = true;
  }
  out.used = 0;
  return !out.failed;
}

std::size_t FormatDegreesColumn(std::int64_t mas, char* out) {
  out[0] = ',';
  LineWriter line{out + 1};
  line.Degrees(mas);
  return static_cast<std::size_t>(line.p - out) - 1;  // less the comma Degrees appends
}

}  // namespace ucac2

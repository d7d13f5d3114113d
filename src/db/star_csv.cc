// The CSV line of a star, written through the record's field table with integer arithmetic:
// every field is an integer count of its unit on disk, so each decimal printed is exact (the
// degrees of a position round to 9 decimals, which still give back the exact
// milliarcseconds).
#include "db/star_csv.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

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

std::int64_t PowerOfTen(int exponent) {
  std::int64_t scale = 1;
  for (int i = 0; i < exponent; ++i) scale *= 10;
  return scale;
}

/// Appends text and the separating comma to a line being written.
struct LineWriter {
  char* p;

  void Integer(std::int64_t value) {
    p = std::to_chars(p, p + 24, value).ptr;
    *p++ = ',';
  }

  // `value` counts units of 10^-decimals.
  void Fixed(std::int64_t value, int decimals) {
    const std::int64_t scale = PowerOfTen(decimals);
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
  void Degrees(std::int64_t mas) {
    const std::int64_t magnitude = mas < 0 ? -mas : mas;
    const std::int64_t nano_degrees = (magnitude * 5000 + 9) / 18;
    Fixed(mas < 0 ? -nano_degrees : nano_degrees, 9);
  }
};

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
  const std::uint8_t* record = entry + kIdentifierSize;
  const std::int64_t epoch_scale = id >= kFirstSupplementIdentifier ? kSupplementEpochScale : 1;
  for (const RecordField& field : kRecordFields) {
    const std::int64_t value = FieldValue(field, record);
    switch (field.form) {
      case FieldForm::kInteger:
        line.Integer(value);
        break;
      case FieldForm::kFixed:
        line.Fixed(value * field.scale, field.decimals);
        break;
      case FieldForm::kDegrees:
        line.Degrees(value);
        break;
      case FieldForm::kEpoch:
        line.Fixed(kEpochBase * PowerOfTen(field.decimals) + value * field.scale * epoch_scale,
                   field.decimals);
        break;
    }
  }
  if (with_distance) {
    line.Fixed(std::llround(distance_arcsec * static_cast<double>(PowerOfTen(kDistanceDecimals))),
               kDistanceDecimals);
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

}  // namespace ucac2

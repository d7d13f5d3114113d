// The CSV line of a star, written with integer arithmetic: every field is an integer count of
// its unit on disk, so each decimal printed is exact (the degrees of a position round to 9
// decimals, which still give back the exact milliarcseconds).
#include "db/star_csv.h"

#include <charconv>
#include <cmath>
#include <string>

#include "base/catalog_files.h"
#include "base/star_record.h"

namespace ucac2 {
namespace {

// Offsets of the record's items within an entry (behind the 4-byte identifier).
constexpr int kMagOffset = kIdentifierSize + 8;
constexpr int kErrorRaOffset = kIdentifierSize + 10;
constexpr int kErrorDecOffset = kIdentifierSize + 11;
constexpr int kObservationsOffset = kIdentifierSize + 12;
constexpr int kErrorPositionOffset = kIdentifierSize + 13;
constexpr int kCatalogsOffset = kIdentifierSize + 14;
constexpr int kCflgOffset = kIdentifierSize + kFlagOffset;
constexpr int kEpochRaOffset = kIdentifierSize + 16;
constexpr int kEpochDecOffset = kIdentifierSize + 18;
constexpr int kMotionRaOffset = kIdentifierSize + 20;
constexpr int kMotionDecOffset = kIdentifierSize + 24;
constexpr int kErrorMotionRaOffset = kIdentifierSize + 28;
constexpr int kErrorMotionDecOffset = kIdentifierSize + 29;
constexpr int kFitRaOffset = kIdentifierSize + 30;
constexpr int kFitDecOffset = kIdentifierSize + 31;
constexpr int kTwoMassIdOffset = kIdentifierSize + 32;
constexpr int kTwoMassJOffset = kIdentifierSize + 36;
constexpr int kTwoMassHOffset = kIdentifierSize + 38;
constexpr int kTwoMassKsOffset = kIdentifierSize + 40;
constexpr int kTwoMassPhotometryOffset = kIdentifierSize + 42;
constexpr int kTwoMassContaminationOffset = kIdentifierSize + 43;

constexpr int kByteOffset = 127;           // several 1-byte items are stored as value - 127
constexpr std::int64_t kEpochBase = 1975;  // epochs are stored as years after 1975

const char* const kHeader =
    "id,ra,dec,u2r_mag,e_ra_m,e_de_m,nobs,e_pos,ncat,cflg,ep_ra_m,ep_de_m,pm_ra,pm_de,"
    "e_pm_ra,e_pm_de,q_pm_ra,q_pm_de,2m_id,2m_j,2m_h,2m_ks,2m_ph,2m_cc";

std::int64_t Signed8(const std::uint8_t* entry, int offset) {
  return static_cast<std::int8_t>(entry[offset]);
}

std::int64_t Offset8(const std::uint8_t* entry, int offset) {
  return Signed8(entry, offset) + kByteOffset;
}

std::int64_t Signed16(const std::uint8_t* entry, int offset) {
  return static_cast<std::int16_t>(
      static_cast<std::uint16_t>(entry[offset] | (entry[offset + 1] << 8)));
}

std::int64_t Signed32(const std::uint8_t* entry, int offset) { return LoadLE32(entry + offset); }

/// Appends text and the separating comma to a line being written.
struct LineWriter {
  char* p;

  void Integer(std::int64_t value) {
    p = std::to_chars(p, p + 24, value).ptr;
    *p++ = ',';
  }

  // `value` counts units of 10^-decimals.
  void Fixed(std::int64_t value, int decimals) {
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
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
  static const std::string plain = std::string(kHeader) + "\n";
  static const std::string with = std::string(kHeader) + ",dist_arcsec\n";
  return with_distance ? with.c_str() : plain.c_str();
}

std::size_t FormatStarLine(const std::uint8_t* entry, bool with_distance, double distance_arcsec,
                           char* out) {
  LineWriter line{out};
  const std::int64_t id = Signed32(entry, 0);
  line.Integer(id);
  line.Degrees(Signed32(entry, kIdentifierSize + kRightAscensionOffset));
  line.Degrees(Signed32(entry, kIdentifierSize + kDeclinationOffset));
  line.Fixed(Signed16(entry, kMagOffset), 2);
  line.Integer(Offset8(entry, kErrorRaOffset));
  line.Integer(Offset8(entry, kErrorDecOffset));
  line.Integer(Signed8(entry, kObservationsOffset));
  line.Integer(Offset8(entry, kErrorPositionOffset));
  line.Integer(Signed8(entry, kCatalogsOffset));
  line.Integer(entry[kCflgOffset]);
  // Epochs: thousandths of a year after 1975; the supplement's are hundredths.
  const std::int64_t epoch_scale = id >= kFirstSupplementIdentifier ? 10 : 1;
  line.Fixed(kEpochBase * 1000 + Signed16(entry, kEpochRaOffset) * epoch_scale, 3);
  line.Fixed(kEpochBase * 1000 + Signed16(entry, kEpochDecOffset) * epoch_scale, 3);
  line.Fixed(Signed32(entry, kMotionRaOffset), 1);
  line.Fixed(Signed32(entry, kMotionDecOffset), 1);
  line.Fixed(Offset8(entry, kErrorMotionRaOffset), 1);
  line.Fixed(Offset8(entry, kErrorMotionDecOffset), 1);
  // The goodness of fit counts twentieths: five hundredths each.
  line.Fixed(Offset8(entry, kFitRaOffset) * 5, 2);
  line.Fixed(Offset8(entry, kFitDecOffset) * 5, 2);
  line.Integer(Signed32(entry, kTwoMassIdOffset));
  line.Fixed(Signed16(entry, kTwoMassJOffset), 3);
  line.Fixed(Signed16(entry, kTwoMassHOffset), 3);
  line.Fixed(Signed16(entry, kTwoMassKsOffset), 3);
  line.Integer(Offset8(entry, kTwoMassPhotometryOffset));
  line.Integer(Offset8(entry, kTwoMassContaminationOffset));
  if (with_distance) {
    // Microarcseconds: far below the milliarcsecond of the positions, and cheap to print.
    line.Fixed(std::llround(distance_arcsec * 1e6), 6);
  }
  --line.p;  // the last comma
  *line.p++ = '\n';
  return static_cast<std::size_t>(line.p - out);
}

}  // namespace ucac2

// Linear proper motion in the catalog's coordinates. The motion is added to the right
// ascension and declination as they are, so a declination past a pole has gone over it: it
// is folded back and the star stands on the opposite meridian.
#include "db/epoch.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "base/sky.h"
#include "base/star_record.h"
#include "db/separation.h"

namespace ucac2 {
namespace {

constexpr double kQuarterMas = kPoleMas;
constexpr double kHalfMas = kHalfCircleMas;
constexpr double kFullMas = kFullCircleMas;
constexpr double kJ2000 = 2000.0;

// The record's field named `name`.
constexpr const RecordField& FieldNamed(std::string_view name) {
  for (const RecordField& field : kRecordFields) {
    if (name == field.name) return field;
  }
  throw "no such field";  // a compile-time error where it is used
}
constexpr const RecordField& kMotionRa = FieldNamed("pm_ra");
constexpr const RecordField& kMotionDec = FieldNamed("pm_de");

// A motion in mas a year, from its stored count of 10^-decimals of that.
double Motion(const RecordField& field, const std::uint8_t* record) {
  double value = static_cast<double>(FieldValue(field, record));
  for (int i = 0; i < field.decimals; ++i) value /= 10;
  return value;
}
constexpr int kMaxEpochDigits = 15;  // integer and fraction digits kept exact in a double

double Wrap(double ra_mas) {
  double ra = std::fmod(ra_mas, kFullMas);
  if (ra < 0) ra += kFullMas;
  return ra >= kFullMas ? ra - kFullMas : ra;  // a tiny negative rounds up to a full circle
}

}  // namespace

bool ParseEpoch(const char* text, double* years_after_j2000) {
  const char* p = text[0] == 'J' ? text + 1 : text;
  // Digits as one integer and a power of ten, so that the value is rounded once.
  std::int64_t digits = 0;
  int count = 0, decimals = 0;
  bool point = false;
  for (; *p != '\0'; ++p) {
    if (*p == '.' && !point) {
      point = true;
      if (count == 0 || p[1] == '\0') return false;
      continue;
    }
    if (*p < '0' || *p > '9' || ++count > kMaxEpochDigits) return false;
    digits = digits * 10 + (*p - '0');
    decimals += point ? 1 : 0;
  }
  if (count == 0) return false;
  double scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const auto j2000 = static_cast<std::int64_t>(kJ2000 * scale);
  const double year = static_cast<double>(digits) / scale;
  if (year < kFirstEpoch || year > kLastEpoch) return false;
  *years_after_j2000 = static_cast<double>(digits - j2000) / scale;
  return true;
}

SkyPosition MovePosition(double ra_mas, double dec_mas, double pm_ra, double pm_de, double years) {
  double ra = ra_mas + pm_ra * years;
  // The declination as an angle along its meridian's great circle, in -180..180 degrees.
  double dec = std::fmod(dec_mas + pm_de * years, kFullMas);
  if (dec > kHalfMas) dec -= kFullMas;
  if (dec < -kHalfMas) dec += kFullMas;
  if (std::fabs(dec) > kQuarterMas) {  // over a pole
    dec = (dec > 0 ? kHalfMas : -kHalfMas) - dec;
    ra += kHalfMas;
  }
  return {Wrap(ra), dec};
}

SkyPosition EntryPositionAt(const std::uint8_t* entry, double years) {
  const std::uint8_t* record = entry + kIdentifierSize;
  return MovePosition(LoadLE32(record + kRightAscensionOffset),
                      LoadLE32(record + kDeclinationOffset), Motion(kMotionRa, record),
                      Motion(kMotionDec, record), years);
}

void EntryPositionAtMas(const std::uint8_t* entry, double years, std::int32_t* ra,
                        std::int32_t* dec) {
  const SkyPosition at = EntryPositionAt(entry, years);
  const auto rounded_ra = static_cast<std::int32_t>(std::llround(at.ra_mas));
  *ra = rounded_ra == kFullCircleMas ? 0 : rounded_ra;
  *dec = static_cast<std::int32_t>(std::llround(at.dec_mas));
}

double RightAscensionReachMas(double years, double abs_dec_mas) {
  const double reach = DeclinationReachMas(years);
  if (abs_dec_mas + reach >= kQuarterMas) return kFullMas;
  return std::min(kFullMas, reach / std::cos(abs_dec_mas / kMasPerRadian));
}

double DeclinationReachMas(double years) { return kMaxProperMotionMasPerYear * std::fabs(years); }

}  // namespace ucac2

// Reading angles digit by digit into integers, so that a bound typed as 150.001 degrees or
// 10:00:00.24 is exactly the milliarcsecond it names, never one rounded past it.
#include "db/angles.h"

namespace ucac2 {
namespace {

constexpr std::int64_t kFractionScale = 1000000000000;  // 12 fraction digits are kept
// Bounds the integer part before it is scaled, so that no product can overflow.
constexpr std::int64_t kMaxWhole = 1000;

constexpr std::int64_t kNanoMasPerHour = 15 * kNanoMasPerDegree;
constexpr std::int64_t kNanoMasPerTimeMinute = kNanoMasPerHour / 60;
constexpr std::int64_t kNanoMasPerTimeSecond = kNanoMasPerTimeMinute / 60;
constexpr std::int64_t kNanoMasPerArcminute = kNanoMasPerDegree / 60;
constexpr std::int64_t kNanoMasPerArcsecond = kNanoMasPerArcminute / 60;
constexpr std::int64_t kFullCircle = kFullCircleMas * kNanoMasPerMas;
constexpr std::int64_t kPole = kPoleMas * kNanoMasPerMas;
constexpr std::int64_t kMaxRadius = 180 * kNanoMasPerDegree;
// Every kept fraction digit is a whole number of nano-mas in each unit.
static_assert(kNanoMasPerDegree % kFractionScale == 0 &&
              kNanoMasPerTimeSecond % kFractionScale == 0 &&
              kNanoMasPerArcsecond % kFractionScale == 0);

/// A number as typed: its integer part, its first kFractionDigits fraction digits as an
/// integer, and whether any later digit was not zero.
struct Number {
  std::int64_t whole = 0;
  std::int64_t fraction = 0;
  bool finer = false;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads 1..max_digits digits (max_digits 0: any count) and, when allowed, a '.' followed by
// at least one digit. Returns past the number, or nullptr.
const char* ReadNumber(const char* p, int max_digits, bool fraction_allowed, Number* number) {
  int digits = 0;
  for (; IsDigit(*p); ++p, ++digits) {
    number->whole = number->whole * 10 + (*p - '0');
    if (number->whole > kMaxWhole) return nullptr;
  }
  if (digits == 0 || (max_digits > 0 && digits > max_digits)) return nullptr;
  if (*p != '.' || !fraction_allowed) return p;
  ++p;
  if (!IsDigit(*p)) return nullptr;
  std::int64_t scale = kFractionScale;
  for (; IsDigit(*p); ++p) {
    if (scale > 1) {
      scale /= 10;
      number->fraction += (*p - '0') * scale;
    } else if (*p != '0') {
      number->finer = true;
    }
  }
  return p;
}

// The value of hh:mm:ss.s or dd:mm:ss.s, given the nano-mas of its three units.
bool ReadSexagesimal(const char* p, std::int64_t unit, std::int64_t minute, std::int64_t second,
                     Angle* angle) {
  Number first, minutes, seconds;
  p = ReadNumber(p, 2, false, &first);
  if (p == nullptr || *p++ != ':') return false;
  p = ReadNumber(p, 2, false, &minutes);
  if (p == nullptr || *p++ != ':') return false;
  p = ReadNumber(p, 2, true, &seconds);
  if (p == nullptr || *p != '\0' || minutes.whole >= 60 || seconds.whole >= 60) return false;
  angle->nano_mas = first.whole * unit + minutes.whole * minute + seconds.whole * second +
                    seconds.fraction * (second / kFractionScale);
  angle->tail = seconds.finer ? 1 : 0;
  return true;
}

bool ReadDegrees(const char* p, Angle* angle) {
  Number degrees;
  p = ReadNumber(p, 0, true, &degrees);
  if (p == nullptr || *p != '\0') return false;
  angle->nano_mas =
      degrees.whole * kNanoMasPerDegree + degrees.fraction * (kNanoMasPerDegree / kFractionScale);
  angle->tail = degrees.finer ? 1 : 0;
  return true;
}

bool HasColon(const char* p) {
  for (; *p != '\0'; ++p) {
    if (*p == ':') return true;
  }
  return false;
}

// True when the angle lies in low..high, both included.
bool Within(const Angle& angle, std::int64_t low, std::int64_t high) {
  if (angle.nano_mas < low || (angle.nano_mas == low && angle.tail < 0)) return false;
  return angle.nano_mas < high || (angle.nano_mas == high && angle.tail <= 0);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

}  // namespace

bool ParseAngle(const char* text, AngleKind kind, Angle* angle) {
  *angle = Angle{};
  const char* p = text;
  bool negative = false;
  if (kind == AngleKind::kDeclination && (*p == '+' || *p == '-')) negative = *p++ == '-';
  bool read = false;
  if (!HasColon(p)) {
    read = ReadDegrees(p, angle);
  } else if (kind == AngleKind::kRightAscension) {
    read = ReadSexagesimal(p, kNanoMasPerHour, kNanoMasPerTimeMinute, kNanoMasPerTimeSecond, angle);
  } else if (kind == AngleKind::kDeclination) {
    read = ReadSexagesimal(p, kNanoMasPerDegree, kNanoMasPerArcminute, kNanoMasPerArcsecond, angle);
  }
  if (!read) return false;
  if (negative) {
    angle->nano_mas = -angle->nano_mas;
    angle->tail = -angle->tail;
  }
  switch (kind) {
    case AngleKind::kRightAscension:
      return Within(*angle, 0, kFullCircle);
    case AngleKind::kDeclination:
      return Within(*angle, -kPole, kPole);
    case AngleKind::kRadius:
      return Within(*angle, 0, kMaxRadius) && (angle->nano_mas > 0 || angle->tail > 0);
  }
  return false;
}

std::int64_t FloorMas(const Angle& angle) {
  const std::int64_t mas = FloorDiv(angle.nano_mas, kNanoMasPerMas);
  const bool whole = angle.nano_mas % kNanoMasPerMas == 0;
  return whole && angle.tail < 0 ? mas - 1 : mas;
}

std::int64_t CeilMas(const Angle& angle) {
  const std::int64_t mas = -FloorDiv(-angle.nano_mas, kNanoMasPerMas);
  const bool whole = angle.nano_mas % kNanoMasPerMas == 0;
  return whole && angle.tail > 0 ? mas + 1 : mas;
}

double AngleMas(const Angle& angle) {
  return static_cast<double>(angle.nano_mas) / static_cast<double>(kNanoMasPerMas);
}

bool AngleAbove(const Angle& a, const Angle& b) {
  return a.nano_mas > b.nano_mas || (a.nano_mas == b.nano_mas && a.tail > b.tail);
}

}  // namespace ucac2

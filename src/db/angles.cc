// Reading angles digit by digit into integers, so that a bound typed as 150.001 degrees,
// 10:00:00.24 or 10h00m00.24s is exactly the milliarcsecond it names, never one rounded past
// it.
#include "db/angles.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace ucac2 {
namespace {

constexpr int kFractionDigits = 12;
constexpr std::int64_t kFractionScale = 1000000000000;  // 12 fraction digits are kept
// Bounds the integer part before it is scaled, so that no product can overflow.
constexpr std::int64_t kMaxWhole = 1000;
constexpr int kSexagesimalDigits = 2;     // hours, degrees of a declination, minutes, seconds
constexpr int kLetteredDegreeDigits = 3;  // degrees up to 360
constexpr std::int64_t kSixty = 60;

constexpr std::int64_t kNanoMasPerHour = 15 * kNanoMasPerDegree;
constexpr std::int64_t kNanoMasPerTimeMinute = kNanoMasPerHour / 60;
constexpr std::int64_t kNanoMasPerTimeSecond = kNanoMasPerTimeMinute / 60;
constexpr std::int64_t kNanoMasPerArcminute = kNanoMasPerDegree / 60;
constexpr std::int64_t kNanoMasPerArcsecond = kNanoMasPerArcminute / 60;
constexpr std::int64_t kFullCircle = kFullCircleMas * kNanoMasPerMas;
constexpr std::int64_t kPole = kPoleMas * kNanoMasPerMas;
constexpr std::int64_t kMaxRadius = 180 * kNanoMasPerDegree;
// Every kept fraction digit is a whole number of nano-mas in each unit.
static_assert(kNanoMasPerHour % kFractionScale == 0 &&
              kNanoMasPerTimeMinute % kFractionScale == 0 &&
              kNanoMasPerTimeSecond % kFractionScale == 0 &&
              kNanoMasPerDegree % kFractionScale == 0 &&
              kNanoMasPerArcminute % kFractionScale == 0 &&
              kNanoMasPerArcsecond % kFractionScale == 0);
// FormatAngle's seconds: one fraction digit kept is one nano-mas.
static_assert(kNanoMasPerArcsecond == kFractionScale);

/// The nano-mas of the three parts of a sexagesimal angle.
struct Units {
  std::int64_t first, minute, second;
};
constexpr Units kHourUnits{kNanoMasPerHour, kNanoMasPerTimeMinute, kNanoMasPerTimeSecond};
constexpr Units kDegreeUnits{kNanoMasPerDegree, kNanoMasPerArcminute, kNanoMasPerArcsecond};

// The signs that close each lettered part, UTF-8: the degree sign, the prime, the double
// prime. Two primes stand before one, so that `''` is never read as minutes.
const char* const kHourSigns[] = {"h"};
const char* const kDegreeSigns[] = {"d", "\xC2\xB0"};
const char* const kTimeMinuteSigns[] = {"m"};
const char* const kArcminuteSigns[] = {"m", "\xE2\x80\xB2", "'"};
const char* const kTimeSecondSigns[] = {"s"};
const char* const kArcsecondSigns[] = {"s", "\xE2\x80\xB3", "\"", "''"};

/// A number as typed: its integer part, its first kFractionDigits fraction digits as an
/// integer, whether any later digit was not zero, and whether it had a fraction at all.
struct Number {
  std::int64_t whole = 0;
  std::int64_t fraction = 0;
  bool finer = false;
  bool has_fraction = false;
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
  number->has_fraction = true;
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

void Add(const Number& number, std::int64_t unit, Angle* angle) {
  angle->nano_mas += number.whole * unit + number.fraction * (unit / kFractionScale);
  if (number.finer) angle->tail = 1;
}

// Past the sign of `signs` that `p` begins with, or nullptr.
template <std::size_t N>
const char* ReadSign(const char* p, const char* const (&signs)[N]) {
  const char* best = nullptr;
  for (const char* sign : signs) {
    const std::size_t size = std::strlen(sign);
    if (std::strncmp(p, sign, size) == 0 && (best == nullptr || p + size > best)) best = p + size;
  }
  return best;
}

// hh:mm:ss.s or hh mm ss.s (a run of spaces between parts), in `units`.
bool ReadSeparated(const char* p, char separator, const Units& units, Angle* angle) {
  Number first, minutes, seconds;
  p = ReadNumber(p, kSexagesimalDigits, false, &first);
  for (Number* part : {&minutes, &seconds}) {
    if (p == nullptr || *p != separator) return false;
    while (*p == separator) {
      ++p;
      if (separator != ' ') break;
    }
    p = ReadNumber(p, kSexagesimalDigits, part == &seconds, part);
  }
  if (p == nullptr || *p != '\0' || minutes.whole >= kSixty || seconds.whole >= kSixty) {
    return false;
  }
  Add(first, units.first, angle);
  Add(minutes, units.minute, angle);
  Add(seconds, units.second, angle);
  return true;
}

// 12h30m00.5s or -30d15'36" and their shortenings; `hours` allows the first form.
bool ReadLettered(const char* p, bool hours, Angle* angle) {
  Number first;
  const std::size_t digits = std::strspn(p, "0123456789");
  p = ReadNumber(p, kLetteredDegreeDigits, true, &first);
  if (p == nullptr) return false;
  const char* past = hours ? ReadSign(p, kHourSigns) : nullptr;
  const bool in_hours = past != nullptr;
  if (!in_hours) past = ReadSign(p, kDegreeSigns);
  if (past == nullptr || (in_hours && digits > kSexagesimalDigits)) return false;
  const Units& units = in_hours ? kHourUnits : kDegreeUnits;
  Add(first, units.first, angle);
  p = past;
  const Number* last = &first;
  Number minutes, seconds;
  for (Number* part : {&minutes, &seconds}) {
    if (*p == '\0') break;
    if (last->has_fraction) return false;  // only the last part has a fraction
    while (*p == ' ') ++p;
    p = ReadNumber(p, kSexagesimalDigits, true, part);
    if (p == nullptr || part->whole >= kSixty) return false;
    if (part == &minutes) {
      past = in_hours ? ReadSign(p, kTimeMinuteSigns) : ReadSign(p, kArcminuteSigns);
      // Two primes are seconds: minutes cannot be left out.
      if (past != nullptr && *past == '\'') return false;
    } else {
      past = in_hours ? ReadSign(p, kTimeSecondSigns) : ReadSign(p, kArcsecondSigns);
    }
    if (past == nullptr) return false;
    Add(*part, part == &minutes ? units.minute : units.second, angle);
    p = past;
    last = part;
  }
  return *p == '\0';
}

// True when the text holds a letter or sign of the lettered notation.
bool IsLettered(const char* p) { return std::strpbrk(p, "hdms'\"\xC2\xE2") != nullptr; }

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
  const Units& units = kind == AngleKind::kRightAscension ? kHourUnits : kDegreeUnits;
  bool read = false;
  if (IsLettered(p)) {
    read = ReadLettered(p, kind == AngleKind::kRightAscension, angle);
  } else if (std::strchr(p, ':') != nullptr) {
    read = kind != AngleKind::kRadius && ReadSeparated(p, ':', units, angle);
  } else if (std::strchr(p, ' ') != nullptr) {
    read = kind != AngleKind::kRadius && ReadSeparated(p, ' ', units, angle);
  } else {
    Number degrees;
    p = ReadNumber(p, 0, true, &degrees);
    read = p != nullptr && *p == '\0';
    if (read) Add(degrees, kNanoMasPerDegree, angle);  // a refused whole part may overflow
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

std::string FormatAngle(const Angle& angle) {
  const bool negative = angle.nano_mas < 0 || (angle.nano_mas == 0 && angle.tail < 0);
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(angle.nano_mas)
                                           : static_cast<std::uint64_t>(angle.nano_mas);
  const auto degree = static_cast<std::uint64_t>(kNanoMasPerDegree);
  const auto minute = static_cast<std::uint64_t>(kNanoMasPerArcminute);
  const auto second = static_cast<std::uint64_t>(kNanoMasPerArcsecond);
  char text[64];
  std::snprintf(text, sizeof text, "%s%" PRIu64 "d%02" PRIu64 "m%02" PRIu64 ".%0*" PRIu64 "%ss",
                negative ? "-" : "", magnitude / degree, magnitude % degree / minute,
                magnitude % minute / second, kFractionDigits, magnitude % second,
                angle.tail != 0 ? "1" : "");  // a digit past the kept ones marks the tail
  return text;
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

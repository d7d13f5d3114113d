// Fuzzing the angles of find: any text, read as each kind of angle. What parses lies in its
// kind's range, prints back through FormatAngle to the very same angle, and prints back in
// decimal degrees and in colons to the same milliarcseconds.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/sky.h"
#include "db/angles.h"
#include "fuzz_util.h"

namespace ucac2::fuzz {
namespace {

constexpr std::int64_t kNanoMasPerHour = 15 * kNanoMasPerDegree;
constexpr std::int64_t kFractionScale = 1000000000000;  // the digits the parser keeps
constexpr std::int64_t kSexagesimalBase = 60;
constexpr int kTextSize = 80;
constexpr AngleKind kKinds[] = {AngleKind::kRightAscension, AngleKind::kDeclination,
                                AngleKind::kRadius};

struct Bounds {
  std::int64_t low_mas, high_mas;
};

Bounds KindBounds(AngleKind kind) {
  switch (kind) {
    case AngleKind::kRightAscension:
      return {0, kFullCircleMas};
    case AngleKind::kDeclination:
      return {-kPoleMas, kPoleMas};
    case AngleKind::kRadius:
      return {0, kHalfCircleMas};
  }
  return {0, 0};
}

// A printed angle, and whether its digits state it exactly.
struct Printed {
  std::string text;
  bool exact = true;
};

// The fraction of a `unit` of `remainder` nano-mas: the digits the parser keeps, then a 1
// when the value lies beyond them, so that the text reads as just above the largest value
// the kept digits state at or below it.
void AppendFraction(std::int64_t remainder, std::int64_t unit, Printed* printed) {
  const std::int64_t step = unit / kFractionScale;
  char text[kTextSize];
  printed->exact = remainder % step == 0;
  std::snprintf(text, sizeof text, ".%012lld%s", static_cast<long long>(remainder / step),
                printed->exact ? "" : "1");
  printed->text += text;
}

Printed DegreesText(bool negative, std::int64_t nano) {
  Printed printed{(negative ? "-" : "") + std::to_string(nano / kNanoMasPerDegree)};
  AppendFraction(nano % kNanoMasPerDegree, kNanoMasPerDegree, &printed);
  return printed;
}

Printed SexagesimalText(bool negative, std::int64_t nano, std::int64_t unit) {
  const std::int64_t minute = unit / kSexagesimalBase;
  const std::int64_t second = minute / kSexagesimalBase;
  char text[kTextSize];
  std::snprintf(text, sizeof text, "%s%02lld:%02lld:%02lld", negative ? "-" : "",
                static_cast<long long>(nano / unit), static_cast<long long>(nano % unit / minute),
                static_cast<long long>(nano % minute / second));
  Printed printed{text};
  AppendFraction(nano % second, second, &printed);
  return printed;
}

// Whole milliarcseconds `mas` printed in each notation of `kind` read back to the same mas,
// exactly where the notation can state them.
void CheckPrintsBack(AngleKind kind, std::int64_t mas) {
  const bool negative = mas < 0;
  const std::int64_t nano = (negative ? -mas : mas) * kNanoMasPerMas;
  Printed prints[2] = {DegreesText(negative, nano)};
  if (kind == AngleKind::kRightAscension) prints[1] = SexagesimalText(false, nano, kNanoMasPerHour);
  if (kind == AngleKind::kDeclination)
    prints[1] = SexagesimalText(negative, nano, kNanoMasPerDegree);
  for (const Printed& printed : prints) {
    if (printed.text.empty()) continue;
    Angle back;
    if (!ParseAngle(printed.text.c_str(), kind, &back)) Fail("a parsed angle's printed mas parse");
    if (std::llround(AngleMas(back)) != mas) Fail("a parsed angle prints back to the same mas");
    if (printed.exact && (back.tail != 0 || back.nano_mas != mas * kNanoMasPerMas)) {
      Fail("whole mas printed exactly read back exactly");
    }
  }
}

void CheckAngle(AngleKind kind, const Angle& angle) {
  const std::int64_t floor = FloorMas(angle);
  const std::int64_t ceil = CeilMas(angle);
  const bool whole = angle.tail == 0 && angle.nano_mas % kNanoMasPerMas == 0;
  if (ceil - floor != (whole ? 0 : 1)) Fail("floor and ceiling mas one apart unless whole");
  const double mas = AngleMas(angle);
  if (mas < static_cast<double>(floor) || mas > static_cast<double>(ceil)) {
    Fail("the angle's mas lie between its floor and ceiling");
  }
  const Bounds bounds = KindBounds(kind);
  if (floor < bounds.low_mas || ceil > bounds.high_mas) Fail("a parsed angle lies in its range");
  if (kind == AngleKind::kRadius && ceil == 0) Fail("a parsed radius is above 0");
  if (kind != AngleKind::kRadius || floor > 0) CheckPrintsBack(kind, floor);
  Angle back;
  if (!ParseAngle(FormatAngle(angle).c_str(), kind, &back) || back.nano_mas != angle.nano_mas ||
      back.tail != angle.tail) {
    Fail("FormatAngle prints a parsed angle back to the very same angle");
  }
}

}  // namespace
}  // namespace ucac2::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ucac2;
  const std::string text(reinterpret_cast<const char*>(data), size);  // NUL-terminated
  for (const AngleKind kind : fuzz::kKinds) {
    Angle angle;
    if (ParseAngle(text.c_str(), kind, &angle)) fuzz::CheckAngle(kind, angle);
  }
  return 0;
}

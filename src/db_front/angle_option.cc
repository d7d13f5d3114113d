// Reading an angle option, with the one message for a value that is not an angle.
#include "db_front/angle_option.h"

#include <CLI/CLI.hpp>

namespace ucac2 {
namespace {

const char* Expected(AngleKind kind) {
  switch (kind) {
    case AngleKind::kRightAscension:
      return "a right ascension: decimal degrees from 0 to 360 (no exponent) or hh:mm:ss.s";
    case AngleKind::kDeclination:
      return "a declination: decimal degrees from -90 to 90 (no exponent) or +dd:mm:ss.s";
    case AngleKind::kRadius:
      return "a radius: decimal degrees above 0 and at most 180 (no exponent)";
  }
  return "";
}

}  // namespace

Angle ReadAngleOption(const std::string& option, const std::string& text, AngleKind kind) {
  Angle angle;
  if (!ParseAngle(text.c_str(), kind, &angle)) {
    throw CLI::ValidationError(option, "'" + text + "' is not " + Expected(kind));
  }
  return angle;
}

}  // namespace ucac2

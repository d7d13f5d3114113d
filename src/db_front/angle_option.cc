// Reading an angle option, with the one message for a value that is not an angle.
#include "db_front/angle_option.h"

#include <CLI/CLI.hpp>

namespace ucac2 {
namespace {

const char* Expected(AngleKind kind) {
  switch (kind) {
    case AngleKind::kRightAscension:
      return "a right ascension, 0..360 degrees or hh:mm:ss.s";
    case AngleKind::kDeclination:
      return "a declination, -90..90 degrees or +dd:mm:ss.s";
    case AngleKind::kRadius:
      return "a radius, degrees above 0 and at most 180";
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

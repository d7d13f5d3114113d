// An angle given on the command line, read as find and map read every position.
#pragma once

#include <string>

#include "db/angles.h"

namespace ucac2 {

/// `text`, the value of `option`, read as an angle of `kind`; a value that is not one stops
/// the command line as a usage error naming what was expected.
Angle ReadAngleOption(const std::string& option, const std::string& text, AngleKind kind);

}  // namespace ucac2

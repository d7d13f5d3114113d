// What the subcommands' options share: a folder that must exist, and whole numbers read
// exactly, each refused with a usage error that says what was expected.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

namespace ucac2 {

/// Accepts the name of an existing folder; otherwise the command line is refused (status 2),
/// saying whether the name is missing, names no folder, or cannot be looked at.
CLI::Validator ExistingFolder();

/// Reads `text`, the value of `option`, as a whole number in low..high (high below 2^63 / 10)
/// written in decimal digits alone; otherwise throws a usage error "'text' is not `what`".
std::int64_t ReadWholeNumber(const char* option, const std::string& text, std::int64_t low,
                             std::int64_t high, const std::string& what);

}  // namespace ucac2

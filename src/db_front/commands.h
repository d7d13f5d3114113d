// The subcommands of ucac2db. Each adds itself to the command line; its callback runs the
// command and leaves its exit status in `status`.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>

#include "db/star_format.h"

namespace ucac2 {

void AddCheckCatalogCommand(CLI::App& app, int& status);
void AddVerifyCommand(CLI::App& app, int& status);
void AddFindCommand(CLI::App& app, int& status);
void AddMapCommand(CLI::App& app, int& status);
void AddMatchCommand(CLI::App& app, int& status);

/// The magnitude bounds as typed.
struct MagnitudeOptions {
  double min = 0, max = 0;
  bool min_given = false, max_given = false;
};

/// Adds --mag-min and --mag-max to `command`.
void AddMagnitudeOptions(CLI::App& command, MagnitudeOptions& mags);

/// The bounds in hundredths of a magnitude, inclusive; a usage error when min is above max.
void ApplyMagnitudes(const MagnitudeOptions& mags, bool* min_given, std::int32_t* min,
                     bool* max_given, std::int32_t* max);

/// Adds --format csv|tsv|votable|ds9 to `command`, read into `format` (a usage error on any
/// other name).
void AddFormatOption(CLI::App& command, StarFormat& format);

/// The whole command line of ucac2db: its name, description, version flag and subcommands.
void DescribeDbCommandLine(CLI::App& app, int& status);

}  // namespace ucac2

// The subcommands of ucac2db. Each adds itself to the command line; its callback runs the
// command and leaves its exit status in `status`.
#pragma once

#include <CLI/CLI.hpp>

namespace ucac2 {

void AddCheckCatalogCommand(CLI::App& app, int& status);
void AddVerifyCommand(CLI::App& app, int& status);
void AddFindCommand(CLI::App& app, int& status);
void AddMapCommand(CLI::App& app, int& status);

/// The whole command line of ucac2db: its name, description, version flag and subcommands.
void DescribeDbCommandLine(CLI::App& app, int& status);

}  // namespace ucac2

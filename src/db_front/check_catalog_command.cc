// The check-catalog subcommand: checks a catalog's files before they are compiled.
#include <memory>
#include <string>

#include "db/check_catalog.h"
#include "db_front/commands.h"
#include "db_front/options.h"

namespace ucac2 {

void AddCheckCatalogCommand(CLI::App& app, int& status) {
  struct Arguments {
    std::string directory;
    bool scaled = false;
  };
  // Shared with the callback, which runs after the parse, when this function has returned.
  auto arguments = std::make_shared<Arguments>();
  CLI::App* command = app.add_subcommand(
      "check-catalog",
      "Reads every catalog file once and reports what would stop or spoil a compilation: "
      "missing, unreadable or truncated files, star counts that differ from the published "
      "ones, stars outside their file's strip or out of order, wrong cflg bits.");
  command->add_option("DIR", arguments->directory, "The catalog directory (z001..z288, s01..s36)")
      ->required()
      ->check(ExistingFolder())
      ->option_text(" ");
  command->add_flag("--scaled", arguments->scaled,
                    "Do not compare star counts with the published ones (for sample catalogs)");
  command->callback([arguments, &status] {
    status = CheckCatalog(arguments->directory.c_str(), arguments->scaled);
  });
}

}  // namespace ucac2

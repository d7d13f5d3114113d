// The verify subcommand: checks a compiled database, and optionally that it is what a catalog
// compiles to.
#include <memory>

#include "db/verify.h"
#include "db_front/commands.h"
#include "db_front/options.h"

namespace ucac2 {

void AddVerifyCommand(CLI::App& app, int& status) {
  CLI::App* command = app.add_subcommand(
      "verify",
      "Checks a compiled database: its 24 zone files and info.txt, every entry's place and "
      "identifier; with --catalog, also that it is exactly what that catalog compiles to.");
  auto request = std::make_shared<VerifyRequest>();
  command
      ->add_option("DBDIR", request->database,
                   "The directory of the zone files and info.txt (default: the current one)")
      ->check(ExistingFolder())
      ->option_text(" ");
  command
      ->add_option("--catalog", request->catalog,
                   "The catalog directory to compare the database with, entry by entry")
      ->check(ExistingFolder())
      ->option_text("DIR");
  command->callback([request, &status] { status = FindingsStatus(VerifyDatabase(*request)); });
}

}  // namespace ucac2

// The command line of ucac2db: a subcommand, its options, and the exit status.
#include "db_front/run_db.h"

#include <cstdio>

#include "base/file.h"
#include "db_front/commands.h"

#ifndef UCAC2_VERSION
#define UCAC2_VERSION "unknown"
#endif

namespace ucac2 {

void DescribeDbCommandLine(CLI::App& app, int& status) {
  app.description(
      "Checks the UCAC2 catalog and the zone-file database that ucac2 compiles from it, "
      "and looks into the database.");
  app.name("ucac2db");
  app.set_version_flag("--version", "ucac2db " UCAC2_VERSION);
  app.require_subcommand(1);
  app.fallthrough(false);
  AddCheckCatalogCommand(app, status);
  AddVerifyCommand(app, status);
  AddFindCommand(app, status);
  AddMapCommand(app, status);
}

int RunDb(int argc, const char* const* argv) {
  PrepareProcess();
  CLI::App app;
  int status = 0;
  DescribeDbCommandLine(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsageStatus;
  }
  std::fflush(stdout);
  return status;
}

}  // namespace ucac2

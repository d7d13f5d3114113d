// The command line of ucac2db: a subcommand, its options, and the exit status.
#include "db_front/run_db.h"

#include <cstdio>
#include <string>

#include "base/file.h"
#include "db_front/commands.h"

#ifndef UCAC2_VERSION
#define UCAC2_VERSION "unknown"
#endif

namespace ucac2 {
namespace {

// The first argument that is no option names the command; the parser alone would only say
// that one is required.
bool UnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.starts_with("-")) continue;
    std::string known;
    for (const CLI::App* command : app.get_subcommands({})) {
      if (command->get_name() == word) return false;
      known += (known.empty() ? "" : ", ") + command->get_name();
    }
    std::fprintf(stderr,
                 "Unknown command '%s': the commands are %s\n"
                 "Run with --help for more information.\n",
                 word.c_str(), known.c_str());
    return true;
  }
  return false;
}

}  // namespace

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
  AddMatchCommand(app, status);
}

int RunDb(int argc, const char* const* argv) {
  PrepareProcess();
  CLI::App app;
  int status = 0;
  DescribeDbCommandLine(app, status);
  if (UnknownCommand(app, argc, argv)) return kUsageStatus;
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

// Placeholder until the check_catalog subcommand is built.
#include "db_front/commands.h"

namespace ucac2 {

void AddCheckCatalogCommand(CLI::App& app, int& status) {
  (void)app;
  (void)status;
}

}  // namespace ucac2

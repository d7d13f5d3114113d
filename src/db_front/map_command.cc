// Placeholder until the map subcommand is built.
#include "db_front/commands.h"

namespace ucac2 {

void AddMapCommand(CLI::App& app, int& status) {
  (void)app;
  (void)status;
}

}  // namespace ucac2

// Placeholder until the find subcommand is built.
#include "db_front/commands.h"

namespace ucac2 {

void AddFindCommand(CLI::App& app, int& status) {
  (void)app;
  (void)status;
}

}  // namespace ucac2

// Placeholder until the verify subcommand is built.
#include "db_front/commands.h"

namespace ucac2 {

void AddVerifyCommand(CLI::App& app, int& status) {
  (void)app;
  (void)status;
}

}  // namespace ucac2

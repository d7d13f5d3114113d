// Fuzzing ucac2db's command line: the input cut at each NUL into arguments, parsed by the
// program's own description of its command line with every subcommand's action taken out.
// Whatever the arguments, parsing ends in success or in a usage error CLI11 reports, never
// in another exception; a success has chosen exactly one subcommand.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "db_front/commands.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ucac2::fuzz::DiscardStandardOutput();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> arguments = ucac2::fuzz::SplitArguments("ucac2db", data, size);
  const std::vector<const char*> argv = ucac2::fuzz::ArgumentPointers(arguments);

  CLI::App app;
  int status = 0;
  ucac2::DescribeDbCommandLine(app, status);
  for (CLI::App* command : app.get_subcommands({})) command->callback({});
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& error) {
    app.exit(error);  // formats the message or the help, as the program does
    return 0;
  }
  if (app.get_subcommands().size() != 1) ucac2::fuzz::Fail("a parse chooses one subcommand");
  return 0;
}

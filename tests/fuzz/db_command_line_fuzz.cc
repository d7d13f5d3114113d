// Fuzzing ucac2db's command line: the input cut at each NUL into arguments, parsed by the
// program's own description of its command line, stopped once the arguments are read and
// checked, before any subcommand runs. Whatever the arguments, parsing ends there or in a
// usage error CLI11 reports, never in another exception; when it ends there it has chosen
// exactly one subcommand.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "db_front/commands.h"
#include "fuzz_util.h"

namespace {

// Thrown where the command line is read and the chosen subcommand would begin to run.
struct ArgumentsRead {};

}  // namespace

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
  // The first callback CLI11 runs once every argument is read, checked and assigned; the
  // subcommands' own (their actions, which own their options' storage) would run next.
  app.parse_complete_callback([] { throw ArgumentsRead{}; });
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& error) {
    app.exit(error);  // formats the message or the help, as the program does
    return 0;
  } catch (const ArgumentsRead&) {
    if (app.get_subcommands().size() != 1) ucac2::fuzz::Fail("a parse chooses one subcommand");
    return 0;
  }
  ucac2::fuzz::Fail("no subcommand runs while the command line is fuzzed");
}

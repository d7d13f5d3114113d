// Fuzzing ucac2's command line: the input cut at each NUL into arguments. Whatever the
// arguments, the action found is one they call for, and the argument it names is one of them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "front/command_line.h"
#include "fuzz_util.h"

namespace ucac2::fuzz {
namespace {

// Stands in for the file system: a path names a directory when it ends with a slash.
bool EndsWithSlash(const char* path) {
  const std::size_t length = std::strlen(path);
  return length > 0 && path[length - 1] == '/';
}

bool IsOneOf(const char* arg, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (std::strcmp(arg, name) == 0) return true;
  }
  return false;
}

bool IsAnArgument(const char* p, const std::vector<const char*>& argv) {
  for (std::size_t i = 1; i < argv.size(); ++i) {
    if (argv[i] == p) return true;
  }
  return false;
}

void CheckCommandLine(const std::vector<const char*>& argv, const CommandLine& line) {
  bool asks_help = false, asks_version = false, only_switches = true;
  for (std::size_t i = 1; i < argv.size(); ++i) {
    asks_help = asks_help || IsOneOf(argv[i], {"/?", "/h", "--help", "-h"});
    asks_version = asks_version || IsOneOf(argv[i], {"--version"});
    only_switches = only_switches && IsOneOf(argv[i], {"/line", "/quiet"});
  }
  switch (line.action) {
    case CommandAction::kHelp:
      if (!asks_help) Fail("help only when asked for");
      return;
    case CommandAction::kVersion:
      if (!asks_version) Fail("the version only when asked for");
      return;
    case CommandAction::kCompile:
      if (asks_help || asks_version) Fail("help and version come before compiling");
      if (!IsAnArgument(line.directory, argv)) Fail("the directory is an argument");
      if (line.directory[0] == '/' && !EndsWithSlash(line.directory)) {
        Fail("an argument that is no directory is never compiled when it begins with /");
      }
      return;
    case CommandAction::kUnknownOption:
      if (!IsAnArgument(line.offending, argv) || line.offending[0] != '/' ||
          EndsWithSlash(line.offending)) {
        Fail("an unknown option is an argument beginning with / that is no directory");
      }
      return;
    case CommandAction::kWrongSyntax:
      if (!IsAnArgument(line.offending, argv) || !IsAnArgument(line.directory, argv) ||
          line.offending == line.directory) {
        Fail("a second directory is named beside the first");
      }
      return;
    case CommandAction::kNoDirectory:
      if (!only_switches) Fail("no directory only when every argument is a switch");
      return;
  }
  Fail("the action is one of the known ones");
}

}  // namespace
}  // namespace ucac2::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ucac2;
  const std::vector<std::string> arguments = fuzz::SplitArguments("ucac2", data, size);
  const std::vector<const char*> argv = fuzz::ArgumentPointers(arguments);
  const CommandLine line =
      ParseCommandLine(static_cast<int>(argv.size()), argv.data(), fuzz::EndsWithSlash);
  fuzz::CheckCommandLine(argv, line);
  return 0;
}

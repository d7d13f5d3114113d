// Examining the command line.
#include "front/command_line.h"

#include <cstring>

namespace ucac2 {

CommandLine ParseCommandLine(int argc, const char* const* argv,
                             bool (*is_directory)(const char* path)) {
  CommandLine result;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "/?") == 0 || std::strcmp(arg, "/h") == 0 ||
        std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      result.action = CommandAction::kHelp;
      return result;
    }
    if (std::strcmp(arg, "--version") == 0) {
      result.action = CommandAction::kVersion;
      return result;
    }
    if (std::strcmp(arg, "/line") == 0 || std::strcmp(arg, "/quiet") == 0) continue;
    // Where absolute paths begin with "/", an existing directory is no option.
    if (arg[0] == '/' && !is_directory(arg)) {
      result.action = CommandAction::kUnknownOption;
      result.offending = arg;
      return result;
    }
    if (result.directory != nullptr) {
      result.action = CommandAction::kWrongSyntax;
      result.offending = arg;
      return result;
    }
    result.directory = arg;
  }
  result.action =
      result.directory != nullptr ? CommandAction::kCompile : CommandAction::kNoDirectory;
  return result;
}

}  // namespace ucac2

// The command line: the options and one input directory.
#pragma once

namespace ucac2 {

enum class CommandAction {
  kCompile,        // a directory was given: compile it
  kHelp,           // "/?", "/h", "--help" or "-h": banner and help, status 0
  kVersion,        // "--version": banner, status 0
  kUnknownOption,  // an option not known: error, banner and help, status 1
  kWrongSyntax,    // a second directory: error, banner and help, status 1
  kNoDirectory,    // no directory given: banner and help, status 1
};

struct CommandLine {
  CommandAction action = CommandAction::kNoDirectory;
  const char* directory = nullptr;  // the directory argument, when one was recorded
  const char* offending = nullptr;  // the argument an error names
};

/// Examines the arguments after the program name, left to right. `is_directory` tells
/// whether an argument beginning with "/" names an existing directory (taken as the
/// directory argument, not as an unknown option).
CommandLine ParseCommandLine(int argc, const char* const* argv,
                             bool (*is_directory)(const char* path));

}  // namespace ucac2

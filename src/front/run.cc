// The order of the run: command line, banner, the two passes.
#include "front/run.h"

#include "base/file.h"
#include "compile/compile_job.h"
#include "compile/console.h"
#include "compile/distribute.h"
#include "compile/messages.h"
#include "compile/regroup.h"
#include "compile/work_files.h"
#include "front/banner.h"
#include "front/command_line.h"

namespace ucac2 {
namespace {

CompileJob* g_job = nullptr;  // lives until the process ends

bool NeverDirectory(const char*) { return false; }

int EndWithoutCompiling(const CommandLine& line) {
  if (line.action == CommandAction::kVersion) {
    PrintBanner();
    return 0;
  }
  if (line.action == CommandAction::kUnknownOption) {
    PlainLine("Error : Unknown option '%s'", line.offending);
  } else if (line.action == CommandAction::kWrongSyntax) {
    PlainLine("Error : Wrong syntax '%s'", line.offending);
  }
  PrintBanner();
  PrintHelp();
  return line.action == CommandAction::kHelp ? 0 : 1;
}

}  // namespace

int Run(int argc, const char* const* argv) {
  PrepareProcess();
  const CommandLine line =
      ParseCommandLine(argc, argv, kSlashBeginsAbsolutePath ? IsDirectory : NeverDirectory);
  if (line.action != CommandAction::kCompile) return EndWithoutCompiling(line);

  PrintBanner();
  SetExitDuties({FlushWorkFiles, ConsoleRestore});
  ConsoleStart();
  Message("Input directory: %s", line.directory);
  g_job = CreateCompileJob(line.directory);
  if (!LockWorkingDirectory()) Fatal("Another compilation is running in the current directory");
  Message("Data file checking (%s)...", g_job->input_directory);
  g_job->catalog_total = Distribute(*g_job);
  Message("Writing 24 files with binary data...");
  WriteZoneFiles(*g_job);
  ConsoleRestore();
  return 0;
}

}  // namespace ucac2

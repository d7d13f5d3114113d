// An output written whole or not at all: into a new file beside its name, moved over the name
// only once complete, so that a reader, a second writer or a failure never leaves a piece of
// it there.
#pragma once

#include <string>
#include <vector>

#include "base/file.h"
#include "db/findings.h"

namespace ucac2 {

/// An output being written: `file` is open on `part_path`, which becomes `path` when finished.
struct OutputFile {
  std::string path;
  std::string part_path;
  File file;
};

/// Checks `path` before any work is done for it: false after reporting a symbolic link (never
/// written through), something there that is not a regular file, or one of `inputs` under
/// any name (the same file).
bool CheckOutput(const std::string& path, const std::vector<std::string>& inputs,
                 Findings& findings);

/// Creates the new file beside `path` that the output is written into. False after reporting.
bool StartOutput(const std::string& path, OutputFile& out, Findings& findings);

/// Closes the new file and moves it over `out.path`. False after reporting and removing it.
bool FinishOutput(OutputFile& out, Findings& findings);

/// Closes and removes the new file: the output stays as it was before.
void AbandonOutput(OutputFile& out);

}  // namespace ucac2

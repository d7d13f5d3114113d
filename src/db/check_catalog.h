// Checking a catalog before it is compiled: every file read once, each fault a finding.
#pragma once

namespace ucac2 {

/// Reads every catalog file in `directory` once, in fixed memory, and reports on the standard
/// error stream each fault that would stop or spoil a compilation, then a summary line. With
/// `scaled`, star counts are not compared with the published ones. Returns the exit status: 0
/// when nothing was found, 1 otherwise.
int CheckCatalog(const char* directory, bool scaled);

}  // namespace ucac2

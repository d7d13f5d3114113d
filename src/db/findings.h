// What a check of ucac2db finds: each finding one line on the standard error stream, naming
// the file it is in, and a count that decides the exit status.
#pragma once

#include <cstdint>

#include "base/printf_format.h"

namespace ucac2 {

/// The findings of one check. A check reports each finding and goes on to the next.
struct Findings {
  std::int64_t total = 0;  // every finding reported, printed or not
};

/// Prints "<file>: <text>" on the standard error stream and counts it.
void Report(Findings& findings, const char* file, const char* format, ...) UCAC2_PRINTF(3, 4);

/// Counts a finding without printing it (past a per-file limit, say).
void CountOnly(Findings& findings);

/// Prints a line of the check's own (a summary) on the standard error stream.
void Note(const char* format, ...) UCAC2_PRINTF(1, 2);

/// The exit status of a check: 0 when nothing was found, 1 otherwise.
inline int FindingsStatus(const Findings& findings) { return findings.total == 0 ? 0 : 1; }

}  // namespace ucac2

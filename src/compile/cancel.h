// Cancelling the run with the ESC key.
#pragma once

#include <cstdint>

#include "compile/file.h"

namespace ucac2 {

enum class Pass { kDistribution, kRegrouping };

/// Records between two looks at the console: looking costs a system call, and the passes
/// ask before every record. A few thousand records take well under a millisecond.
#ifndef UCAC2_RECORDS_PER_CONSOLE_CHECK
#define UCAC2_RECORDS_PER_CONSOLE_CHECK 4096
#endif
inline constexpr std::int32_t kRecordsPerConsoleCheck = UCAC2_RECORDS_PER_CONSOLE_CHECK;

/// True when the user has pressed ESC. Called before every record; asks the console only
/// every kRecordsPerConsoleCheck calls, the first call included.
bool PollCancel();

/// Ends the run on the user's request: prints the notice, closes the pass's files, deletes
/// the work files and exits with status 1. `zone` is the regrouping pass's zone file, null
/// in the distribution pass.
[[noreturn]] void CancelRun(Pass pass, File& input, File* zone);

}  // namespace ucac2

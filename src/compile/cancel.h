// Cancelling the run with the ESC key.
#pragma once

#include <cstdint>

#include "base/file.h"

namespace ucac2 {

enum class Pass { kDistribution, kRegrouping };

/// The passes ask before every record, tens of millions of times, but asking the console
/// costs system calls: it is asked at most once per kConsoleCheckIntervalMs, and the clock is
/// read only every kRecordsPerConsoleCheck records (a fraction of a millisecond's work).
inline constexpr std::int32_t kRecordsPerConsoleCheck = 1024;
inline constexpr std::int32_t kConsoleCheckIntervalMs = 10;

/// True when the user has pressed ESC. The first call asks the console; later ones ask it
/// again only after kRecordsPerConsoleCheck calls and kConsoleCheckIntervalMs.
bool PollCancel();

/// Ends the run on the user's request: prints the notice, closes the pass's files, deletes
/// the work files and exits with status 1. `zone` is the regrouping pass's zone file, null
/// in the distribution pass.
[[noreturn]] void CancelRun(Pass pass, File& input, File* zone);

}  // namespace ucac2

// The entry of ucac2db.
#pragma once

namespace ucac2 {

/// Exit status of a command line that is not understood.
inline constexpr int kUsageStatus = 2;

/// Runs ucac2db on its command line and returns its exit status: 0 when everything checked
/// holds, 1 when something was found, 2 for a usage error.
int RunDb(int argc, const char* const* argv);

}  // namespace ucac2

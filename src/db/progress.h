// The progress of a long check: one line on the standard error stream, updated in place,
// shown only when that stream is a terminal.
#pragma once

#include <cstdint>

namespace ucac2 {

/// Starts showing progress for a task of `total` units (bytes, say) named `what`. Shows
/// nothing when the standard error stream is not a terminal.
void StartProgress(const char* what, std::int64_t total);

/// Records that `done` of the total units are done; redraws at most a few times a second.
void UpdateProgress(std::int64_t done);

/// Erases the progress line, so that a finding or a summary can be printed in its place.
void ClearProgress();

}  // namespace ucac2

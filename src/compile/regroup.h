// The regrouping pass: each hour file sorted into declination bands and assembled into its
// zone file; and the step that runs it and holds its star count against the first pass's.
#pragma once

#include <cstdint>

#include "compile/compile_job.h"

namespace ucac2 {

/// Writes the 24 zone files and the report from the hour files; returns the items read.
std::int32_t Regroup(CompileJob& job);

/// Writes the zone files and the report (Regroup), then checks that it read as many stars
/// as the distribution pass.
void WriteZoneFiles(CompileJob& job);

}  // namespace ucac2

// The regrouping pass: each hour file sorted into declination bands and assembled into its
// zone file; and the verification of the star count that wraps it.
#pragma once

#include <cstdint>

#include "compile/compile_job.h"

namespace ucac2 {

/// Writes the 24 zone files and the report from the hour files; returns the items read.
std::int32_t Regroup(CompileJob& job);

/// Runs Regroup and checks that it read as many stars as the distribution pass.
void Verify(CompileJob& job);

}  // namespace ucac2

// The distribution pass: every catalog star, numbered, into the hour file of its hour zone.
#pragma once

#include <cstdint>

#include "base/catalog_files.h"
#include "compile/compile_job.h"

namespace ucac2 {

inline constexpr std::int32_t kProgressInterval = 1000000;
inline constexpr int kPathBufferSize = 1024;

/// Reads the 324 catalog files in their fixed order, fills the job's hour counts and the
/// hour files, and returns the number of stars read.
std::int32_t Distribute(CompileJob& job);

}  // namespace ucac2

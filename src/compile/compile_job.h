// The run record: what the driver knows of the job, filled in by the two passes.
#pragma once

#include <cstdint>

#include "base/zone_file.h"

namespace ucac2 {

struct CompileJob {
  char* input_directory = nullptr;  // the directory argument, unchanged
  char zone_file_names[kHourZones][kZoneFileNameSize] = {};
  std::int32_t hour_counts[kHourZones] = {};
  std::int32_t catalog_total = 0;
};

/// Takes storage for the job, copies `directory` into it and names the 24 zone files.
/// Ends the process with status 1 when the storage cannot be taken. The job is never
/// released.
CompileJob* CreateCompileJob(const char* directory);

}  // namespace ucac2

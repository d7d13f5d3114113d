// Creating the run record.
#include "compile/compile_job.h"

#include <cstring>
#include <new>

#include "compile/messages.h"

namespace ucac2 {

CompileJob* CreateCompileJob(const char* directory) {
  auto* job = new (std::nothrow) CompileJob;
  if (job == nullptr) Fatal("Unable to take storage for the job");
  const std::size_t length = std::strlen(directory);
  job->input_directory = new (std::nothrow) char[length + 1];
  if (job->input_directory == nullptr) {
    Error("Input Directory name not defined");
    ExitProcess(1);
  }
  std::memcpy(job->input_directory, directory, length + 1);
  for (int h = 0; h < kHourZones; ++h) {
    ZoneFileName(h, job->zone_file_names[h]);
  }
  return job;
}

}  // namespace ucac2

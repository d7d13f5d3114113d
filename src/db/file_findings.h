// The findings of one file: each printed as a line naming the file, up to a limit, and the
// rest counted and summed up in one line.
#pragma once

#include <cstdint>
#include <string>

#include "base/paths.h"
#include "base/printf_format.h"
#include "db/findings.h"

namespace ucac2 {

/// At most this many findings of one file are printed.
inline constexpr int kPrintedPerFile = 10;

/// The findings of the file named `name` (a path as the user gave it).
struct FileFindings {
  Findings* findings = nullptr;
  std::string name;
  int printed = 0;
  std::int64_t unprinted = 0;
};

/// Reports a finding of the file: printed while under the limit, counted only past it.
void FileReport(FileFindings& file, const char* format, ...) UCAC2_PRINTF(2, 3);

/// Reports why the file, which exists, cannot be opened for reading: not a regular file, or
/// no permission.
void ReportUnopenable(FileFindings& file);

/// Reports that reading the file failed at byte `offset`.
void ReportUnreadable(FileFindings& file, std::int64_t offset);

/// Prints how many findings of the file went unprinted, if any, and forgets them.
void FinishFile(FileFindings& file);

}  // namespace ucac2

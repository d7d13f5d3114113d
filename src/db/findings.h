// What a check of ucac2db finds: each finding one line on the standard error stream, naming
// the file it is in, at most kPrintedPerFile of one file printed and the rest summed up in
// one closing line, and a count that decides the exit status.
#pragma once

#include <cstdint>
#include <string>

#include "base/printf_format.h"

namespace ucac2 {

/// The findings of one check. A check reports each finding and goes on to the next.
struct Findings {
  std::int64_t total = 0;  // every finding reported, printed or not
};

/// Prints "<file>: <text>" on the standard error stream and counts it.
void Report(Findings& findings, const char* file, const char* format, ...) UCAC2_PRINTF(3, 4);

/// Counts a finding without printing it (past a limit, say).
void CountOnly(Findings& findings);

/// Prints a line of the check's own (a summary) on the standard error stream.
void Note(const char* format, ...) UCAC2_PRINTF(1, 2);

/// "finding" or "findings", as `count` asks.
const char* FindingsWord(std::int64_t count);

/// The exit status of a check: 0 when nothing was found, 1 otherwise.
inline int FindingsStatus(const Findings& findings) { return findings.total == 0 ? 0 : 1; }

/// Reports that a temporary file could not be made, written or read back, naming the folder
/// it was to go in, which the user can mend. `what` is what it was to sort ("the stars found").
void ReportTemporaryFileFailure(Findings& findings, const char* what);

/// At most this many findings of one file are printed.
inline constexpr int kPrintedPerFile = 10;

/// The findings of the file named `name` (a path as messages name it).
struct FileFindings {
  Findings* findings = nullptr;
  std::string name;
  int printed = 0;
  std::int64_t unprinted = 0;
};

/// Reports a finding of the file: printed while under the limit, counted only past it.
void FileReport(FileFindings& file, const char* format, ...) UCAC2_PRINTF(2, 3);

/// Reports that reading the file failed at byte `offset`.
void ReportUnreadable(FileFindings& file, std::int64_t offset);

/// Prints how many findings of the file went unprinted, if any, and forgets them.
void FinishFile(FileFindings& file);

}  // namespace ucac2

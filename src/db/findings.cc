// Printing findings, a limited number per file.
#include "db/findings.h"

#include <cstdarg>
#include <cstdio>

#include "base/file.h"
#include "db/progress.h"

namespace ucac2 {

void Report(Findings& findings, const char* file, const char* format, ...) {
  ClearProgress();
  ++findings.total;
  std::fprintf(stderr, "%s: ", file);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

void CountOnly(Findings& findings) { ++findings.total; }

void Note(const char* format, ...) {
  ClearProgress();
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

const char* FindingsWord(std::int64_t count) { return count == 1 ? "finding" : "findings"; }

void FileReport(FileFindings& file, const char* format, ...) {
  if (file.printed >= kPrintedPerFile) {
    ++file.unprinted;
    CountOnly(*file.findings);
    return;
  }
  ++file.printed;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Report(*file.findings, file.name.c_str(), "%s", text);
}

void ReportUnreadable(FileFindings& file, std::int64_t offset) {
  FileReport(file, "cannot be read past byte %lld", static_cast<long long>(offset));
}

void FinishFile(FileFindings& file) {
  if (file.unprinted == 0) return;
  Note("%s: findings not shown: %lld", file.name.c_str(), static_cast<long long>(file.unprinted));
  file.unprinted = 0;
}

void ReportTemporaryFileFailure(Findings& findings, const char* what) {
  const char* folder = TemporaryFolder();
  if (!IsDirectory(folder)) {
    Report(findings, folder, "the folder for temporary files does not exist; %s cannot be sorted",
           what);
  } else {
    Report(findings, (std::string("temporary file in ") + folder).c_str(),
           "cannot be made or written to sort %s", what);
  }
}

}  // namespace ucac2

// Findings of one file, limited.
#include "db/file_findings.h"

#include <cstdarg>
#include <cstdio>

#include "base/file.h"

namespace ucac2 {

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

void ReportUnopenable(FileFindings& file) {
  FileReport(file, IsDirectory(file.name.c_str()) ? "not a regular file" : "cannot be opened");
}

void ReportUnreadable(FileFindings& file, std::int64_t offset) {
  FileReport(file, "cannot be read past byte %lld", static_cast<long long>(offset));
}

void FinishFile(FileFindings& file) {
  if (file.unprinted == 0) return;
  Note("%s: %lld more findings", file.name.c_str(), static_cast<long long>(file.unprinted));
  file.unprinted = 0;
}

}  // namespace ucac2

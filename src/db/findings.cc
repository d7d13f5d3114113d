// Printing findings.
#include "db/findings.h"

#include <cstdarg>
#include <cstdio>

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

}  // namespace ucac2

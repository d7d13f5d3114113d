// The console messages: one message buffer, three prefixes, one way out on failure.
#include "compile/messages.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace ucac2 {
namespace {

char g_message[kMessageBufferSize];
ExitDuties g_duties;
// A failure while pending output is written out raises its own fatal error; these keep
// that error from writing out the same output again.
bool g_flushing = false;
bool g_exiting = false;

void FlushPending() {
  if (g_duties.flush_pending == nullptr || g_flushing || g_exiting) return;
  g_flushing = true;
  g_duties.flush_pending();
  g_flushing = false;
}

// Marked as printf-like so that clang checks its callers rather than warning on it.
void PrintPrefixed(const char* prefix, const char* format, va_list args) UCAC2_PRINTF(2, 0);

void PrintPrefixed(const char* prefix, const char* format, va_list args) {
  // vsnprintf cuts an over-long message at the buffer's end and always terminates it.
  std::vsnprintf(g_message, sizeof g_message, format, args);
  std::fputs(prefix, stderr);
  std::fputs(g_message, stderr);
  std::fputc('\n', stderr);
}

}  // namespace

void SetExitDuties(const ExitDuties& duties) { g_duties = duties; }

void Message(const char* format, ...) {
  // The files on disk are up to date whenever a line appears on the console.
  FlushPending();
  va_list args;
  va_start(args, format);
  PrintPrefixed("MSG --- ", format, args);
  va_end(args);
}

void Error(const char* format, ...) {
  FlushPending();
  va_list args;
  va_start(args, format);
  PrintPrefixed("ERR >>> ", format, args);
  va_end(args);
}

void PlainLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

void Fatal(const char* format, ...) {
  // Pending output is written before the line is printed; if that write fails, its own
  // fatal error ends the process instead, as it would have if the bytes had been written
  // at once.
  FlushPending();
  g_exiting = true;
  va_list args;
  va_start(args, format);
  PrintPrefixed("FTL *** ", format, args);
  va_end(args);
  ExitProcess(1);
}

void WriteFailure() { Fatal("Unable to write on disk"); }

void ExitProcess(int status) {
  FlushPending();
  g_exiting = true;
  if (g_duties.restore_console != nullptr) g_duties.restore_console();
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(status);
}

void FormatInto(char* buffer, std::size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, size, format, args);
  va_end(args);
}

}  // namespace ucac2

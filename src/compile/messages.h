// The console messages: progress lines, errors and fatal errors on the standard error stream,
// and the one path through which the process ends on failure.
#pragma once

#include <cstddef>

#include "base/printf_format.h"

namespace ucac2 {

/// Size of the message buffer, terminator included; longer messages are cut.
inline constexpr std::size_t kMessageBufferSize = 1024;

/// Prints "MSG --- " and the formatted text on the standard error stream.
void Message(const char* format, ...) UCAC2_PRINTF(1, 2);

/// Prints "ERR >>> " and the formatted text on the standard error stream, and returns.
void Error(const char* format, ...) UCAC2_PRINTF(1, 2);

/// Prints "FTL *** " and the formatted text, then ends the process with status 1.
[[noreturn]] void Fatal(const char* format, ...) UCAC2_PRINTF(1, 2);

/// The fatal error of a write that did not write all of its bytes.
[[noreturn]] void WriteFailure();

/// Prints a line on the standard error stream without a prefix (the command-line errors
/// and the cancel notice).
void PlainLine(const char* format, ...) UCAC2_PRINTF(1, 2);

/// Ends the process with `status` after the exit duties: pending output is written out and
/// the console is given back. Every ending other than a completed run goes through here.
[[noreturn]] void ExitProcess(int status);

/// Duties hung on the exit path and on every line printed. `flush_pending` writes out
/// buffered work-file output (it may itself raise a fatal error); `restore_console` gives
/// the terminal back its settings. Either may be null.
struct ExitDuties {
  void (*flush_pending)() = nullptr;
  void (*restore_console)() = nullptr;
};
void SetExitDuties(const ExitDuties& duties);

/// Formats into `buffer` like snprintf, always terminated, cut to fit.
void FormatInto(char* buffer, std::size_t size, const char* format, ...) UCAC2_PRINTF(3, 4);

}  // namespace ucac2

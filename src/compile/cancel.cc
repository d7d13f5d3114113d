// The ESC check and what a cancelled run leaves behind.
#include "compile/cancel.h"

#include <chrono>

#include "base/faults.h"
#include "compile/console.h"
#include "compile/messages.h"
#include "compile/work_files.h"

namespace ucac2 {
namespace {

std::int32_t g_until_check = 0;
bool g_checked = false;
std::chrono::steady_clock::time_point g_last_check;

}  // namespace

bool PollCancel() {
  FaultEffect effect;
  if (FaultStrikes(FaultCall::kEscape, &effect)) return true;
  if (--g_until_check > 0) return false;
  g_until_check = kRecordsPerConsoleCheck;
  const auto now = std::chrono::steady_clock::now();
  if (g_checked && now - g_last_check < std::chrono::milliseconds(kConsoleCheckIntervalMs)) {
    return false;
  }
  g_checked = true;
  g_last_check = now;
  return ConsoleEscapePressed();
}

void CancelRun(Pass pass, File& input, File* zone) {
  // The work files are about to go: what they hold back need not reach the disk.
  DiscardSet(HourFiles());
  DiscardSet(BandFiles());
  PlainLine("Process canceled by user");
  input.Close();
  if (zone != nullptr) zone->Close();
  if (pass == Pass::kRegrouping) DeleteAll(BandFiles());
  DeleteAll(HourFiles());
  ExitProcess(1);
}

}  // namespace ucac2

// The progress line.
#include "db/progress.h"

#include <chrono>
#include <cstdio>

#include "base/file.h"

namespace ucac2 {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr int kLineWidth = 79;

struct ProgressLine {
  bool shown = false;  // a line stands on the terminal now
  bool active = false;
  const char* what = "";
  std::int64_t total = 0;
  Clock::time_point last_drawn;
};

ProgressLine g_progress;

}  // namespace

void StartProgress(const char* what, std::int64_t total) {
  ClearProgress();
  g_progress.active = StandardErrorIsTerminal();
  g_progress.what = what;
  g_progress.total = total;
  g_progress.last_drawn = Clock::now() - kRedrawInterval;
}

void UpdateProgress(std::int64_t done) {
  if (!g_progress.active) return;
  const auto now = Clock::now();
  if (now - g_progress.last_drawn < kRedrawInterval) return;
  g_progress.last_drawn = now;
  const double percent = g_progress.total > 0 ? 100.0 * static_cast<double>(done) /
                                                    static_cast<double>(g_progress.total)
                                              : 100.0;
  std::fprintf(stderr, "\r%s: %5.1f%%", g_progress.what, percent);
  std::fflush(stderr);
  g_progress.shown = true;
}

void ClearProgress() {
  if (!g_progress.shown) return;
  // Blank the line with spaces (no terminal control sequences, which not every Windows
  // console knows) and return to its start: the next text takes its place.
  std::fprintf(stderr, "\r%*s\r", kLineWidth, "");
  g_progress.shown = false;
}

}  // namespace ucac2

// The program with its fault seam open, for the tests: UCAC2_FAULT="kind:n[:effect]" makes
// the nth platform call of that kind fail; UCAC2_FAULT_COUNTS names a file that receives, at
// exit, how many calls of each kind the run made.
#include <cstdio>
#include <cstdlib>

#include "base/faults.h"
#include "front/run.h"

namespace {

const char* g_counts_path = nullptr;

void WriteCounts() {
  std::FILE* out = std::fopen(g_counts_path, "w");
  if (out == nullptr) return;
  const char* names[] = {"open", "create", "read", "write", "size", "seek", "delete", "escape"};
  for (int k = 0; k < static_cast<int>(ucac2::FaultCall::kCount); ++k) {
    std::fprintf(out, "%s %lld\n", names[k],
                 static_cast<long long>(ucac2::FaultCallsMade(static_cast<ucac2::FaultCall>(k))));
  }
  std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
  ucac2::FaultPlan plan;
  if (const char* text = std::getenv("UCAC2_FAULT"); text != nullptr && *text != '\0') {
    if (!ucac2::ParseFaultPlan(text, &plan)) {
      std::fprintf(stderr, "bad UCAC2_FAULT '%s'\n", text);
      return 2;
    }
  }
  ucac2::InstallFaultPlan(plan);
  g_counts_path = std::getenv("UCAC2_FAULT_COUNTS");
  if (g_counts_path != nullptr) std::atexit(WriteCounts);
  return ucac2::Run(argc, argv);
}

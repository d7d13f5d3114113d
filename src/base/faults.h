// Test seam of the platform layer: makes the Nth call of one kind fail, as a full disk, a
// vanished file or a flaky device would. Inert unless a test installs a plan.
#pragma once

#include <cstdint>

namespace ucac2 {

/// The kinds of platform call a plan can strike. `kEscape` is not a file call: the Nth
/// check for the ESC key sees it pressed.
enum class FaultCall { kOpen, kCreate, kRead, kWrite, kSize, kSeek, kDelete, kEscape, kCount };

/// How the struck call fails.
enum class FaultEffect {
  kError,    // the call fails outright
  kShort,    // a read or write moves only part of its bytes, then reports success
  kNoSpace,  // a write fails as on a full disk
};

struct FaultPlan {
  FaultCall call = FaultCall::kCount;  // kCount: no fault, only counting
  std::int64_t nth = 0;                // 1 for the first call of that kind
  FaultEffect effect = FaultEffect::kError;
};

/// Installs `plan`; every later platform call is counted by kind.
void InstallFaultPlan(const FaultPlan& plan);

/// Counts a call of `kind` and tells whether the plan strikes it. `effect` receives how.
/// Cheap when no plan is installed.
bool FaultStrikes(FaultCall kind, FaultEffect* effect);

/// Calls of `kind` counted since the plan was installed.
std::int64_t FaultCallsMade(FaultCall kind);

/// Parses "kind:n[:effect]" (kinds open create read write size seek delete escape; effects
/// error short nospace). Returns false on a malformed text.
bool ParseFaultPlan(const char* text, FaultPlan* plan);

}  // namespace ucac2

// The fault plan and its call counters.
#include "base/faults.h"

#include <cstdlib>
#include <cstring>

namespace ucac2 {
namespace {

bool g_installed = false;
FaultPlan g_plan;
std::int64_t g_calls[static_cast<int>(FaultCall::kCount)] = {};

constexpr const char* kCallNames[] = {"open", "create", "read",   "write",
                                      "size", "seek",   "delete", "escape"};
constexpr const char* kEffectNames[] = {"error", "short", "nospace"};

}  // namespace

void InstallFaultPlan(const FaultPlan& plan) {
  g_installed = true;
  g_plan = plan;
  for (auto& calls : g_calls) calls = 0;
}

bool FaultStrikes(FaultCall kind, FaultEffect* effect) {
  if (!g_installed) return false;
  const std::int64_t made = ++g_calls[static_cast<int>(kind)];
  if (kind != g_plan.call || made != g_plan.nth) return false;
  *effect = g_plan.effect;
  return true;
}

std::int64_t FaultCallsMade(FaultCall kind) { return g_calls[static_cast<int>(kind)]; }

bool ParseFaultPlan(const char* text, FaultPlan* plan) {
  const char* colon = std::strchr(text, ':');
  if (colon == nullptr) return false;
  const std::size_t name_length = static_cast<std::size_t>(colon - text);
  int kind = 0;
  while (kind < static_cast<int>(FaultCall::kCount) &&
         (std::strlen(kCallNames[kind]) != name_length ||
          std::strncmp(kCallNames[kind], text, name_length) != 0)) {
    ++kind;
  }
  if (kind == static_cast<int>(FaultCall::kCount)) return false;
  char* end = nullptr;
  const long long nth = std::strtoll(colon + 1, &end, 10);
  if (end == colon + 1 || nth < 1) return false;
  FaultEffect effect = FaultEffect::kError;
  if (*end == ':') {
    int e = 0;
    while (e < 3 && std::strcmp(kEffectNames[e], end + 1) != 0) ++e;
    if (e == 3) return false;
    effect = static_cast<FaultEffect>(e);
  } else if (*end != '\0') {
    return false;
  }
  plan->call = static_cast<FaultCall>(kind);
  plan->nth = nth;
  plan->effect = effect;
  return true;
}

}  // namespace ucac2

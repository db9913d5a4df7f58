#include "platform/fault_injection.h"

#include <array>

namespace platform::faults {
namespace {

struct Plan {
  std::array<std::uint64_t, static_cast<int>(Op::kCount)> calls{};
  bool armed = false;
  Op op = Op::Open;
  std::uint64_t nth = 0;
  Kind kind = Kind::Fail;
};

Plan& ThePlan() {
  static Plan plan;
  return plan;
}

}  // namespace

void Arm(Op op, std::uint64_t nth, Kind kind) {
  Plan& plan = ThePlan();
  plan = Plan{};
  plan.armed = true;
  plan.op = op;
  plan.nth = nth;
  plan.kind = kind;
}

void Disarm() { ThePlan().armed = false; }

std::uint64_t Calls(Op op) { return ThePlan().calls[static_cast<int>(op)]; }

void ResetCounts() { ThePlan().calls = {}; }

Kind* Trip(Op op) {
  Plan& plan = ThePlan();
  const std::uint64_t n = ++plan.calls[static_cast<int>(op)];
  if (!plan.armed || plan.op != op || plan.nth != n) return nullptr;
  return &plan.kind;
}

}  // namespace platform::faults

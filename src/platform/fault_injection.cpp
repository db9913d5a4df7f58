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

struct MomentPlan {
  std::array<std::uint64_t, static_cast<int>(Moment::kCount)> reached{};
  std::array<std::uint64_t, static_cast<int>(Moment::kCount)> nth{};
  std::array<Action, static_cast<int>(Moment::kCount)> actions{};
};

Plan& ThePlan() {
  static Plan plan;
  return plan;
}

MomentPlan& TheMoments() {
  static MomentPlan plan;
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

void AtMoment(Moment moment, std::uint64_t nth, Action action) {
  MomentPlan& plan = TheMoments();
  const int m = static_cast<int>(moment);
  plan.reached[m] = 0;
  plan.nth[m] = nth;
  plan.actions[m] = action;
}

void ClearMoments() { TheMoments() = MomentPlan{}; }

void Reached(Moment moment) {
  MomentPlan& plan = TheMoments();
  const int m = static_cast<int>(moment);
  if (plan.actions[m] && ++plan.reached[m] == plan.nth[m]) plan.actions[m]();
}

}  // namespace platform::faults

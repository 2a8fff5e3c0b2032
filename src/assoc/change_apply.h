#pragma once
// Applying a plan all or nothing: its steps in order, and on the first failure the steps already
// applied undone in reverse order.

#include <windows.h>

#include <functional>
#include <string>

#include "assoc/change_plan.h"
#include "common/exception.h"
#include "common/seam.h"

namespace assoc {

// What WriteStep answers when the key of a step no longer holds what the step was planned against.
inline constexpr LONG kStateChanged = ERROR_INVALID_STATE;

// Writes one step into the registry and answers the system's code: ERROR_SUCCESS, kStateChanged,
// or why it failed. Compare and set: just before it writes, the step's key is checked to hold
// what the step was planned against (the value as it was; for a new key, that it is missing; for
// a removed key, its values and no sub-key) and left alone when it does not. Keys are opened one
// name at a time, never through a registry link, and a removed key is removed through the handle
// that was checked. Tests replace it to fail a chosen step.
extern common::Seam<LONG(const TChangeStep& step)> WriteStep;

// The steps that undo step once it has been applied (a removed key comes back with its values).
std::vector<TChangeStep> UndoSteps(const TChangeStep& step);

// A plan that could not be applied. The message names the key, the step and the system's
// reason, and, when a step that undoes the earlier ones failed too, what is left how.
class EChangeFailed : public Exception {
 public:
  EChangeFailed(std::wstring message, LONG code, bool rolledBack)
      : Exception(std::move(message)), code_(code), rolledBack_(rolledBack) {}
  // The system's code for the step that failed (ERROR_ACCESS_DENIED where Windows protects a key).
  LONG Code() const noexcept { return code_; }
  // True when the registry is back as it was before the plan.
  bool RolledBack() const noexcept { return rolledBack_; }

 private:
  LONG code_;
  bool rolledBack_;
};

// Applies plan's steps in order. On the first failure, undoes the steps applied so far in
// reverse order and raises EChangeFailed; when a key changed since the plan was made, its message
// says so (KeyChangedSincePlanned). progress, when given, is called after every 256th step with
// the number of steps done (a long restore shows it).
void ApplyPlan(const TChangePlan& plan, const std::function<void(size_t done, size_t total)>& progress = {});

}  // namespace assoc

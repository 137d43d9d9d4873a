// Operations of a support-file run: the unit in which failures are reported and skipped.
#pragma once

#include <functional>

namespace ost {

// The run's error handling, as the code that writes the support file sees it. Each call runs one
// operation; a failure inside it (an AppError or any other exception) abandons that operation
// and is reported to the user, who decides whether the run goes on. When it goes on, the call
// returns normally and the caller carries on with its next operation; when it does not, the call
// throws RunAborted, which ends the run.
class IOperations {
  public:
    virtual ~IOperations() = default;
    virtual void Run(const std::function<void()>& operation) = 0;
    // A test that guards the operations after it. A test that fails and is passed over counts as
    // passed: the operations it guards run.
    virtual bool Test(const std::function<bool()>& test) = 0;
};

// Thrown through the run when the user chooses to end it.
struct RunAborted {};

}  // namespace ost

// Runs every operation and, like a user who always answers Yes, carries on after a failure,
// recording the failures' numbers in order.
#pragma once

#include <functional>
#include <vector>

#include "app/operations.h"
#include "platform/error.h"

namespace ost::test {

class ContinuingOperations : public IOperations {
  public:
    std::vector<int32_t> failures;
    void Run(const std::function<void()>& operation) override {
        try {
            operation();
        } catch (const AppError& e) {
            failures.push_back(e.Number());
        }
    }
    bool Test(const std::function<bool()>& test) override {
        bool passed = true;  // a test that fails counts as passed
        Run([&] { passed = test(); });
        return passed;
    }
};

}  // namespace ost::test

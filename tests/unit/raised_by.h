// The AppError an action raises, for tests that check what went wrong.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/error.h"

namespace ost::test {

// The AppError that `action` raises; a test failure when it raises none.
template <typename Action>
AppError RaisedBy(Action&& action) {
    try {
        action();
    } catch (const AppError& e) {
        return e;
    }
    ADD_FAILURE() << "no AppError was raised";
    return AppError(0, "(none)");
}

// An error as "number|source|description".
inline std::string Described(const AppError& e) {
    return std::to_string(e.Number()) + "|" + e.Source() + "|" + e.Description();
}

}  // namespace ost::test

#pragma once
// What an action raises: the message of the error of kind E (the program's
// root exception unless named), or `none` when it raises nothing. Errors of
// other kinds pass on to the test.

#include "platform/core/Exception.h"

#include <functional>
#include <string>

namespace testsupport {

template <typename E = Exception>
std::string MessageOf(const std::function<void()>& action, const std::string& none = "")
{
    try {
        action();
    } catch (const E& e) {
        return e.Message;
    }
    return none;
}

}  // namespace testsupport

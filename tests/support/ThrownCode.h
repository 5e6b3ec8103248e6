// The code of the reader's exception that an action throws: one way for every test to ask.
#pragma once

#include <functional>

#include "common/ErrorCodes.h"

namespace qcl::test {

// The code of the QCException `action` throws, or Success when it throws none.
inline ErrorCode thrownCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const QCException& error) {
        return error.code;
    }
    return Success;
}

}  // namespace qcl::test

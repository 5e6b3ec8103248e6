// Test helper: routes the process-wide logger's console into a string for the helper's lifetime
// and restores the console stream and threshold afterwards.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

#include "common/Logger.h"

namespace qcl::test {

class LogCapture {
  public:
    explicit LogCapture(LogLevel threshold = LogLevel::Warning)
        : saved_(logger().consoleThreshold()) {
        logger().setConsoleStream(&text_);
        logger().setConsoleThreshold(threshold);
    }
    ~LogCapture() {
        logger().setConsoleThreshold(saved_);
        logger().setConsoleStream(&std::cout);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() const { return text_.str(); }

  private:
    std::ostringstream text_;
    LogLevel saved_;
};

}  // namespace qcl::test

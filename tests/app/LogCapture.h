// Captures what the process-wide logger writes to the console during a test and puts the
// logger's console, error stream and thresholds back afterwards.
#pragma once

#include <iostream>
#include <sstream>
#include <string>

#include "common/Logger.h"

namespace qcl::test {

class LogCapture {
  public:
    explicit LogCapture(LogLevel consoleThreshold = LogLevel::Warning)
        : fileThreshold_(logger().fileThreshold()), consoleThreshold_(logger().consoleThreshold()) {
        logger().setConsoleStream(&lines_);
        logger().setErrorStream(&lines_);
        logger().setConsoleThreshold(consoleThreshold);
    }
    ~LogCapture() {
        logger().setConsoleStream(&std::cout);
        logger().setErrorStream(&std::cerr);
        logger().setConsoleThreshold(consoleThreshold_);
        logger().setFileThreshold(fileThreshold_);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text() const { return lines_.str(); }

  private:
    std::ostringstream lines_;
    LogLevel fileThreshold_;
    LogLevel consoleThreshold_;
};

}  // namespace qcl::test

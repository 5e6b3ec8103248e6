// Captures what the process-wide logger writes during a test: its console destination and its
// error stream go into one string, and streams and thresholds are put back afterwards.
#pragma once

#include <sstream>
#include <string>

#include "common/CodeTypes.h"

namespace qcl::test {

class LogCapture {
  public:
    explicit LogCapture(LogLevel consoleThreshold = LogLevel::Warning);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Everything captured, prefixes and line ends included.
    std::string text() const { return out_.str(); }
    bool contains(const std::string& fragment) const {
        return out_.str().find(fragment) != std::string::npos;
    }

  private:
    std::ostringstream out_;
    LogLevel fileThreshold_;
    LogLevel consoleThreshold_;
};

}  // namespace qcl::test

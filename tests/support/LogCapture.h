// Captures what the process-wide logger writes to its console destination, for tests of log lines.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "common/CodeTypes.h"

namespace qcl::test {

// Redirects the logger's console destination into a string for the lifetime of the object.
class LogCapture {
  public:
    explicit LogCapture(LogLevel threshold);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // The captured lines, without their level prefix.
    std::vector<std::string> lines() const;
    // Only the lines that are stage names or alternatives (the indented trace).
    std::vector<std::string> trace() const;

  private:
    std::ostringstream out_;
    LogLevel previous_;
};

}  // namespace qcl::test

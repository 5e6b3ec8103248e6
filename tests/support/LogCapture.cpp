#include "support/LogCapture.h"

#include <iostream>

#include "common/Logger.h"

namespace qcl::test {

LogCapture::LogCapture(LogLevel consoleThreshold)
    : fileThreshold_(logger().fileThreshold()), consoleThreshold_(logger().consoleThreshold()) {
    logger().setConsoleStream(&out_);
    logger().setErrorStream(&out_);
    logger().setConsoleThreshold(consoleThreshold);
}

LogCapture::~LogCapture() {
    logger().setConsoleStream(&std::cout);
    logger().setErrorStream(&std::cerr);
    logger().setConsoleThreshold(consoleThreshold_);
    logger().setFileThreshold(fileThreshold_);
}

}  // namespace qcl::test

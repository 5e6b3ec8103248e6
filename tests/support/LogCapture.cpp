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

std::vector<std::string> LogCapture::lines() const {
    std::vector<std::string> result;
    std::istringstream in(out_.str());
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        result.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
    }
    return result;
}

}  // namespace qcl::test

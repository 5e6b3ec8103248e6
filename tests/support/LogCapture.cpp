#include "support/LogCapture.h"

#include <iostream>

#include "common/Logger.h"
#include "common/Stage.h"

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

std::vector<std::string> LogCapture::trace() const {
    std::vector<std::string> result;
    for (const std::string& line : lines()) {
        const std::size_t text = line.find_first_not_of(' ');
        if (text == std::string::npos) {
            continue;
        }
        const std::string word = line.substr(text);
        if (word[0] == '|' || std::string(stageName(static_cast<std::int32_t>(text))) == word) {
            result.push_back(line);
        }
    }
    return result;
}

}  // namespace qcl::test

#include "app/CommandLine.h"

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <map>

namespace qcl {
namespace {

// Highest valid value of the integer options: code types 0..1, log levels 0..6.
constexpr int kHighestCodeType = 1;
constexpr int kHighestLogLevel = 6;

bool takesValue(const std::string& name) {
    return name == "-r" || name == "-c" || name == "-ll" || name == "-lc" || name == "-lf";
}

int integerOption(const std::string& name, const std::string& value, int highest) {
    const std::optional<int> number = parseInteger(value);
    if (!number) {
        throw BadOption("Option " + name + " must be an integer, but read: " + value);
    }
    if (*number < 0 || *number > highest) {
        throw BadOption("Option " + name + " must lie between 0 and " + std::to_string(highest) +
                        ", but read: " + value);
    }
    return *number;
}

// Option name -> value ("" for "-v"); nullopt when some argument is neither option nor value.
std::optional<std::map<std::string, std::string>> scanOptions(
    const std::vector<std::string>& arguments) {
    std::map<std::string, std::string> options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        if (name == "-v") {
            options.emplace(name, std::string());
            continue;
        }
        if (!takesValue(name) || i + 1 >= arguments.size()) {
            return std::nullopt;
        }
        options.emplace(name, arguments[i + 1]);  // keeps the first occurrence
        ++i;
    }
    return options;
}

}  // namespace

bool usesOnlyDesignOptions(const std::vector<std::string>& arguments) {
    const auto options = scanOptions(arguments);
    return options && !options->empty();
}

std::optional<int> parseInteger(const std::string& text) {
    if (text.empty() || text.find_first_of(" \t\n\r\f\v") != std::string::npos) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' ||
        value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    if (arguments.size() == 1) {
        result.mode = RunMode::DecodeFile;
        result.imagePath = arguments[0];
        return result;
    }
    const auto options = scanOptions(arguments);
    if (!options || options->empty()) {
        return result;
    }
    for (const auto& [name, value] : *options) {
        if (name == "-c") {
            result.codeType = integerOption(name, value, kHighestCodeType);
        } else if (name == "-ll") {
            result.logLevel = integerOption(name, value, kHighestLogLevel);
        } else if (name == "-lc") {
            result.logLevelConsole = integerOption(name, value, kHighestLogLevel);
        } else if (name == "-lf") {
            result.logFile = value;
        }
    }
    if (options->count("-r") != 0) {
        result.mode = RunMode::DecodeFile;
        result.imagePath = options->at("-r");
    } else if (options->count("-v") != 0) {
        result.mode = RunMode::CameraView;
    }
    return result;
}

}  // namespace qcl

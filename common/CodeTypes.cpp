#include "common/CodeTypes.h"

#include <opencv2/core/persistence.hpp>

#include <array>

#include "common/Logger.h"

namespace qcl {
namespace {

const std::array<const char*, 2> kCodeTypeNames = {"BlackAndWhite", "Color"};
const std::array<const char*, 6> kLayoutNames = {"Horizontal",      "Vertical",
                                                 "VerticalSnake",   "HorizontalSnake",
                                                 "HorizontalShortSnake", "Scrambled"};
const std::array<const char*, 4> kEccNames = {"Low", "Medium", "Quartile", "High"};
const std::array<const char*, 8> kPayloadNames = {"Automatic", "Digits", "Letters",    "Numbers",
                                                  "Ascii",     "Binary", "BigLetters", "UTF8"};
const std::array<const char*, 3> kBinaryFormatNames = {"Binary", "HexaLowerCase",
                                                       "HexaUpperCase"};
const std::array<const char*, 7> kLogLevelNames = {"All",   "Debug", "Info", "Warning",
                                                   "Error", "Fatal", "Off"};

template <std::size_t N>
std::string nameOf(const std::array<const char*, N>& names, std::int32_t value,
                   const char* outside) {
    if (value < 0 || static_cast<std::size_t>(value) >= N) {
        return outside;
    }
    return names[static_cast<std::size_t>(value)];
}

// Index of text in names, or -1.
template <std::size_t N>
int indexOf(const std::array<const char*, N>& names, const std::string& text) {
    for (std::size_t i = 0; i < N; ++i) {
        if (text == names[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

template <std::size_t N>
std::string choices(const std::array<const char*, N>& names) {
    std::string list;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) {
            list += ", ";
        }
        list += std::to_string(i) + ": " + names[i];
    }
    return list;
}

std::string nodeText(const cv::FileNode& node, const char* defaultText) {
    if (node.empty() || node.isNone()) {
        return defaultText;
    }
    if (!node.isString()) {
        return std::string();  // a number or a structure names no value
    }
    return node.string();
}

}  // namespace

std::string toString(CodeType value) {
    return nameOf(kCodeTypeNames, static_cast<std::int32_t>(value), "");
}
std::string toString(Layout value) {
    return nameOf(kLayoutNames, static_cast<std::int32_t>(value), "");
}
std::string toString(ECCtype value) {
    return nameOf(kEccNames, static_cast<std::int32_t>(value), "Undefined");
}
std::string toString(PayloadType value) {
    return nameOf(kPayloadNames, static_cast<std::int32_t>(value), "Automatic");
}
std::string toString(BinaryFormat value) {
    return nameOf(kBinaryFormatNames, static_cast<std::int32_t>(value), "");
}
std::string toString(LogLevel value) {
    return nameOf(kLogLevelNames, static_cast<std::int32_t>(value), "Undefined");
}

std::ostream& operator<<(std::ostream& os, CodeType value) { return os << toString(value); }
std::ostream& operator<<(std::ostream& os, Layout value) { return os << toString(value); }
std::ostream& operator<<(std::ostream& os, ECCtype value) { return os << toString(value); }
std::ostream& operator<<(std::ostream& os, PayloadType value) { return os << toString(value); }
std::ostream& operator<<(std::ostream& os, BinaryFormat value) { return os << toString(value); }
std::ostream& operator<<(std::ostream& os, LogLevel value) { return os << toString(value); }

CodeType parseCodeType(const std::string& text) {
    const int index = indexOf(kCodeTypeNames, text);
    if (index < 0) {
        logWarning() << "Wrong CodeType: changed to BlackAndWhite";
        return CodeType::BlackAndWhite;
    }
    return static_cast<CodeType>(index);
}

BinaryFormat parseBinaryFormat(const std::string& text) {
    const int index = indexOf(kBinaryFormatNames, text);
    if (index < 0) {
        logWarning() << "Wrong BinaryFormat: changed to Binary";
        return BinaryFormat::Binary;
    }
    return static_cast<BinaryFormat>(index);
}

LogLevel parseLogLevel(const std::string& text) {
    const int index = indexOf(kLogLevelNames, text);
    return index < 0 ? LogLevel::Info : static_cast<LogLevel>(index);
}

std::string codeTypeChoices() { return choices(kCodeTypeNames); }
std::string logLevelChoices() { return choices(kLogLevelNames); }
std::string binaryFormatChoices() { return choices(kBinaryFormatNames); }

CodeType readCodeType(const cv::FileNode& node) {
    return parseCodeType(nodeText(node, "BlackAndWhite"));
}
BinaryFormat readBinaryFormat(const cv::FileNode& node) {
    return parseBinaryFormat(nodeText(node, "Binary"));
}
LogLevel readLogLevel(const cv::FileNode& node) { return parseLogLevel(nodeText(node, "Info")); }

void writeName(cv::FileStorage& fs, const std::string& key, CodeType value) {
    fs << key << toString(value);
}
void writeName(cv::FileStorage& fs, const std::string& key, BinaryFormat value) {
    fs << key << toString(value);
}
void writeName(cv::FileStorage& fs, const std::string& key, LogLevel value) {
    fs << key << toString(value);
}

}  // namespace qcl

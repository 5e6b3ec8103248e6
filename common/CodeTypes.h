// The shared vocabulary of the reader: code parameters, their names and their settings-file form.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace cv {
class FileNode;
class FileStorage;
}  // namespace cv

namespace qcl {

enum class CodeType : std::int32_t { BlackAndWhite = 0, Color = 1 };

// Order in which data modules are read into the bit stream.
enum class Layout : std::int32_t {
    Horizontal = 0,
    Vertical = 1,
    VerticalSnake = 2,
    HorizontalSnake = 3,
    HorizontalShortSnake = 4,
    Scrambled = 5,
};

// Error-correction strength stored in the frame header.
enum class ECCtype : std::int32_t { Low = 0, Medium = 1, Quartile = 2, High = 3 };

// Kind of payload stored in the first payload byte; the numbers are fixed by the symbol format.
enum class PayloadType : std::int32_t {
    Automatic = 0,
    Digits = 1,
    Letters = 2,
    Numbers = 3,
    Ascii = 4,
    Binary = 5,
    BigLetters = 6,
    UTF8 = 7,
};

// How a Binary payload is handed back to the caller.
enum class BinaryFormat : std::int32_t { Binary = 0, HexaLowerCase = 1, HexaUpperCase = 2 };

// Logger thresholds: a line passes when its level is at least the threshold.
enum class LogLevel : std::int32_t {
    All = 0,
    Debug = 1,
    Info = 2,
    Warning = 3,
    Error = 4,
    Fatal = 5,
    Off = 6,
};

// Value to name. Values outside a table give "" (CodeType, BinaryFormat), "Undefined" (LogLevel,
// ECCtype) or "Automatic" (PayloadType).
std::string toString(CodeType value);
std::string toString(Layout value);
std::string toString(ECCtype value);
std::string toString(PayloadType value);
std::string toString(BinaryFormat value);
std::string toString(LogLevel value);

std::ostream& operator<<(std::ostream& os, CodeType value);
std::ostream& operator<<(std::ostream& os, Layout value);
std::ostream& operator<<(std::ostream& os, ECCtype value);
std::ostream& operator<<(std::ostream& os, PayloadType value);
std::ostream& operator<<(std::ostream& os, BinaryFormat value);
std::ostream& operator<<(std::ostream& os, LogLevel value);

// Name to value: exact, case-sensitive comparison. Unknown CodeType and BinaryFormat names fall
// back to the first value with a Warning line; an unknown LogLevel name silently gives Info.
CodeType parseCodeType(const std::string& text);
BinaryFormat parseBinaryFormat(const std::string& text);
LogLevel parseLogLevel(const std::string& text);

// One-line lists "0: name, 1: name, ..." shown by the menu and the usage text.
std::string codeTypeChoices();
std::string logLevelChoices();
std::string binaryFormatChoices();

// Settings-file form: a value is stored by its name. A missing node reads as the default name.
CodeType readCodeType(const cv::FileNode& node);
BinaryFormat readBinaryFormat(const cv::FileNode& node);
LogLevel readLogLevel(const cv::FileNode& node);
void writeName(cv::FileStorage& fs, const std::string& key, CodeType value);
void writeName(cv::FileStorage& fs, const std::string& key, BinaryFormat value);
void writeName(cv::FileStorage& fs, const std::string& key, LogLevel value);

}  // namespace qcl

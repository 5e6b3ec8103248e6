// The process-wide logger: one line at a time, to the console and to an appended log file, each
// destination with its own threshold.
//
//     logInfo() << "decoded payload: " << payload;
//
// A line is a LogLine object: it takes the logger's lock when it begins and writes the line end,
// flushes and releases the lock when it goes out of scope, also when an exception unwinds it.
#pragma once

#include <fstream>
#include <iosfwd>
#include <mutex>
#include <string>

#include "common/CodeTypes.h"

namespace qcl {

// Level of a single line (0 "Trace" to 5 "Fatal"); thresholds are LogLevel values.
enum class LineLevel : int { Trace = 0, Debug = 1, Info = 2, Warning = 3, Error = 4, Fatal = 5 };

const char* lineLevelName(LineLevel level);

class Logger;

class LogLine {
public:
    LogLine(Logger& logger, LineLevel level);
    ~LogLine();
    LogLine(LogLine&& other) noexcept;
    LogLine(const LogLine&) = delete;
    LogLine& operator=(const LogLine&) = delete;
    LogLine& operator=(LogLine&&) = delete;

    // True when the line reaches at least one destination; callers may skip costly formatting.
    bool enabled() const { return console_ != nullptr || file_ != nullptr; }

    template <typename T>
    LogLine& operator<<(const T& value) {
        if (console_ != nullptr) {
            *console_ << value;
        }
        if (file_ != nullptr && file_->good()) {
            *file_ << value;
        }
        return *this;
    }
    // Stream manipulators such as std::hex and std::dec.
    LogLine& operator<<(std::ostream& (*manipulator)(std::ostream&));
    LogLine& operator<<(std::ios_base& (*manipulator)(std::ios_base&));

private:
    Logger* logger_;
    std::unique_lock<std::recursive_mutex> lock_;
    std::ostream* console_ = nullptr;
    std::ostream* file_ = nullptr;
};

class Logger {
public:
    Logger();
    ~Logger();  // writes the stop banner when the file was opened
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // Sets both thresholds, then opens the file for appending and writes the start banner. A file
    // that cannot be opened (or is open already) is reported on the error stream; lines then go
    // to the console only.
    void start(const std::string& fileName, LogLevel fileThreshold, LogLevel consoleThreshold);
    // Writes the stop banner and closes the file; does nothing when no file is open.
    void stop();

    void setFileThreshold(LogLevel level);
    void setConsoleThreshold(LogLevel level);
    LogLevel fileThreshold() const;
    LogLevel consoleThreshold() const;

    // Redirects the console destination (standard output by default) and the error stream used
    // for the "cannot be opened" message; for tests.
    void setConsoleStream(std::ostream* console);
    void setErrorStream(std::ostream* errors);

    LogLine line(LineLevel level) { return LogLine(*this, level); }

private:
    friend class LogLine;
    void writeBanner(const char* word, bool dashesFirst);

    mutable std::recursive_mutex mutex_;
    std::ofstream file_;
    LogLevel fileThreshold_ = LogLevel::Info;
    LogLevel consoleThreshold_ = LogLevel::Warning;
    int currentLevel_ = static_cast<int>(LineLevel::Info);
    std::ostream* console_;
    std::ostream* errors_;
};

// The one logger of the process.
Logger& logger();

inline LogLine logTrace() { return logger().line(LineLevel::Trace); }
inline LogLine logDebug() { return logger().line(LineLevel::Debug); }
inline LogLine logInfo() { return logger().line(LineLevel::Info); }
inline LogLine logWarning() { return logger().line(LineLevel::Warning); }
inline LogLine logError() { return logger().line(LineLevel::Error); }
inline LogLine logFatal() { return logger().line(LineLevel::Fatal); }

}  // namespace qcl

#include "common/Logger.h"

#include <ctime>
#include <iomanip>
#include <iostream>
#include <locale>
#include <sstream>

#include "common/Stopwatch.h"

namespace qcl {
namespace {

const char* const kLineLevelNames[] = {"Trace", "Debug", "Info", "Warning", "Error", "Fatal"};

// Banner time stamp: month/day/two-digit year and 24-hour time, as in 12/05/26 20:07:37 (the
// classic-locale "%c" form of the platform the log files come from; glibc's "%c" differs).
constexpr const char* kBannerTimeFormat = "%m/%d/%y %H:%M:%S";

// Local time in whole seconds.
std::string localTimeText() {
    const std::time_t seconds = static_cast<std::time_t>(Stopwatch::nowTicks() / 10000000);
    std::tm local{};
    localtime_r(&seconds, &local);
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::put_time(&local, kBannerTimeFormat);
    return text.str();
}

bool passes(LineLevel level, LogLevel threshold) {
    return static_cast<int>(level) >= static_cast<int>(threshold);
}

}  // namespace

const char* lineLevelName(LineLevel level) {
    const int index = static_cast<int>(level);
    return (index >= 0 && index <= 5) ? kLineLevelNames[index] : "";
}

LogLine::LogLine(Logger& logger, LineLevel level) : logger_(&logger), lock_(logger.mutex_) {
    logger.currentLevel_ = static_cast<int>(level);
    if (passes(level, logger.consoleThreshold_)) {
        console_ = logger.console_;
    }
    if (logger.file_.is_open() && passes(level, logger.fileThreshold_)) {
        file_ = &logger.file_;
    }
    *this << lineLevelName(level) << '\t';
}

LogLine::LogLine(LogLine&& other) noexcept
    : logger_(other.logger_),
      lock_(std::move(other.lock_)),
      console_(other.console_),
      file_(other.file_) {
    other.logger_ = nullptr;
    other.console_ = nullptr;
    other.file_ = nullptr;
}

LogLine::~LogLine() {
    if (logger_ == nullptr) {
        return;
    }
    if (console_ != nullptr) {
        *console_ << '\n';
        console_->flush();
    }
    if (file_ != nullptr && file_->good()) {
        *file_ << '\n';
        file_->flush();
    }
}

LogLine& LogLine::operator<<(std::ostream& (*manipulator)(std::ostream&)) {
    if (console_ != nullptr) {
        manipulator(*console_);
    }
    if (file_ != nullptr && file_->good()) {
        manipulator(*file_);
    }
    return *this;
}

LogLine& LogLine::operator<<(std::ios_base& (*manipulator)(std::ios_base&)) {
    if (console_ != nullptr) {
        manipulator(*console_);
    }
    if (file_ != nullptr && file_->good()) {
        manipulator(*file_);
    }
    return *this;
}

Logger::Logger() : console_(&std::cout), errors_(&std::cerr) {}

Logger::~Logger() {
    stop();
}

void Logger::start(const std::string& fileName, LogLevel fileThreshold, LogLevel consoleThreshold) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    fileThreshold_ = fileThreshold;
    consoleThreshold_ = consoleThreshold;
    if (!file_.is_open() && !fileName.empty()) {
        file_.open(fileName, std::ios::out | std::ios::app);
    } else if (file_.is_open()) {
        // A second start must not reopen: report it like any other file that cannot be opened.
        *errors_ << "log file '" << fileName << "' cannot be opened for appending" << std::endl;
        return;
    }
    if (!file_.is_open()) {
        *errors_ << "log file '" << fileName << "' cannot be opened for appending" << std::endl;
        return;
    }
    writeBanner("Start", true);
}

void Logger::stop() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!file_.is_open()) {
        return;
    }
    writeBanner("Stop", false);
    file_.close();
}

void Logger::writeBanner(const char* word, bool dashesFirst) {
    const std::string dashes(80, '-');
    if (!file_.good()) {
        return;
    }
    if (dashesFirst) {
        file_ << dashes << '\n';
    }
    file_ << word << " logging on " << localTimeText() << '\n';
    if (!dashesFirst) {
        file_ << dashes << '\n';
    }
    file_.flush();
}

void Logger::setFileThreshold(LogLevel level) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    fileThreshold_ = level;
}

void Logger::setConsoleThreshold(LogLevel level) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    consoleThreshold_ = level;
}

LogLevel Logger::fileThreshold() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return fileThreshold_;
}
LogLevel Logger::consoleThreshold() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return consoleThreshold_;
}

void Logger::setConsoleStream(std::ostream* console) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    console_ = console;
}

void Logger::setErrorStream(std::ostream* errors) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    errors_ = errors;
}

Logger& logger() {
    static Logger instance;
    return instance;
}

}  // namespace qcl

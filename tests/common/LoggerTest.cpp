#include "common/Logger.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/Stage.h"
#include "support/LogCapture.h"

namespace qcl {
namespace {

namespace fs = std::filesystem;

// A logger of its own for each test, writing its console into a string.
struct LocalLogger {
    Logger logger;
    std::ostringstream console;
    std::ostringstream errors;
    LocalLogger() {
        logger.setConsoleStream(&console);
        logger.setErrorStream(&errors);
    }
};

// A log file path unique to this process and test; removed again at the end of the test.
class LogFile {
  public:
    explicit LogFile(const std::string& name)
        : path_(fs::path(testing::TempDir()) /
                ("quorview_" + std::to_string(::getpid()) + "_" + name + ".txt")) {
        fs::remove(path_);
    }
    ~LogFile() { fs::remove(path_); }
    std::string path() const { return path_.string(); }
    std::vector<std::string> lines() const {
        std::ifstream in(path_);
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);) {
            result.push_back(line);
        }
        return result;
    }

  private:
    fs::path path_;
};

const std::string kDashes(80, '-');

// "Start logging on 12/05/26 20:07:37" and the like.
bool isBanner(const std::string& line, const std::string& word) {
    static const std::regex stamp(R"( logging on \d\d/\d\d/\d\d \d\d:\d\d:\d\d)");
    return line.rfind(word, 0) == 0 && std::regex_match(line.substr(word.size()), stamp);
}

TEST(Logger, InitialThresholdsShowWarningsOnTheConsoleOnly) {
    LocalLogger local;
    EXPECT_EQ(local.logger.consoleThreshold(), LogLevel::Warning);
    EXPECT_EQ(local.logger.fileThreshold(), LogLevel::Info);
    local.logger.line(LineLevel::Warning) << "careful " << 42;
    local.logger.line(LineLevel::Info) << "hidden";
    EXPECT_EQ(local.console.str(), "Warning\tcareful 42\n");
}

TEST(Logger, LineIsLevelNameTabAndTheValuesInOrder) {
    LocalLogger local;
    local.logger.setConsoleThreshold(LogLevel::All);
    local.logger.line(LineLevel::Info) << "code " << CodeType::Color << ' ' << -7 << ' ' << 2.5
                                       << ' ' << ECCtype::High << ' ' << std::string("end");
    local.logger.line(LineLevel::Debug) << std::hex << 255;
    EXPECT_EQ(local.console.str(), "Info\tcode Color -7 2.5 High end\nDebug\tff\n");
}

TEST(Logger, ThresholdsOffAndAll) {
    LocalLogger local;
    local.logger.setConsoleThreshold(LogLevel::Off);
    {
        LogLine fatal = local.logger.line(LineLevel::Fatal);
        EXPECT_FALSE(fatal.enabled());
        fatal << "not shown";
    }
    EXPECT_EQ(local.console.str(), "");

    local.logger.setConsoleThreshold(LogLevel::All);
    {
        LogLine trace = local.logger.line(LineLevel::Trace);
        EXPECT_TRUE(trace.enabled());
        trace << "every line";
    }
    EXPECT_EQ(local.console.str(), "Trace\tevery line\n");
}

TEST(Logger, EachLevelNeedsToReachTheThreshold) {
    LocalLogger local;
    local.logger.setConsoleThreshold(LogLevel::Error);
    for (int level = 0; level <= 5; ++level) {
        local.logger.line(static_cast<LineLevel>(level)) << level;
    }
    EXPECT_EQ(local.console.str(), "Error\t4\nFatal\t5\n");
    EXPECT_STREQ(lineLevelName(LineLevel::Trace), "Trace");
    EXPECT_STREQ(lineLevelName(LineLevel::Warning), "Warning");
}

TEST(Logger, TwoRunsLeaveTwoBannerPairsInOrder) {
    LogFile file("runs");
    for (const char* text : {"first run", "second run"}) {
        LocalLogger local;
        local.logger.start(file.path(), LogLevel::Info, LogLevel::Off);
        local.logger.line(LineLevel::Info) << text;
        local.logger.line(LineLevel::Debug) << "below the file threshold";
        local.logger.stop();
        EXPECT_EQ(local.console.str(), "");  // banners and lines went to the file only
        EXPECT_EQ(local.errors.str(), "");
    }
    const std::vector<std::string> lines = file.lines();
    ASSERT_EQ(lines.size(), 10u);
    for (std::size_t run = 0; run < 2; ++run) {
        const std::size_t at = run * 5;
        EXPECT_EQ(lines[at], kDashes);
        EXPECT_TRUE(isBanner(lines[at + 1], "Start")) << lines[at + 1];
        EXPECT_EQ(lines[at + 2], run == 0 ? "Info\tfirst run" : "Info\tsecond run");
        EXPECT_TRUE(isBanner(lines[at + 3], "Stop")) << lines[at + 3];
        EXPECT_EQ(lines[at + 4], kDashes);
    }
}

TEST(Logger, EndOfTheLoggerWritesTheStopBanner) {
    LogFile file("destructor");
    {
        LocalLogger local;
        local.logger.start(file.path(), LogLevel::Warning, LogLevel::Warning);
        local.logger.line(LineLevel::Error) << "both";
        EXPECT_EQ(local.console.str(), "Error\tboth\n");
    }
    const std::vector<std::string> lines = file.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2], "Error\tboth");
    EXPECT_TRUE(isBanner(lines[3], "Stop")) << lines[3];
}

TEST(Logger, SecondStartReportsTheFileButTakesTheThresholds) {
    LogFile file("twice");
    LocalLogger local;
    local.logger.start(file.path(), LogLevel::Info, LogLevel::Off);
    local.logger.start(file.path(), LogLevel::Error, LogLevel::Debug);
    EXPECT_EQ(local.errors.str(),
              "log file '" + file.path() + "' cannot be opened for appending\n");
    EXPECT_EQ(local.logger.fileThreshold(), LogLevel::Error);
    EXPECT_EQ(local.logger.consoleThreshold(), LogLevel::Debug);
    local.logger.line(LineLevel::Info) << "console only";
    local.logger.stop();
    EXPECT_EQ(local.console.str(), "Info\tconsole only\n");
    EXPECT_EQ(file.lines().size(), 4u);  // one banner pair, no line
}

TEST(Logger, UnopenableFilesAreReportedAndTheConsoleGoesOn) {
    const std::string missing =
        (fs::path(testing::TempDir()) / "quorview_no_such_dir" / "log.txt").string();
    for (const std::string& name : {std::string(), missing}) {
        LocalLogger local;
        local.logger.start(name, LogLevel::All, LogLevel::Info);
        EXPECT_EQ(local.errors.str(), "log file '" + name + "' cannot be opened for appending\n");
        local.logger.line(LineLevel::Info) << "still here";
        local.logger.line(LineLevel::Debug) << "filtered";
        local.logger.stop();
        EXPECT_EQ(local.console.str(), "Info\tstill here\n");
    }
    EXPECT_FALSE(fs::exists(missing));
}

TEST(Logger, FileAndConsoleHaveSeparateThresholds) {
    LogFile file("separate");
    LocalLogger local;
    local.logger.start(file.path(), LogLevel::Debug, LogLevel::Error);
    local.logger.line(LineLevel::Trace) << "nowhere";
    local.logger.line(LineLevel::Debug) << "file";
    local.logger.line(LineLevel::Fatal) << "both";
    local.logger.setFileThreshold(LogLevel::Off);
    local.logger.line(LineLevel::Fatal) << "console";
    local.logger.stop();
    EXPECT_EQ(local.console.str(), "Fatal\tboth\nFatal\tconsole\n");
    const std::vector<std::string> lines = file.lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "Debug\tfile");
    EXPECT_EQ(lines[3], "Fatal\tboth");
}

TEST(Logger, LinesFromSeveralThreadsNeverInterleave) {
    LocalLogger local;
    local.logger.setConsoleThreshold(LogLevel::All);
    constexpr int kLines = 200;
    auto writer = [&](char tag) {
        for (int i = 0; i < kLines; ++i) {
            local.logger.line(LineLevel::Info) << tag << tag << ' ' << i << ' ' << tag;
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    std::istringstream text(local.console.str());
    const std::regex whole(R"(Info\t(aa \d+ a|bb \d+ b))");
    int count = 0;
    for (std::string line; std::getline(text, line); ++count) {
        EXPECT_TRUE(std::regex_match(line, whole)) << line;
    }
    EXPECT_EQ(count, 2 * kLines);
}

TEST(Logger, ProcessLoggerHelpersAndStageLines) {
    test::LogCapture log(LogLevel::Debug);
    logTrace() << "too fine";
    logDebug() << "debug";
    logInfo() << "info";
    logWarning() << "warning";
    logError() << "error";
    logFatal() << "fatal";
    logStage(StageFindRadialZebra);
    logStage(StageDecode);
    EXPECT_EQ(log.text(),
              "Debug\tdebug\nInfo\tinfo\nWarning\twarning\nError\terror\nFatal\tfatal\n"
              "Debug\t      findRadialZebra\nDebug\tdecode\n");
    EXPECT_STREQ(stageName(StageDecompress), "decompress");
    EXPECT_STREQ(stageName(11), "");
    EXPECT_STREQ(stageName(-1), "");
}

}  // namespace
}  // namespace qcl

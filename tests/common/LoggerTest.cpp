#include "common/Logger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "common/Stage.h"
#include "support/ProgramRunner.h"

namespace qcl {
namespace {

namespace fs = std::filesystem;

// A logger of its own for each test, its console and error stream written into strings.
struct LocalLogger {
    Logger logger;
    std::ostringstream console;
    std::ostringstream errors;
    LocalLogger() {
        logger.setConsoleStream(&console);
        logger.setErrorStream(&errors);
    }
};

// A file's banner pair around `lines`: "Start logging on 12/05/26 20:07:37" and the like.
std::string bannerPattern(const std::string& lines) {
    const std::string rule(80, '-');
    const std::string stamp = R"( logging on \d\d/\d\d/\d\d \d\d:\d\d:\d\d\n)";
    return rule + "\nStart" + stamp + lines + "Stop" + stamp + rule + "\n";
}

// A line passes a threshold when its level reaches it: Off lets nothing through, All everything.
TEST(Logger, ConsoleThresholds) {
    const std::pair<LogLevel, const char*> cases[] = {
        {LogLevel::Off, ""},
        {LogLevel::Error, "Error\t4\nFatal\t5\n"},
        {LogLevel::All, "Trace\t0\nDebug\t1\nInfo\t2\nWarning\t3\nError\t4\nFatal\t5\n"}};
    for (const auto& [threshold, expected] : cases) {
        SCOPED_TRACE(toString(threshold));
        LocalLogger local;
        local.logger.setConsoleThreshold(threshold);
        for (int level = 0; level <= 5; ++level) {
            LogLine line = local.logger.line(static_cast<LineLevel>(level));
            EXPECT_EQ(line.enabled(), level >= static_cast<int>(threshold));
            line << level;
        }
        EXPECT_EQ(local.console.str(), expected);
    }
}

// Banners and lines go to the file by its own threshold. The first run stops explicitly, the
// second by the end of its logger.
TEST(Logger, TwoRunsLeaveTwoBannerPairsInOrder) {
    const test::TempDir dir;
    const fs::path file = dir / "runs.txt";
    for (const std::string run : {"first", "second"}) {
        LocalLogger local;
        local.logger.start(file.string(), LogLevel::Debug, LogLevel::Error);
        local.logger.line(LineLevel::Trace) << "nowhere";
        local.logger.line(LineLevel::Debug) << run;
        local.logger.line(LineLevel::Fatal) << "both";
        local.logger.setFileThreshold(LogLevel::Off);
        local.logger.line(LineLevel::Fatal) << "console";
        if (run == "first") {
            local.logger.stop();
        }
        EXPECT_EQ(local.console.str(), "Fatal\tboth\nFatal\tconsole\n");
        EXPECT_EQ(local.errors.str(), "");
    }
    const std::regex expected(bannerPattern("Debug\tfirst\nFatal\tboth\n") +
                              bannerPattern("Debug\tsecond\nFatal\tboth\n"));
    EXPECT_TRUE(std::regex_match(dir.read("runs.txt"), expected)) << dir.read("runs.txt");
}

// An empty name, a missing directory and a file already open are all reported; the thresholds
// are taken and the console goes on.
TEST(Logger, UnopenableFilesAreReportedAndTheConsoleGoesOn) {
    const test::TempDir dir;
    const std::string file = (dir / "twice.txt").string();
    const std::string missing = (dir / "no_dir" / "log.txt").string();
    for (const std::string& name : {std::string(), missing, file}) {
        LocalLogger local;
        if (name == file) {
            local.logger.start(name, LogLevel::Info, LogLevel::Off);
        }
        local.logger.start(name, LogLevel::Error, LogLevel::Info);
        EXPECT_EQ(local.errors.str(), "log file '" + name + "' cannot be opened for appending\n");
        EXPECT_EQ(local.logger.fileThreshold(), LogLevel::Error);
        local.logger.line(LineLevel::Info) << "still here";
        local.logger.line(LineLevel::Debug) << "filtered";
        local.logger.stop();
        EXPECT_EQ(local.console.str(), "Info\tstill here\n");
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(std::regex_match(dir.read("twice.txt"), std::regex(bannerPattern(""))))
        << "one banner pair, no line";
}

}  // namespace
}  // namespace qcl

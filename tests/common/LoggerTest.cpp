#include "common/Logger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

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

// The lines of a file.
std::vector<std::string> fileLines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// "Start logging on 12/05/26 20:07:37" and the like.
bool isBanner(const std::string& line, const std::string& word) {
    static const std::regex stamp(R"( logging on \d\d/\d\d/\d\d \d\d:\d\d:\d\d)");
    return line.rfind(word, 0) == 0 && std::regex_match(line.substr(word.size()), stamp);
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
    const std::vector<std::string> lines = fileLines(file);
    ASSERT_EQ(lines.size(), 12u);
    for (std::size_t at : {0u, 6u}) {
        EXPECT_EQ(lines[at], std::string(80, '-'));
        EXPECT_TRUE(isBanner(lines[at + 1], "Start")) << lines[at + 1];
        EXPECT_EQ(lines[at + 2], at == 0 ? "Debug\tfirst" : "Debug\tsecond");
        EXPECT_EQ(lines[at + 3], "Fatal\tboth");
        EXPECT_TRUE(isBanner(lines[at + 4], "Stop")) << lines[at + 4];
        EXPECT_EQ(lines[at + 5], std::string(80, '-'));
    }
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
    EXPECT_EQ(fileLines(file).size(), 4u);  // one banner pair, no line
}

}  // namespace
}  // namespace qcl

// How the arguments choose the run: a lone image path, the options of the usage text, or the
// menu; and the checking of integer option values.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace qcl {
namespace {

TEST(CommandLineTest, NoArgumentRunsTheMenu) {
    EXPECT_EQ(parseCommandLine({}).mode, RunMode::Interactive);
}

TEST(CommandLineTest, SingleArgumentIsTheImagePathWhateverItLooksLike) {
    for (const std::string argument : {"code.png", "-v", "-r", "-c"}) {
        const CommandLine line = parseCommandLine({argument});
        EXPECT_EQ(line.mode, RunMode::DecodeFile) << argument;
        EXPECT_EQ(line.imagePath, argument);
        EXPECT_FALSE(line.codeType);
    }
}

TEST(CommandLineTest, ReadOptionDecodesTheFileWithTheOtherOptions) {
    const CommandLine line =
        parseCommandLine({"-r", "code.png", "-c", "1", "-ll", "0", "-lc", "6", "-lf", "x.log"});
    EXPECT_EQ(line.mode, RunMode::DecodeFile);
    EXPECT_EQ(line.imagePath, "code.png");
    EXPECT_EQ(line.codeType, 1);
    EXPECT_EQ(line.logLevel, 0);
    EXPECT_EQ(line.logLevelConsole, 6);
    EXPECT_EQ(line.logFile, "x.log");
}

TEST(CommandLineTest, ViewOptionOpensTheCameraWhereverItStands) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"-v", "-lc", "1"}, {"-lc", "1", "-v"}, {"-c", "1", "-v", "-lf", "v.log"}}) {
        const CommandLine line = parseCommandLine(arguments);
        EXPECT_EQ(line.mode, RunMode::CameraView);
        EXPECT_TRUE(line.imagePath.empty());
    }
    EXPECT_EQ(parseCommandLine({"-v", "-lc", "1"}).logLevelConsole, 1);
}

TEST(CommandLineTest, ReadOptionWinsOverViewOption) {
    EXPECT_EQ(parseCommandLine({"-v", "-r", "a.png"}).mode, RunMode::DecodeFile);
}

TEST(CommandLineTest, FirstOccurrenceOfAnOptionWins) {
    const CommandLine line = parseCommandLine({"-r", "first.png", "-r", "second.png"});
    EXPECT_EQ(line.imagePath, "first.png");
    EXPECT_EQ(parseCommandLine({"-c", "1", "-c", "0", "-v"}).codeType, 1);
}

TEST(CommandLineTest, OptionsWithoutReadOrViewRunTheMenuWithThem) {
    const CommandLine line = parseCommandLine({"-ll", "1", "-lc", "2"});
    EXPECT_EQ(line.mode, RunMode::Interactive);
    EXPECT_EQ(line.logLevel, 1);
    EXPECT_EQ(line.logLevelConsole, 2);
}

TEST(CommandLineTest, ArgumentsThatAreNoOptionsRunThePlainMenu) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{{"code.png", "more.png"},
                                                                       {"-r", "code.png", "extra"},
                                                                       {"-x", "1"},
                                                                       {"-v", "-r"},
                                                                       {"-c", "1", "-ll"},
                                                                       {"-R", "code.png"}}) {
        const CommandLine line = parseCommandLine(arguments);
        EXPECT_EQ(line.mode, RunMode::Interactive) << arguments[0];
        EXPECT_FALSE(line.codeType);
        EXPECT_FALSE(line.logLevel);
        EXPECT_FALSE(line.logFile);
    }
}

TEST(CommandLineTest, IntegerOptionMustBeAWholeDecimalNumber) {
    for (const std::string value : {"abc", "1.5", "", " 1", "1 ", "0x1", "2147483648", "1e3"}) {
        try {
            parseCommandLine({"-ll", value, "-v"});
            ADD_FAILURE() << "accepted '" << value << "'";
        } catch (const BadOption& e) {
            EXPECT_EQ(std::string(e.what()), "Option -ll must be an integer, but read: " + value);
        }
    }
}

TEST(CommandLineTest, IntegerOptionOutsideItsValuesIsRefused) {
    EXPECT_THROW(parseCommandLine({"-c", "2", "-v"}), BadOption);
    EXPECT_THROW(parseCommandLine({"-c", "-1", "-v"}), BadOption);
    EXPECT_THROW(parseCommandLine({"-lc", "7", "-v"}), BadOption);
    EXPECT_EQ(parseCommandLine({"-lc", "+6", "-v"}).logLevelConsole, 6);
    try {
        parseCommandLine({"-r", "a.png", "-c", "5"});
        ADD_FAILURE();
    } catch (const BadOption& e) {
        EXPECT_EQ(std::string(e.what()), "Option -c must lie between 0 and 1, but read: 5");
    }
}

TEST(CommandLineTest, ParseIntegerCoversTheSigned32BitRange) {
    EXPECT_EQ(parseInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseInteger("-2147483648"), -2147483647 - 1);
    EXPECT_FALSE(parseInteger("-2147483649"));
    EXPECT_FALSE(parseInteger("12abc"));
    EXPECT_FALSE(parseInteger("-"));
}

}  // namespace
}  // namespace qcl

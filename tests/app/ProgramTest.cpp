// The real Quorview program run as a child process: command-line decoding and its options, the
// menu through standard input, and the settings file's edge cases.
#include <gtest/gtest.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>

#include "support/ProgramRunner.h"
#include "support/RoundTrip.h"

namespace qcl {
namespace {

using test::contains;
using test::occurrences;
using test::ProgramResult;
using test::TempDir;

class ProgramTest : public ::testing::Test {
  protected:
    ProgramResult run(const std::vector<std::string>& arguments, const std::string& input = "") {
        return test::runProgram(dir_.path(), arguments, input);
    }
    TempDir dir_;
};

TEST_F(ProgramTest, UnreadableFileIsLoggedAndTimedWhateverTheSettingsSay) {
    // The settings' log thresholds and file do not reach command-line mode.
    dir_.write("decoder_settings.json",
               "{ \"logLevel\": \"All\", \"logLevelConsole\": \"All\", "
               "\"logFileName\": \"other.txt\" }");
    const ProgramResult result = run({"missing.png"});
    ASSERT_EQ(result.exitCode, 0);
    const std::string& out = result.output;
    EXPECT_EQ(out.rfind("Quorview - Quorel Code Reader 1.26.34\n\nDecode Quorel Codes\n\n"
                        "Read quorel code image file 'missing.png'\n\n",
                        0),
              0U)
        << out;
    EXPECT_TRUE(contains(out,
                         "\nError\tImage file 'missing.png' cannot be read: it is missing, "
                         "unreadable or not an image\n"))
        << out;
    EXPECT_EQ(result.errors, "") << "no warning of the image library's own";
    EXPECT_FALSE(contains(out, "Encoded text is: ") || contains(out, "No data found") ||
                 contains(out, "-c 1"));
    EXPECT_FALSE(contains(out, "Decoding"));  // an Info line, below Warning
    const std::size_t ms = out.rfind(" ms\n");
    ASSERT_NE(ms, std::string::npos);
    EXPECT_EQ(out.find(" ns\n", ms) + 4, out.size());
    const std::string log = dir_.read("log.txt");
    EXPECT_TRUE(contains(log, "Start logging on ") && contains(log, "\nError\t")) << log;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "other.txt"));
}

TEST_F(ProgramTest, DecodesSymbolImageFilesWithTheOptionsGiven) {
    RenderOptions render;
    render.diameter = 400;
    render.imageSize = cv::Size(480, 480);
    writer::SymbolOptions colour;
    colour.codeType = CodeType::Color;
    cv::imwrite((dir_ / "plain.png").string(), test::writeSymbol("Hello Quorel", {}, render).image);
    cv::imwrite((dir_ / "colour.png").string(),
                test::writeSymbol("Colourful", colour, render).image);
    const ProgramResult plain = run({"plain.png"});
    ASSERT_EQ(plain.exitCode, 0);
    EXPECT_TRUE(contains(plain.output, "'plain.png'\n\nEncoded text is: Hello Quorel\n"))
        << plain.output;
    // The default code type fails on the colour symbol and says how to read it.
    const ProgramResult hinted = run({"colour.png"});
    EXPECT_TRUE(contains(hinted.output,
                         "\nThe image looks like a colour symbol: -c 1 reads "
                         "colour symbols (-r FILE -c 1)\n"))
        << hinted.output;
    EXPECT_FALSE(contains(hinted.output, "Encoded text is: "));
    // Colour code type, Info on the console and a log file of its own.
    const ProgramResult options = run({"-r", "colour.png", "-c", "1", "-lc", "2", "-lf", "x.log"});
    ASSERT_EQ(options.exitCode, 0);
    EXPECT_TRUE(contains(options.output, "Info\tDecoding\n")) << options.output;
    EXPECT_TRUE(contains(options.output, "\nEncoded text is: Colourful\n"));
    EXPECT_TRUE(contains(dir_.read("x.log"), "Start logging on "));
}

TEST_F(ProgramTest, BadIntegerOptionEndsTheRunWithItsMessage) {
    const ProgramResult result = run({"-r", "a.png", "-ll", "high"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_TRUE(contains(result.errors, "Option -ll must be an integer, but read: high\n"))
        << result.errors;
    EXPECT_FALSE(contains(result.output, "Read quorel code image file"));
}

TEST_F(ProgramTest, WithoutArgumentsTheMenuRunsAndItsChangesAreSavedOnExit) {
    const ProgramResult result = run({}, "c\n1\np\nclip \"%03d\".png\nm\n-1\nl\n4\nx\n");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.output,
                         "\nWarning\tSettings not found!\n\n"
                         "Usage: Present an image of an Quorel Code to the camera and\n"
                         "move the code center to the center of the camera view\n"
                         "until the code is recognized and the result is displayed in the "
                         "console window.\n"
                         "Quit the video window by pressing ESC inside of the video window.\n\n"
                         "Available camera devices are: \n"))
        << result.output;
    EXPECT_TRUE(contains(result.output, "-----------------Menu-----------------\n"));
    // At level Error the Info line of the saving no longer shows.
    EXPECT_FALSE(contains(result.output, "Settings have been saved."));
    const std::string json = dir_.read("decoder_settings.json");
    for (const char* member : {"\"logLevelConsole\": \"Error\"", "\"codeType\": \"Color\"",
                               "\"mode\": -1", "\"launch\": \"clip \\\"%03d\\\".png\""}) {
        EXPECT_TRUE(contains(json, member)) << member << " in " << json;
    }
}

TEST_F(ProgramTest, UnopenableCameraAndUnwritableDirectoryStillEndWithZero) {
    // Root may write into any directory, but never create files in /proc.
    std::filesystem::path where = dir_.path();
    if (::geteuid() == 0) {
        where = "/proc";
    } else {
        std::filesystem::permissions(
            where, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    const ProgramResult result = test::runProgram(
        where, {}, "p\n/nonexistent/frame%03d.png\ns\nx\n", test::captureEnvironment());
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.errors,
                         "Couldn't open camera '/nonexistent/frame%03d.png' with backend 0\n"))
        << result.errors;
    EXPECT_FALSE(contains(result.output, "Modification Options"));
    // First menu, after "p", after "s" and after the line end behind "s".
    EXPECT_EQ(occurrences(result.output, "-----Menu-----"), 3);
    EXPECT_TRUE(contains(result.output,
                         "Error\tSettings file cannot be opened for writing!\n"
                         "Warning\tSettings have not been saved.\n"))
        << result.output;
    EXPECT_TRUE(contains(result.errors, "log file 'log.txt' cannot be opened for appending"));
}

}  // namespace
}  // namespace qcl

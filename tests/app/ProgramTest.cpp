// The real Quorview program run as a child process: start-up, command-line decoding, options,
// the menu through standard input, and the settings file's edge cases.
#include <gtest/gtest.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>

#include "ProgramRunner.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

namespace qcl {
namespace {

using test::ProgramResult;
using test::RunningProgram;
using test::runProgram;
using test::TempDir;

const std::string kBanner = "Quorview - Quorel Code Reader 1.26.34\n\nDecode Quorel Codes\n\n";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A black-and-white symbol carrying `text`, drawn on a white square image.
cv::Mat symbolImage(const std::string& text, CodeType codeType = CodeType::BlackAndWhite) {
    writer::SymbolOptions options;
    options.codeType = codeType;
    const writer::SymbolContent content = writer::encodeSymbol(text, options);
    RenderOptions render;
    render.diameter = 400;
    render.imageSize = cv::Size(480, 480);
    const SymbolRenderer renderer(content.modulesPerRing, content.ringCount, content.codeType,
                                  render);
    return renderer.render(content.modules);
}

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(test::quorviewBinary())) << test::quorviewBinary();
    }
    ProgramResult run(const std::vector<std::string>& arguments, const std::string& input = "") {
        return runProgram(dir_.path(), arguments, input);
    }
    TempDir dir_;
};

TEST_F(ProgramTest, UnreadableFileIsLoggedAndTimed) {
    const ProgramResult result = run({"missing.png"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output.rfind(kBanner + "Warning\tSettings not found!\n"
                                            "Read quorel code image file 'missing.png'\n\n",
                                  0),
              0U)
        << result.output;
    EXPECT_TRUE(contains(result.output, "\nError\t")) << result.output;
    EXPECT_FALSE(contains(result.output, "Encoded text is: "));
    EXPECT_FALSE(contains(result.output, "No data found"));
    EXPECT_FALSE(contains(result.output, "Decoding"));  // an Info line, below Warning
    // The last two lines are the milliseconds and the nanoseconds.
    const std::size_t ms = result.output.rfind(" ms\n");
    const std::size_t ns = result.output.rfind(" ns\n");
    ASSERT_NE(ms, std::string::npos);
    ASSERT_NE(ns, std::string::npos);
    EXPECT_EQ(ns + 4, result.output.size());
    EXPECT_LT(ms, ns);
    // The log file is "log.txt" and takes the Error line between its banners.
    const std::string log = dir_.read("log.txt");
    EXPECT_TRUE(contains(log, "Start logging on ")) << log;
    EXPECT_TRUE(contains(log, "\nError\t"));
    EXPECT_TRUE(contains(log, "Stop logging on "));
}

TEST_F(ProgramTest, SettingsFileLoggingDoesNotReachCommandLineMode) {
    dir_.write("decoder_settings.json",
               "{ \"logLevel\": \"All\", \"logLevelConsole\": \"All\", "
               "\"logFileName\": \"other.txt\" }");
    const ProgramResult result = run({"missing.png"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_FALSE(contains(result.output, "Decoding"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "other.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "log.txt"));
}

TEST_F(ProgramTest, DecodesASymbolImageFile) {
    cv::imwrite((dir_ / "hello.png").string(), symbolImage("Hello Quorel"));
    const ProgramResult result = run({"hello.png"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.output, "\nEncoded text is: Hello Quorel\n")) << result.output;
}

TEST_F(ProgramTest, ReadOptionDecodesWithTheCodeTypeOption) {
    cv::imwrite((dir_ / "colour.png").string(), symbolImage("Colourful", CodeType::Color));
    const ProgramResult result = run({"-r", "colour.png", "-c", "1", "-lc", "2"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.output, "Read quorel code image file 'colour.png'\n"));
    EXPECT_TRUE(contains(result.output, "Info\tDecoding\n")) << result.output;
    EXPECT_TRUE(contains(result.output, "\nEncoded text is: Colourful\n")) << result.output;
    EXPECT_FALSE(contains(result.output, "-----Menu-----"));
}

TEST_F(ProgramTest, ReadOptionWithoutColourFlagStillRunsCommandLineMode) {
    const ProgramResult result = run({"-r", "none.png", "-lf", "mine.log"});
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.output, "Read quorel code image file 'none.png'"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "mine.log"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "log.txt"));
}

TEST_F(ProgramTest, BadIntegerOptionEndsTheRunWithItsMessage) {
    const ProgramResult result = run({"-r", "a.png", "-ll", "high"});
    ASSERT_TRUE(result.exitCode);
    EXPECT_NE(*result.exitCode, 0);
    EXPECT_TRUE(contains(result.errors, "Option -ll must be an integer, but read: high\n"))
        << result.errors;
    EXPECT_FALSE(contains(result.output, "Read quorel code image file"));
}

TEST_F(ProgramTest, ArgumentsThatAreNoOptionsStartTheMenu) {
    const ProgramResult result = run({"a.png", "b.png"}, "x\n");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.output,
                         "\nUsage: Present an image of an Quorel Code to the camera and\n"
                         "move the code center to the center of the camera view\n"
                         "until the code is recognized and the result is displayed in the "
                         "console window.\n"
                         "Quit the video window by pressing ESC inside of the video window.\n\n"))
        << result.output;
    EXPECT_TRUE(contains(result.output, "Available camera devices are: \n"));
    EXPECT_TRUE(contains(result.output, "-----------------Menu-----------------\n"));
    EXPECT_TRUE(contains(result.output, "Info\tSettings have been saved.\n"));
    EXPECT_FALSE(contains(result.output, "Read quorel code image file"));
}

TEST_F(ProgramTest, MenuChangesEverySettingAndSavesThemOnExit) {
    const std::string input =
        "c\n1\nb\n200\nd\n2\np\nclip %03d.png\nw\n800\nh\n600\nm\n-1\no\n1\nl\n4\nx\n";
    const ProgramResult result = run({}, input);
    ASSERT_EQ(result.exitCode, 0);
    const std::string out = result.output;
    EXPECT_TRUE(contains(out, "c: code type          [Color]\n"));
    EXPECT_TRUE(contains(out, "b: set device backend [200]\n"));
    EXPECT_TRUE(contains(out, "d: set device number  [2]\n"));
    EXPECT_TRUE(contains(out, "p: set launch string  [clip %03d.png]\n"));
    EXPECT_TRUE(contains(out, "w: set frame width    [800]\n"));
    EXPECT_TRUE(contains(out, "h: set frame height   [600]\n"));
    EXPECT_TRUE(contains(out, "m: set device mode    [Default]\n"));
    EXPECT_TRUE(contains(out, "o: set output mode    [HexaLowerCase]\n"));
    EXPECT_TRUE(contains(out, "l: set logging level  [Error]\n"));
    // At level Error the Info line of the saving no longer shows.
    EXPECT_FALSE(contains(out, "Settings have been saved."));
    const std::string json = dir_.read("decoder_settings.json");
    for (const char* member :
         {"\"logLevel\": \"Error\"", "\"logLevelConsole\": \"Error\"", "\"codeType\": \"Color\"",
          "\"device\": 2", "\"mode\": -1", "\"width\": 800", "\"height\": 600", "\"backend\": 200",
          "\"launch\": \"clip %03d.png\"", "\"binFormat\": \"HexaLowerCase\"",
          "\"logFileName\": \"log.txt\""}) {
        EXPECT_TRUE(contains(json, member)) << member << " in " << json;
    }
}

TEST_F(ProgramTest, BadNumbersAreAskedAgain) {
    const ProgramResult result = run({}, "w\nabc\n-5\n640\nx\n");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(RunningProgram::occurrences(result.output, "Enter frame width (>= 0): "), 3);
    EXPECT_TRUE(contains(dir_.read("decoder_settings.json"), "\"width\": 640"));
}

TEST_F(ProgramTest, EndOfInputLeavesTheMenuWithoutSaving) {
    const ProgramResult result = run({}, "c\n1\n");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.output, "End of input: leaving without saving the settings."));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "decoder_settings.json"));
    const ProgramResult midPrompt = run({}, "h\nnot a number");
    ASSERT_EQ(midPrompt.exitCode, 0);
    // The bad answer was the last input: no second prompt, the menu is left.
    EXPECT_EQ(RunningProgram::occurrences(midPrompt.output, "Enter frame height"), 1);
    EXPECT_TRUE(contains(midPrompt.output, "End of input: leaving without saving"));
}

TEST_F(ProgramTest, SettingsFileWithOnlyCodeTypeShowsInTheMenu) {
    dir_.write("decoder_settings.json", "{ \"codeType\": \"Color\" }");
    const ProgramResult result = run({}, "x\n");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_FALSE(contains(result.output, "Settings not found!"));
    EXPECT_TRUE(contains(result.output, "c: code type          [Color]\n"));
    EXPECT_TRUE(contains(result.output, "m: set device mode    [0]\n"));
    EXPECT_TRUE(contains(result.output, "l: set logging level  [Info]\n"));
    // The empty log file name opens no log file.
    EXPECT_TRUE(contains(result.errors, "log file '' cannot be opened for appending"));
}

TEST_F(ProgramTest, MisspeltCodeTypeWarnsAtStartUp) {
    dir_.write("decoder_settings.json", "{ \"codeType\": \"color\" }");
    const ProgramResult result = run({}, "x\n");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.output, "Warning\tWrong CodeType: changed to BlackAndWhite\n"));
    EXPECT_TRUE(contains(result.output, "c: code type          [BlackAndWhite]\n"));
}

TEST_F(ProgramTest, LaunchStringWithBlanksAndQuotesSurvivesSaveAndRead) {
    const std::string launch = "filesrc location=\"my clip.avi\" ! decodebin ! appsink";
    ASSERT_EQ(run({}, "p\n" + launch + "\nm\n-1\nx\n").exitCode, 0);
    const ProgramResult again = run({}, "v\nx\n");
    ASSERT_EQ(again.exitCode, 0);
    EXPECT_TRUE(contains(again.output, "Current launch string: \"" + launch + "\"\n"))
        << again.output;
    EXPECT_TRUE(contains(again.output, "m: set device mode    [Default]\n"));
}

TEST_F(ProgramTest, UnwritableDirectoryStillEndsWithZero) {
    // Root may write into any directory, but never create files in /proc.
    TempDir readOnly;
    std::filesystem::path where = readOnly.path();
    if (::geteuid() == 0) {
        where = "/proc";
    } else {
        std::filesystem::permissions(
            where, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    }
    const ProgramResult result = runProgram(where, {}, "x\n");
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.output, "Error\tSettings file cannot be opened for writing!\n"))
        << result.output;
    EXPECT_TRUE(contains(result.output, "Warning\tSettings have not been saved.\n"));
    EXPECT_TRUE(contains(result.errors, "log file 'log.txt' cannot be opened for appending"));
}

TEST_F(ProgramTest, CameraThatCannotBeOpenedReturnsToTheMenu) {
    const ProgramResult result = test::runProgram(
        dir_.path(), {}, "p\n/nonexistent/frame%03d.png\ns\nx\n", test::captureEnvironment());
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_TRUE(contains(result.errors,
                         "Couldn't open camera '/nonexistent/frame%03d.png' with backend 0\n"))
        << result.errors;
    EXPECT_FALSE(contains(result.output, "Modification Options"));
    // First menu, after "p", after "s" and after the line end behind "s".
    EXPECT_EQ(RunningProgram::occurrences(result.output, "-----Menu-----"), 4);
}

}  // namespace
}  // namespace qcl

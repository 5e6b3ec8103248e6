// The console menu driven through in-memory streams: its lines, prompts, settings changes, help
// and usage texts, bad answers and the end of the input.
#include <gtest/gtest.h>

#include <sstream>

#include "ProgramRunner.h"
#include "app/ConsoleInput.h"
#include "app/Menu.h"
#include "common/Logger.h"
#include "support/LogCapture.h"

namespace qcl {
namespace {

using test::LogCapture;
using test::RunningProgram;
using test::TempDir;

class MenuTest : public ::testing::Test {
  protected:
    // Runs the menu on `input`; the settings file goes to the test's own directory.
    MenuExit run(const std::string& input) {
        in_.str(input);
        Menu menu(
            settings_, choices_, in_, out_, [this](Settings&) { ++cameraViews_; },
            (dir_ / kSettingsFileName).string());
        return menu.run();
    }
    std::string output() const { return out_.str(); }
    bool saved() const { return std::filesystem::exists(dir_ / kSettingsFileName); }

    TempDir dir_;
    LogCapture log_{LogLevel::Info};
    Settings settings_;
    ChoiceLists choices_ = makeChoiceLists();
    std::istringstream in_;
    std::ostringstream out_;
    int cameraViews_ = 0;
};

TEST_F(MenuTest, ShowsEveryLineWithTheSettingsValues) {
    settings_.codeType = CodeType::Color;
    settings_.backend = 700;
    settings_.device = 2;
    settings_.launch = "video.avi";
    settings_.width = 640;
    settings_.height = 480;
    settings_.mode = 3;
    settings_.binFormat = BinaryFormat::HexaLowerCase;
    settings_.logLevel = LogLevel::Error;
    EXPECT_EQ(run("x"), MenuExit::Saved);
    EXPECT_EQ(output(),
              "\n"
              "-----------------Menu-----------------\n"
              "s: start camera\n"
              "i: help\n"
              "c: code type          [Color]\n"
              "b: set device backend [700]\n"
              "d: set device number  [2]\n"
              "p: set launch string  [video.avi]\n"
              "w: set frame width    [640]\n"
              "h: set frame height   [480]\n"
              "m: set device mode    [3]\n"
              "o: set output mode    [HexaLowerCase]\n"
              "l: set logging level  [Error]\n"
              "u: show command line parameters\n"
              "v: show full launch string\n"
              "x: exit and save settings\n"
              "--------------------------------------\n");
    EXPECT_TRUE(saved());
    EXPECT_NE(log_.text().find("Info\tSettings have been saved."), std::string::npos);
}

TEST_F(MenuTest, LineEndAfterACommandOnlyShowsTheMenuAgain) {
    run("\nq \nx\n");
    EXPECT_EQ(RunningProgram::occurrences(output(), "-----Menu-----"), 5);
}

TEST_F(MenuTest, CodeTypeAcceptsOnlyItsRange) {
    run("c\n2\n-1\n1\nx\n");
    const std::string prompt = "Enter code type (0: BlackAndWhite, 1: Color) [0..1]: ";
    EXPECT_EQ(RunningProgram::occurrences(output(), prompt), 3);
    EXPECT_EQ(settings_.codeType, CodeType::Color);
    EXPECT_NE(output().find("c: code type          [Color]"), std::string::npos);
}

TEST_F(MenuTest, NonNumericAnswerIsDiscardedAndAskedAgain) {
    run("w\nwide\n12c\n1\n");
    // "wide" is dropped with its line; 12 is taken, and the "c" behind it is the next command.
    EXPECT_EQ(RunningProgram::occurrences(output(), "Enter frame width (>= 0): "), 2);
    EXPECT_EQ(settings_.width, 12);
    EXPECT_EQ(RunningProgram::occurrences(output(), "Enter code type"), 1);
    EXPECT_EQ(settings_.codeType, CodeType::Color);
}

TEST_F(MenuTest, NumberTooLargeForAnIntegerIsDiscarded) {
    run("h\n99999999999\n480\nx\n");
    EXPECT_EQ(RunningProgram::occurrences(output(), "Enter frame height (>= 0): "), 2);
    EXPECT_EQ(settings_.height, 480);
}

TEST_F(MenuTest, EveryNumberSettingIsChangedByItsCommand) {
    run("b\n1400\nd\n3\nw\n1280\nh\n720\no\n2\nx\n");
    EXPECT_EQ(settings_.backend, 1400);
    EXPECT_EQ(settings_.device, 3);
    EXPECT_EQ(settings_.width, 1280);
    EXPECT_EQ(settings_.height, 720);
    EXPECT_EQ(settings_.binFormat, BinaryFormat::HexaUpperCase);
    const std::string out = output();
    EXPECT_NE(out.find("Enter camera backend (>= 0): "), std::string::npos);
    EXPECT_NE(out.find("Enter camera device number (>= 0): "), std::string::npos);
    EXPECT_NE(out.find("Enter frame height (>= 0): "), std::string::npos);
    EXPECT_NE(out.find("Enter binary output format (0: Binary, 1: HexaLowerCase, "
                       "2: HexaUpperCase) [0..2]: "),
              std::string::npos);
    EXPECT_NE(out.find("o: set output mode    [HexaUpperCase]"), std::string::npos);
}

TEST_F(MenuTest, ModeAcceptsMinusOneAsDefault) {
    settings_.mode = 2;
    run("m\n-2\n-1\nx\n");
    EXPECT_EQ(RunningProgram::occurrences(output(), "Enter camera mode: "), 2);
    EXPECT_EQ(settings_.mode, -1);
    EXPECT_NE(output().find("m: set device mode    [Default]"), std::string::npos);
}

TEST_F(MenuTest, LogLevelSetsBothThresholdsAndTheLogger) {
    run("l\n7\n0\nx\n");
    EXPECT_EQ(RunningProgram::occurrences(
                  output(),
                  "Enter log level (0: All, 1: Debug, 2: Info, 3: Warning, 4: Error, 5: Fatal, "
                  "6: Off) [0..6]: "),
              2);
    EXPECT_EQ(settings_.logLevel, LogLevel::All);
    EXPECT_EQ(settings_.logLevelConsole, LogLevel::All);
    EXPECT_EQ(logger().consoleThreshold(), LogLevel::All);
    EXPECT_EQ(logger().fileThreshold(), LogLevel::All);
    EXPECT_NE(output().find("l: set logging level  [All]"), std::string::npos);
}

TEST_F(MenuTest, LongLaunchStringIsShortenedAndShownWholeOnRequest) {
    const std::string launch(60, 'L');
    run("p\n" + launch + "\nv\nx\n");
    EXPECT_EQ(settings_.launch, launch);
    EXPECT_NE(output().find("Enter camera launch string: "), std::string::npos);
    EXPECT_NE(output().find("p: set launch string  [" + launch.substr(0, 47) + "...]\n"),
              std::string::npos);
    EXPECT_NE(output().find("Current launch string: \"" + launch + "\"\n"), std::string::npos);
}

TEST_F(MenuTest, LaunchStringOfFiftyCharactersIsShownWhole) {
    EXPECT_EQ(shortLaunchString(std::string(50, 'a')), std::string(50, 'a'));
    EXPECT_EQ(shortLaunchString(std::string(51, 'a')), std::string(47, 'a') + "...");
}

TEST_F(MenuTest, DeviceNumberEmptiesTheLaunchString) {
    settings_.launch = "rtsp://camera";
    run("d\n1\nx\n");
    EXPECT_EQ(settings_.launch, "");
    EXPECT_EQ(settings_.device, 1);
    EXPECT_NE(output().rfind("p: set launch string  []\n"), std::string::npos);
}

TEST_F(MenuTest, StartCommandRunsTheCameraViewAndComesBack) {
    run("s\ns\nx\n");
    EXPECT_EQ(cameraViews_, 2);
}

TEST_F(MenuTest, UsageTextListsTheOptions) {
    run("u\nx\n");
    EXPECT_NE(
        output().find("Usage of Quorview\n"
                      "-------------------------\n"
                      "  -r filename : read and decode an quorel code image file\n"
                      "  -c codetype : set code type (0: BlackAndWhite, 1: Color)\n"
                      "  -v          : view quorel code\n"
                      "  -ll logLevel: set log level to 0: All, 1: Debug, 2: Info, 3: Warning, "
                      "4: Error, 5: Fatal, 6: Off\n"
                      "  -lc logLevel: set console log level to 0: All, 1: Debug, 2: Info, "
                      "3: Warning, 4: Error, 5: Fatal, 6: Off\n"
                      "  -lf filename: set log file name\n"
                      "\n"),
        std::string::npos);
}

TEST_F(MenuTest, HelpTextHasItsLinesIndentsAndTabs) {
    run("i");
    const std::string out = output();
    const std::size_t begin = out.find("\nb - set camera backend\n");
    ASSERT_NE(begin, std::string::npos);
    const std::string last = "    Exit interactive mode and save settings.\n";
    const std::size_t end = out.find(last + "\n", begin);
    ASSERT_NE(end, std::string::npos);
    std::istringstream help(out.substr(begin + 1, end + last.size() - begin - 1));
    std::vector<std::string> lines;
    for (std::string line; std::getline(help, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 33U);  // the block's leading empty line is left out here
    EXPECT_EQ(lines[25], "u - show command line parameters\t");
    EXPECT_EQ(lines[31], "x - exit\t");
    for (const std::string& line : lines) {
        if (line[0] == ' ') {
            EXPECT_EQ(line.find_first_not_of(' '), 4U) << line;
        }
    }
    for (int example : {20, 21, 22}) {
        EXPECT_EQ(lines[example].substr(0, 5), "    \"");
        EXPECT_EQ(lines[example].back(), '"');
    }
    EXPECT_NE(lines[22].find("width=640,height=480"), std::string::npos);
    EXPECT_NE(lines[22].find("appsink"), std::string::npos);
}

TEST_F(MenuTest, EndOfInputLeavesWithoutSaving) {
    EXPECT_EQ(run("c\n1\n"), MenuExit::EndOfInput);
    EXPECT_FALSE(saved());
    EXPECT_NE(output().find("End of input: leaving without saving the settings."),
              std::string::npos);
}

TEST_F(MenuTest, EndOfInputAtANumberPromptLeavesInsteadOfAskingAgain) {
    EXPECT_EQ(run("b\n"), MenuExit::EndOfInput);
    EXPECT_EQ(RunningProgram::occurrences(output(), "Enter camera backend"), 1);
    EXPECT_EQ(run("w\nnot a number"), MenuExit::EndOfInput);
    EXPECT_EQ(run("p"), MenuExit::EndOfInput);
    EXPECT_FALSE(saved());
}

TEST(ConsoleInputTest, PromptsAreFilledLikePrintf) {
    std::istringstream in("5\n");
    std::ostringstream out;
    ConsoleInput input(in, out);
    EXPECT_EQ(input.readIntInRange("pick [%d..%d]: ", 9), 5);
    EXPECT_EQ(out.str(), "pick [0..9]: ");
}

TEST(ConsoleInputTest, ReadLineDropsOneCharacterFirst) {
    std::istringstream in("\n  two words \nrest");
    std::ostringstream out;
    ConsoleInput input(in, out);
    EXPECT_EQ(input.readLine("> "), "  two words ");
    EXPECT_EQ(input.readCommand(), 'r');
}

}  // namespace
}  // namespace qcl

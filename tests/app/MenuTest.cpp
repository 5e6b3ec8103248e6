// The console menu driven through in-memory streams: its lines, prompts, settings changes, help
// and usage texts, bad answers and the end of the input.
#include <gtest/gtest.h>

#include <sstream>

#include "app/Menu.h"
#include "common/Logger.h"
#include "support/LogCapture.h"
#include "support/ProgramRunner.h"

namespace qcl {
namespace {

using test::contains;
using test::occurrences;

class MenuTest : public ::testing::Test {
  protected:
    // Runs the menu on `input`; the settings file goes to the test's own directory.
    MenuExit run(const std::string& input) {
        std::istringstream in(input);
        out_.str("");
        Menu menu(
            settings_, choices_, in, out_, [this](Settings&) { ++cameraViews_; },
            (dir_ / kSettingsFileName).string());
        return menu.run();
    }
    std::string output() const { return out_.str(); }
    bool saved() const { return std::filesystem::exists(dir_ / kSettingsFileName); }

    test::TempDir dir_;
    test::LogCapture log_{LogLevel::Info};
    Settings settings_;
    ChoiceLists choices_ = makeChoiceLists();
    std::ostringstream out_;
    int cameraViews_ = 0;
};

TEST_F(MenuTest, StartRunsTheCameraViewAndLineEndsOnlyShowTheMenuAgain) {
    run("\nq \ns\ns\nx\n");
    EXPECT_EQ(cameraViews_, 2);
    // Once at the start and once after each command that did something; line ends are skipped.
    EXPECT_EQ(occurrences(output(), "-----Menu-----"), 3);
    EXPECT_EQ(occurrences(output(), "Unknown command 'q': the commands are s, i,"), 1);
}

TEST_F(MenuTest, CommandsAskUntilTheAnswerFitsAndTheMenuShowsEveryValue) {
    // Answers out of range, words and numbers too large for an integer are asked again.
    EXPECT_EQ(run("c\n2\n-1\n1\nb\n999\n700\nd\n2\np\nvideo.avi\nw\nwide\n-"
                  "5\n641\n640\nh\n99999999999\n480\n"
                  "m\n-2\n-1\no\n3\n1\nl\n7\n4\nx"),
              MenuExit::Saved);
    const std::pair<const char*, int> prompts[] = {
        {"Enter code type (0: BlackAndWhite, 1: Color) [0..1]: ", 3},
        {"Enter camera backend (>= 0): ", 2},
        {"Allowed backends: 0 (default), 700 (DirectShow), 1400 (Media Foundation), 200 (Video "
         "for Linux)\n",
         1},
        {"Allowed widths: 0 (the camera's own), 160, 176, 320, ", 3},
        {"Allowed: a whole number from 0 to 1\n", 2},
        {"Current value: BlackAndWhite\nEnter code type", 1},
        {"Enter camera device number (>= 0): ", 1},
        {"Enter camera launch string: ", 1},
        {"Enter frame width (>= 0): ", 4},
        {"Enter frame height (>= 0): ", 2},
        {"Enter camera mode: ", 2},
        {"Enter binary output format (0: Binary, 1: HexaLowerCase, 2: HexaUpperCase) [0..2]: ", 2},
        {"Enter log level (0: All, 1: Debug, 2: Info, 3: Warning, 4: Error, 5: Fatal, 6: Off) "
         "[0..6]: ",
         2}};
    for (const auto& [prompt, count] : prompts) {
        EXPECT_EQ(occurrences(output(), prompt), count) << prompt;
    }
    const std::string lastMenu =
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
        "m: set device mode    [Default]\n"
        "o: set output mode    [HexaLowerCase]\n"
        "l: set logging level  [Error]\n"
        "r: repeated output    [Every frame]\n"
        "u: show command line parameters\n"
        "v: show full launch string\n"
        "x: exit and save settings\n"
        "--------------------------------------\n";
    ASSERT_GE(output().size(), lastMenu.size());
    EXPECT_EQ(output().substr(output().size() - lastMenu.size()), lastMenu);
    EXPECT_TRUE(saved());
    // The log level is both thresholds, in the settings and in the logger at once.
    EXPECT_EQ(settings_.logLevelConsole, LogLevel::Error);
    EXPECT_EQ(logger().consoleThreshold(), LogLevel::Error);
    EXPECT_EQ(logger().fileThreshold(), LogLevel::Error);
}

TEST_F(MenuTest, LaunchStringIsShortenedForTheMenuAndEmptiedByTheDeviceNumber) {
    EXPECT_EQ(shortLaunchString(std::string(50, 'a')), std::string(50, 'a'));
    const std::string launch(60, 'L');
    run("p\n" + launch + "\nv\nd\n3\nx\n");
    EXPECT_TRUE(contains(output(), "p: set launch string  [" + launch.substr(0, 47) + "...]\n"));
    EXPECT_TRUE(contains(output(), "Current launch string: \"" + launch + "\"\n"));
    EXPECT_EQ(settings_.launch, "");
    EXPECT_TRUE(contains(output(), "d: set device number  [3]\np: set launch string  []\n"));
}

TEST_F(MenuTest, HelpAndUsageTextsHaveTheirLinesIndentsAndTabs) {
    run("i\nu\nx\n");
    const std::string out = output();
    const std::size_t begin = out.find("\nb - set camera backend\n") + 1;
    const std::size_t end = out.find("    Exit interactive mode and save settings.\n\n", begin);
    ASSERT_TRUE(begin != 0 && end != std::string::npos) << out;
    std::istringstream help(out.substr(begin, end - begin));
    std::vector<std::string> lines;
    for (std::string line; std::getline(help, line);) {
        lines.push_back(line);
        EXPECT_TRUE(line[0] != ' ' || line.find_first_not_of(' ') == 4U) << line;
    }
    ASSERT_EQ(lines.size(), 32U);  // the last line and the leading empty one are left out here
    EXPECT_EQ(lines[25], "u - show command line parameters\t");
    EXPECT_EQ(lines[31], "x - exit\t");
    EXPECT_TRUE(contains(out,
                         "Usage of Quorview\n-------------------------\n"
                         "  -r filename : read and decode an quorel code image file\n"
                         "  -c codetype : set code type (0: BlackAndWhite, 1: Color)\n"
                         "  -v          : view quorel code\n"
                         "  -ll logLevel: set log level to 0: All, 1: Debug, 2: Info, 3: Warning, "
                         "4: Error, 5: Fatal, 6: Off\n"
                         "  -lc logLevel: set console log level to 0: All, 1: Debug, 2: Info, "
                         "3: Warning, 4: Error, 5: Fatal, 6: Off\n"
                         "  -lf filename: set log file name\n\n"));
}

TEST_F(MenuTest, EndOfInputLeavesWithoutSavingAndWithoutAskingAgain) {
    for (const std::string input : {"c\n1\n", "b\n", "w\nnot a number", "p"}) {
        SCOPED_TRACE(input);
        EXPECT_EQ(run(input), MenuExit::EndOfInput);
        EXPECT_LE(occurrences(output(), "Enter "), 1);
        EXPECT_TRUE(contains(output(), "End of input: leaving without saving the settings."));
    }
    EXPECT_FALSE(saved());
}

}  // namespace
}  // namespace qcl

// The camera view of the real program in a real window on a private X display: frames come from
// an image sequence through the capture library, keys are pressed with xdotool.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <regex>

#include "VirtualDisplay.h"
#include "support/ProgramRunner.h"
#include "support/RoundTrip.h"

namespace qcl {
namespace {

using namespace std::chrono_literals;
using test::contains;
using test::occurrences;
using test::RunningProgram;

const std::string kMenuHeading = "-----------------Menu-----------------";

// A 640 x 480 camera frame showing a black-and-white symbol carrying `text` in its centre.
cv::Mat symbolFrame(const std::string& text) {
    RenderOptions render;
    render.diameter = 330;
    render.imageSize = cv::Size(640, 480);
    return test::writeSymbol(text, writer::SymbolOptions{}, render).image;
}

class CameraViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(display_.name().empty())
            << "no X display could be started: run scripts/install-deps.sh for Xvfb and xdotool";
    }

    // Starts the program on an image sequence of `count` copies of `frame` as its camera, opens
    // the view through the menu and finds its window.
    void open(const cv::Mat& frame, int count, int mode, const std::string& waitFor) {
        cv::imwrite((dir_ / "base.png").string(), frame);
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof(name), "frame%04d.png", i);
            std::filesystem::create_symlink("base.png", dir_ / name);
        }
        dir_.write("decoder_settings.json",
                   "{ \"logLevel\": \"Warning\", \"logLevelConsole\": \"Warning\", "
                   "\"logFileName\": \"log.txt\", \"launch\": \"frame%04d.png\", \"mode\": " +
                       std::to_string(mode) + " }");
        auto environment = test::captureEnvironment();
        environment.insert(environment.end(),
                           {"DISPLAY=" + display_.name(), "QT_QPA_PLATFORM=xcb"});
        program_ =
            std::make_unique<RunningProgram>(dir_.path(), std::vector<std::string>{}, environment);
        program_->send("s\n");
        ASSERT_TRUE(program_->waitForOutput(waitFor, 30s, waitFor == kMenuHeading ? 2 : 1))
            << program_->output() << program_->errors();
        if (waitFor != kMenuHeading) {
            window_ = display_.findWindow("Camera");
            ASSERT_FALSE(window_.empty()) << "no window \"Camera\" found with xdotool";
        }
    }

    // Presses a key in the view and waits for the console text it writes.
    void press(const std::string& key, const std::string& text, int count = 1) {
        ASSERT_TRUE(display_.pressKey(window_, key)) << key;
        EXPECT_TRUE(program_->waitForOutput(text, 10s, count))
            << "no '" << text << "' after key " << key;
    }

    // Leaves the menu with "x"; the program must end with exit code 0.
    void quit() {
        program_->send("x\n");
        EXPECT_EQ(program_->wait(), 0);
    }

    test::TempDir dir_;
    test::VirtualDisplay display_;
    std::unique_ptr<RunningProgram> program_;
    std::string window_;
};

TEST_F(CameraViewTest, KeysChangeTheViewAndEscapeTakesTheCodeTypeBackToTheMenu) {
    open(symbolFrame("Hello Camera"), 4000, -1, "Output:\tHello Camera");
    const std::string timed = program_->output();
    EXPECT_TRUE(
        std::regex_search(timed, std::regex("Output:\tHello Camera\t[0-9]+ ms, \t[0-9]+ fps\n")))
        << timed.substr(timed.find("Output:"), 200);
    press("t", "Output:\tHello Camera\n");
    // The binarised preview still decodes as black-and-white...
    press("b", "Output:\tHello Camera\n", occurrences(program_->output(), "Output:") + 3);
    // ...but a one-channel frame cannot be a colour code: every decode fails silently.
    press("c", "Set code type to Color\n");
    std::this_thread::sleep_for(1500ms);
    const std::string colour = program_->output();
    EXPECT_EQ(occurrences(colour.substr(colour.find("Set code type to Color\n")), "Output:"), 0);
    // The space bar takes the code type back to black-and-white: decoding resumes.
    press("space", "No Distortion, code type = BlackAndWhite\n");
    EXPECT_TRUE(
        program_->waitForOutput("Output:", 15s, occurrences(program_->output(), "Output:") + 1));
    press("c", "Set code type to Color\n", 2);
    press("Escape", kMenuHeading, 2);

    const std::string out = program_->output();
    const std::string menu = out.substr(out.rfind(kMenuHeading));
    EXPECT_TRUE(contains(menu, "c: code type          [Color]")) << menu;
    // The frame size that the capture delivers replaces the requested 0 x 0.
    EXPECT_TRUE(contains(menu, "w: set frame width    [640]\nh: set frame height   [480]"));
    quit();
    const std::string json = dir_.read("decoder_settings.json");
    EXPECT_TRUE(contains(json, "\"codeType\": \"Color\"") && contains(json, "\"width\": 640"))
        << json;
}

TEST_F(CameraViewTest, SequenceThatEndsLeavesTheViewWithAMessage) {
    // An image sequence knows no camera modes and sizes: both requests are refused.
    open(cv::Mat(480, 640, CV_8UC3, cv::Scalar(200, 200, 200)), 5, 0, kMenuHeading);
    EXPECT_TRUE(contains(program_->errors(), "camera delivered no frame")) << program_->errors();
    const std::string out = program_->output();
    EXPECT_TRUE(contains(out, "Warning\tCamera mode 0 not supported. Use default mode.\n"));
    // No size was asked for: nothing to warn about.
    EXPECT_FALSE(contains(out, "Frame size")) << out;
    EXPECT_TRUE(contains(out.substr(out.rfind(kMenuHeading)), "m: set device mode    [Default]"));
    quit();
}

// A square source is shown square, with the status lines below it; a start that asks for no
// mode and no size warns of nothing.
TEST_F(CameraViewTest, TheWindowShowsTheFrameAtItsOwnAspectWithTheStatusBelow) {
    RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    open(test::writeSymbol("Square", writer::SymbolOptions{}, render).image, 4000, -1,
         "Output:\tSquare");
    EXPECT_FALSE(contains(program_->output(), "Warning\t")) << program_->output();
    // The window takes the picture's size with the first picture shown, after the first read.
    cv::Size window;
    for (int i = 0; i < 200 && window.height <= 640; ++i) {
        std::this_thread::sleep_for(100ms);
        window = display_.windowSize(window_);
    }
    EXPECT_EQ(window.width, 640);
    EXPECT_GT(window.height, 640);
    EXPECT_LT(window.height, 700) << "two status lines";
    press("Escape", kMenuHeading, 2);
    quit();
}

}  // namespace
}  // namespace qcl

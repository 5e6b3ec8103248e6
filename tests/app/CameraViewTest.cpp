// The camera view of the real program in a real window on a private X display: frames come from
// an image sequence through the capture library, keys are pressed with xdotool.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <regex>

#include "ProgramRunner.h"
#include "VirtualDisplay.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

namespace qcl {
namespace {

using namespace std::chrono_literals;
using test::RunningProgram;
using test::TempDir;
using test::VirtualDisplay;

const std::string kOptionsHeading = "------------Modification Options------------";
const std::string kMenuHeading = "-----------------Menu-----------------";

// A 640 x 480 camera frame showing a black-and-white symbol carrying `text` in its centre.
cv::Mat symbolFrame(const std::string& text) {
    const writer::SymbolContent content = writer::encodeSymbol(text);
    RenderOptions render;
    render.diameter = 330;
    render.imageSize = cv::Size(380, 380);
    const SymbolRenderer renderer(content.modulesPerRing, content.ringCount, content.codeType,
                                  render);
    cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(255, 255, 255));
    renderer.render(content.modules).copyTo(frame(cv::Rect(130, 50, 380, 380)));
    return frame;
}

class CameraViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::onPath("Xvfb") || !test::onPath("xdotool")) {
            FAIL() << "Xvfb and xdotool are needed: run scripts/install-deps.sh";
        }
        display_ = std::make_unique<VirtualDisplay>();
        ASSERT_FALSE(display_->name().empty()) << "no X display could be started";
    }

    // An image sequence of `count` frames, all showing `frame`, named as the launch string says.
    void writeFrames(const cv::Mat& frame, int count, int mode = -1) {
        cv::imwrite((dir_ / "base.png").string(), frame);
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof(name), "frame%04d.png", i);
            std::filesystem::create_symlink("base.png", dir_ / name);
        }
        dir_.write("decoder_settings.json",
                   "{ \"logLevel\": \"Warning\", \"logLevelConsole\": \"Warning\", "
                   "\"logFileName\": \"log.txt\", \"codeType\": \"BlackAndWhite\", "
                   "\"launch\": \"frame%04d.png\", \"mode\": " +
                       std::to_string(mode) + " }");
    }

    std::unique_ptr<RunningProgram> start(const std::vector<std::string>& arguments = {}) {
        std::map<std::string, std::string> environment = test::captureEnvironment();
        environment["DISPLAY"] = display_->name();
        environment["QT_QPA_PLATFORM"] = "xcb";
        return std::make_unique<RunningProgram>(dir_.path(), arguments, environment);
    }

    // Presses a key in the view and waits for the console text it writes.
    void press(RunningProgram& program, const std::string& window, const std::string& key,
               const std::string& text, int count = 1) {
        ASSERT_TRUE(display_->pressKey(window, key)) << key;
        EXPECT_TRUE(program.waitForOutput(text, 10s, count))
            << "no '" << text << "' after key " << key << ":\n"
            << program.output().substr(
                   program.output().size() > 2000 ? program.output().size() - 2000 : 0);
    }

    TempDir dir_;
    std::unique_ptr<VirtualDisplay> display_;
};

TEST_F(CameraViewTest, KeysWriteTheirTextsAndEscapeReturnsToTheMenu) {
    cv::Mat plain(480, 640, CV_8UC3, cv::Scalar(255, 255, 255));
    cv::circle(plain, cv::Point(320, 240), 90, cv::Scalar(0, 0, 0), cv::FILLED);
    writeFrames(plain, 4000);
    const auto program = start();
    program->send("s\n");
    ASSERT_TRUE(program->waitForOutput(kOptionsHeading, 20s)) << program->errors();
    const std::string window = display_->findWindow("Camera");
    ASSERT_FALSE(window.empty());

    press(*program, window, "c", "Set code type to Color\n");
    press(*program, window, "2", "\n");  // nothing selected: no text, checked below
    press(*program, window, "n", "Noise [0,9]\n");
    press(*program, window, "2", "Noise Level: 2\n");
    press(*program, window, "h", kOptionsHeading, 2);
    press(*program, window, "space", "No Distortion, code type = BlackAndWhite\n");
    press(*program, window, "c", "Set code type to Color\n", 2);
    press(*program, window, "Escape", kMenuHeading, 2);

    const std::string out = program->output();
    EXPECT_EQ(RunningProgram::occurrences(out, "Level: "), 1);
    const std::string menu = out.substr(out.rfind(kMenuHeading));
    EXPECT_NE(menu.find("c: code type          [Color]"), std::string::npos) << menu;
    // The frame size that the capture delivers replaces the requested 0 x 0.
    EXPECT_NE(menu.find("w: set frame width    [640]"), std::string::npos);
    EXPECT_NE(menu.find("h: set frame height   [480]"), std::string::npos);

    program->send("x\n");
    program->closeInput();
    EXPECT_EQ(program->wait(20s), 0);
    const std::string json = dir_.read("decoder_settings.json");
    EXPECT_NE(json.find("\"codeType\": \"Color\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"width\": 640"), std::string::npos);
}

TEST_F(CameraViewTest, DecodedFramesWriteOutputLinesWithTimeAndFrameRate) {
    writeFrames(symbolFrame("Hello Camera"), 4000);
    const auto program = start();
    program->send("s\n");
    ASSERT_TRUE(program->waitForOutput("Output:\tHello Camera", 30s))
        << program->output().substr(0, 3000) << program->errors();
    const std::string window = display_->findWindow("Camera");
    ASSERT_FALSE(window.empty());
    const std::string out = program->output();
    const std::regex timed("Output:\tHello Camera\t[0-9]+ ms, \t[0-9]+ fps\n");
    EXPECT_TRUE(std::regex_search(out, timed)) << out.substr(out.find("Output:"), 200);

    press(*program, window, "t", "Output:\tHello Camera\n");
    press(*program, window, "x", kMenuHeading, 2);
    program->send("x\n");
    program->closeInput();
    EXPECT_EQ(program->wait(20s), 0);
}

TEST_F(CameraViewTest, BinarizedColourFramesDecodeNothingUntilBlackAndWhiteIsBack) {
    writeFrames(symbolFrame("Binary view"), 4000);
    const auto program = start();
    program->send("s\n");
    ASSERT_TRUE(program->waitForOutput("Output:\tBinary view", 30s)) << program->errors();
    const std::string window = display_->findWindow("Camera");
    ASSERT_FALSE(window.empty());
    const int before = RunningProgram::occurrences(program->output(), "Output:");
    // The binarised preview still decodes as black-and-white...
    press(*program, window, "b", "Output:\tBinary view", before + 3);
    // ...but a one-channel frame cannot be a colour code: every decode fails silently.
    press(*program, window, "c", "Set code type to Color\n");
    std::this_thread::sleep_for(1500ms);
    const std::string colour = program->output();
    const std::string afterToggle = colour.substr(colour.find("Set code type to Color\n"));
    EXPECT_EQ(RunningProgram::occurrences(afterToggle, "Output:"), 0);
    press(*program, window, "c", "Set code type to BlackAndWhite\n");
    const std::string back = "Set code type to BlackAndWhite\n";
    EXPECT_TRUE(program->waitForOutput(back, 5s));
    const auto resumed = [&] {
        const std::string out = program->output();
        return out.find("Output:", out.find(back)) != std::string::npos;
    };
    for (int wait = 0; wait < 300 && !resumed(); ++wait) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(resumed());
    press(*program, window, "Escape", kMenuHeading, 2);
    program->send("x\n");
    program->closeInput();
    EXPECT_EQ(program->wait(20s), 0);
}

TEST_F(CameraViewTest, SequenceThatEndsLeavesTheViewWithAMessage) {
    // An image sequence knows no camera modes and sizes: both requests are refused.
    writeFrames(cv::Mat(480, 640, CV_8UC3, cv::Scalar(200, 200, 200)), 5, 0);
    const auto program = start();
    program->send("s\n");
    ASSERT_TRUE(program->waitForOutput(kMenuHeading, 30s, 2)) << program->errors();
    EXPECT_NE(program->errors().find("camera delivered no frame"), std::string::npos)
        << program->errors();
    const std::string out = program->output();
    EXPECT_NE(out.find("Warning\tCamera mode 0 not supported. Use default mode.\n"),
              std::string::npos);
    EXPECT_NE(out.find("Warning\tFrame size 0 x 0 not supported. Use last valid size.\n"),
              std::string::npos);
    EXPECT_NE(out.substr(out.rfind(kMenuHeading)).find("m: set device mode    [Default]"),
              std::string::npos);
    program->send("x\n");
    program->closeInput();
    EXPECT_EQ(program->wait(20s), 0);
}

TEST_F(CameraViewTest, PortraitFrameEndsTheViewWithTheLibraryError) {
    writeFrames(cv::Mat(480, 100, CV_8UC3, cv::Scalar(255, 255, 255)), 50);
    const auto program = start();
    program->send("s\n");
    ASSERT_TRUE(program->waitForOutput(kMenuHeading, 30s, 2)) << program->errors();
    EXPECT_NE(program->errors().find("Error: OpenCV"), std::string::npos) << program->errors();
    program->send("x\n");
    program->closeInput();
    EXPECT_EQ(program->wait(20s), 0);
}

TEST_F(CameraViewTest, ViewOptionOpensTheCameraWithoutTheMenu) {
    writeFrames(symbolFrame("Direct"), 4000);
    const auto program = start({"-v", "-lc", "1"});
    program->closeInput();
    ASSERT_TRUE(program->waitForOutput(kOptionsHeading, 20s)) << program->errors();
    ASSERT_TRUE(program->waitForOutput("Debug\t", 20s));  // console threshold Debug
    const std::string window = display_->findWindow("Camera");
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(display_->pressKey(window, "Escape"));
    EXPECT_EQ(program->wait(20s), 0);
    EXPECT_EQ(program->output().find(kMenuHeading), std::string::npos);
}

}  // namespace
}  // namespace qcl

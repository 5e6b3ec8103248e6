// The camera view's keys and their console texts, the decoded square, the dimming outside the
// target circle, the status line and the frame rate.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <sstream>

#include "app/CameraView.h"

namespace qcl {
namespace {

std::string press(int key, ViewState& state) {
    std::ostringstream out;
    handleViewKey(key, state, out);
    return out.str();
}

TEST(ViewKeysTest, KeysWriteTheirTextsAndSetDistortionsCodeTypeAndFlags) {
    // The first "2" comes before any distortion is selected and does nothing; the flag keys
    // are silent.
    ViewState state;
    std::string text;
    for (const char key : std::string("2cn2p9a3beitvv")) {
        text += press(key, state);
    }
    EXPECT_EQ(text,
              "Set code type to Color\nNoise [0,9]\nNoise Level: 2\n"
              "Perspective Distortion [0,9]\nPerspective Distortion Level: 9\n"
              "Area Destruction [0,9]\nArea Destruction Level: 3\n");
    EXPECT_EQ(state.codeType, CodeType::Color);
    EXPECT_DOUBLE_EQ(state.levels.noise, 0.05);
    EXPECT_DOUBLE_EQ(state.levels.perspective, 0.45);
    EXPECT_DOUBLE_EQ(state.levels.areaDestruction, 0.03);
    EXPECT_TRUE(state.binarized && state.enhanced && state.inverted && state.output);
    EXPECT_FALSE(state.timing);

    EXPECT_EQ(press(' ', state), "No Distortion, code type = BlackAndWhite\n");
    EXPECT_EQ(state.codeType, CodeType::BlackAndWhite);
    EXPECT_EQ(state.selected, DistortionSelection::None);
    EXPECT_EQ(state.levels.noise + state.levels.perspective + state.levels.areaDestruction, 0.0);
    EXPECT_EQ(press('4', state), "");
    EXPECT_TRUE(state.binarized);               // the space bar leaves the flags alone
    state.codeType = static_cast<CodeType>(7);  // any other type toggles to black-and-white
    EXPECT_EQ(press('c', state), "Set code type to BlackAndWhite\n");
    EXPECT_EQ(press('f', state), "Decode the whole frame\n");
    EXPECT_TRUE(state.wholeFrame);
    EXPECT_EQ(press('f', state), "Decode the centre circle\n");
    EXPECT_FALSE(state.wholeFrame);
    for (const int key : {27, int('x'), -1, int('X'), int('q')}) {  // only Escape and x end it
        std::ostringstream ignored;
        EXPECT_EQ(handleViewKey(key, state, ignored), key != 27 && key != 'x') << key;
    }
}

TEST(ViewKeysTest, HelpKeyWritesTheModificationOptions) {
    ViewState state;
    const std::string text = press('h', state);
    EXPECT_EQ(text.rfind("\n------------Modification Options------------\n"
                         " : disable all distortions and set black and white code type\n"
                         "0..9: change distortion level\n",
                         0),
              0U);
    EXPECT_NE(text.find("x: stop camera\n--------------------------------------------\n"),
              std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 17);
}

TEST(ViewFrameTest, DecodedSquareIsCentredAndAsHighAsTheShorterSide) {
    const std::pair<cv::Size, cv::Rect> cases[] = {
        {{640, 480}, {80, 0, 480, 480}},
        {{1280, 720}, {280, 0, 720, 720}},
        {{100, 480}, {0, 190, 100, 100}},  // portrait: the square stays inside the frame
        {{1, 1}, {0, 0, 0, 0}},
    };
    for (const auto& [size, square] : cases) {
        EXPECT_EQ(decodeSquare(size), square) << size;
    }
}

TEST(ViewFrameTest, DimmingChangesOnlyPixelsOutsideTheCircle) {
    cv::Mat colour(480, 640, CV_8UC3, cv::Scalar(10, 64, 200));
    dimOutsideCircle(colour);
    const int r = 240;
    EXPECT_EQ(colour.at<cv::Vec3b>(240, 320 + r), cv::Vec3b(10, 64, 200));  // on the circle
    EXPECT_EQ(colour.at<cv::Vec3b>(240 - r, 320), cv::Vec3b(10, 64, 200));
    EXPECT_EQ(colour.at<cv::Vec3b>(240, 320 + r + 1), cv::Vec3b(8, 51, 51));
    EXPECT_EQ(colour.at<cv::Vec3b>(0, 0), cv::Vec3b(8, 51, 51));
    EXPECT_EQ(colour.at<cv::Vec3b>(479, 639), cv::Vec3b(8, 51, 51));

    cv::Mat grey(100, 100, CV_8UC1, cv::Scalar(0));
    dimOutsideCircle(grey);  // one channel: outside turns white
    EXPECT_EQ(grey.at<std::uint8_t>(0, 0), 255);
    EXPECT_EQ(grey.at<std::uint8_t>(50, 100 - 1), 0);
    EXPECT_EQ(grey.at<std::uint8_t>(1, 1), 255);
}

TEST(ViewStatusTest, StatusLineAndTruncatedAverageFrameRate) {
    ViewState state;
    state.codeType = CodeType::Color;
    state.binarized = true;
    EXPECT_EQ(statusText(state, 25),
              "25 fps | Color | Inverted: false | Binarized: true | Enhanced: false");
    EXPECT_EQ(averageFrameRate(59, 20000000), 29);
    EXPECT_EQ(averageFrameRate(1, 0), 0);  // no time passed yet: no division by zero
}

}  // namespace
}  // namespace qcl

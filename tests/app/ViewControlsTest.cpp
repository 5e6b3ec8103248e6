// The camera view's keys and their console texts, the decoded square, the dimming outside the
// target circle, the status line and the frame rate.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <sstream>

#include "app/CameraView.h"

namespace qcl {
namespace {

struct KeyResult {
    bool goOn;
    std::string text;
};

KeyResult press(int key, ViewState& state) {
    std::ostringstream out;
    const bool goOn = handleViewKey(key, state, out);
    return {goOn, out.str()};
}

TEST(ViewKeysTest, EscapeAndXEndTheView) {
    ViewState state;
    EXPECT_FALSE(press(27, state).goOn);
    EXPECT_FALSE(press('x', state).goOn);
    EXPECT_TRUE(press(-1, state).goOn);
    EXPECT_TRUE(press('X', state).goOn);
}

TEST(ViewKeysTest, CodeTypeToggles) {
    ViewState state;
    EXPECT_EQ(press('c', state).text, "Set code type to Color\n");
    EXPECT_EQ(state.codeType, CodeType::Color);
    EXPECT_EQ(press('c', state).text, "Set code type to BlackAndWhite\n");
    state.codeType = static_cast<CodeType>(7);
    press('c', state);
    EXPECT_EQ(state.codeType, CodeType::BlackAndWhite);
}

TEST(ViewKeysTest, DigitsSetTheSelectedDistortionOnly) {
    ViewState state;
    EXPECT_EQ(press('2', state).text, "");
    EXPECT_EQ(state.levels.noise, 0.0);

    EXPECT_EQ(press('n', state).text, "Noise [0,9]\n");
    EXPECT_EQ(press('2', state).text, "Noise Level: 2\n");
    EXPECT_DOUBLE_EQ(state.levels.noise, 0.05);

    EXPECT_EQ(press('p', state).text, "Perspective Distortion [0,9]\n");
    EXPECT_EQ(press('9', state).text, "Perspective Distortion Level: 9\n");
    EXPECT_DOUBLE_EQ(state.levels.perspective, 0.45);

    EXPECT_EQ(press('a', state).text, "Area Destruction [0,9]\n");
    EXPECT_EQ(press('3', state).text, "Area Destruction Level: 3\n");
    EXPECT_DOUBLE_EQ(state.levels.areaDestruction, 0.03);
    EXPECT_DOUBLE_EQ(state.levels.noise, 0.05);  // the others keep their levels

    EXPECT_EQ(press('0', state).text, "Area Destruction Level: 0\n");
    EXPECT_EQ(state.levels.areaDestruction, 0.0);
}

TEST(ViewKeysTest, SpaceClearsDistortionsAndCodeType) {
    ViewState state;
    press('c', state);
    press('n', state);
    press('5', state);
    EXPECT_EQ(press(' ', state).text, "No Distortion, code type = BlackAndWhite\n");
    EXPECT_EQ(state.codeType, CodeType::BlackAndWhite);
    EXPECT_EQ(state.selected, DistortionSelection::None);
    EXPECT_EQ(state.levels.noise, 0.0);
    EXPECT_EQ(press('4', state).text, "");
}

TEST(ViewKeysTest, FlagsToggleSilently) {
    ViewState state;
    for (const int key : {'b', 'e', 'i', 't', 'v'}) {
        EXPECT_EQ(press(key, state).text, "");
    }
    EXPECT_TRUE(state.binarized);
    EXPECT_TRUE(state.enhanced);
    EXPECT_TRUE(state.inverted);
    EXPECT_FALSE(state.timing);
    EXPECT_FALSE(state.output);
    press('t', state);
    EXPECT_TRUE(state.timing);
}

TEST(ViewKeysTest, HelpKeyWritesTheModificationOptions) {
    ViewState state;
    const std::string text = press('h', state).text;
    EXPECT_EQ(text.rfind("\n------------Modification Options------------\n"
                         " : disable all distortions and set black and white code type\n"
                         "0..9: change distortion level\n",
                         0),
              0U);
    EXPECT_NE(text.find("x: stop camera\n--------------------------------------------\n"),
              std::string::npos);
    std::ostringstream direct;
    writeModificationOptions(direct);
    EXPECT_EQ(text, direct.str());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 16);
}

TEST(ViewFrameTest, DecodedSquareOfAVgaFrame) {
    EXPECT_EQ(decodeSquare(cv::Size(640, 480)), cv::Rect(128, 48, 384, 384));
    EXPECT_EQ(decodeSquare(cv::Size(1280, 720)), cv::Rect(352, 72, 576, 576));
    EXPECT_EQ(decodeSquare(cv::Size(4, 2)).width, 0);
}

TEST(ViewFrameTest, DimmingChangesOnlyPixelsOutsideTheCircle) {
    cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(10, 64, 200));
    dimOutsideCircle(frame);
    const int r = 192;
    // On the circle and inside: unchanged. Just outside: dimmed.
    EXPECT_EQ(frame.at<cv::Vec3b>(240, 320 + r), cv::Vec3b(10, 64, 200));
    EXPECT_EQ(frame.at<cv::Vec3b>(240 - r, 320), cv::Vec3b(10, 64, 200));
    EXPECT_EQ(frame.at<cv::Vec3b>(240, 320 + r + 1), cv::Vec3b(8, 51, 51));
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 0), cv::Vec3b(8, 51, 51));
    EXPECT_EQ(frame.at<cv::Vec3b>(479, 639), cv::Vec3b(8, 51, 51));
}

TEST(ViewFrameTest, DimmingTurnsOneChannelPixelsWhite) {
    cv::Mat frame(100, 100, CV_8UC1, cv::Scalar(0));
    dimOutsideCircle(frame);
    EXPECT_EQ(frame.at<std::uint8_t>(0, 0), 255);
    EXPECT_EQ(frame.at<std::uint8_t>(50, 50), 0);
    EXPECT_EQ(frame.at<std::uint8_t>(50, 50 + 40), 0);
    EXPECT_EQ(frame.at<std::uint8_t>(50, 50 + 41), 255);
}

TEST(ViewFrameTest, DimmingValuesFollowTheRoundedFormula) {
    cv::Mat frame(1, 256, CV_8UC3);
    for (int c = 0; c < 256; ++c) {
        frame.at<cv::Vec3b>(0, c) = cv::Vec3b(c, c, c);
    }
    dimOutsideCircle(frame);  // a one-row frame has radius 0: only its centre pixel stays
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 1)[0], 1);    // 4 * 0.2 = 0.8
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 2)[0], 2);    // 1.6
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 63)[0], 50);  // 50.4
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 64)[0], 51);
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 255)[0], 51);
    EXPECT_EQ(frame.at<cv::Vec3b>(0, 128)[0], 128);  // the centre
}

TEST(ViewStatusTest, StatusLineNamesRateCodeTypeAndFlags) {
    ViewState state;
    state.codeType = CodeType::Color;
    state.binarized = true;
    EXPECT_EQ(statusText(state, 25),
              "25 fps | Color | Inverted: false | Binarized: true | Enhanced: false");
}

TEST(ViewStatusTest, FrameRateIsTheTruncatedAverage) {
    EXPECT_EQ(averageFrameRate(30, 10000000), 30);
    EXPECT_EQ(averageFrameRate(59, 20000000), 29);
    EXPECT_EQ(averageFrameRate(1, 0), 0);  // no time passed yet: no division by zero
}

}  // namespace
}  // namespace qcl

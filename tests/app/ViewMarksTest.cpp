// The camera view's marks of the symbols read and its choice of repeating unchanged payloads.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "app/ViewMarks.h"

namespace qcl {
namespace {

constexpr std::int64_t kSecond = 10000000;  // clock ticks

DecodedSymbol squareSymbol(const std::string& payload) {
    DecodedSymbol symbol;
    symbol.payload = payload;
    symbol.center = {100, 100};
    symbol.outline = {{60, 60}, {140, 60}, {140, 140}, {60, 140}};
    return symbol;
}

TEST(ViewMarksTest, OutlineAndTextAreDrawnWhileFreshAndOneChannelFramesTurnColour) {
    HeldMarks marks;
    marks.update({squareSymbol("Marked")}, kSecond);
    marks.update({}, 2 * kSecond);  // a frame without a read keeps the marks

    cv::Mat grey(200, 200, CV_8UC1, cv::Scalar(128));
    marks.draw(grey, kSecond + kSecond / 2);
    ASSERT_EQ(grey.channels(), 3);
    EXPECT_EQ(grey.at<cv::Vec3b>(100, 140), cv::Vec3b(0, 220, 0));  // on the outline
    EXPECT_EQ(grey.at<cv::Vec3b>(100, 100), cv::Vec3b(128, 128, 128));
    const cv::Mat above = grey(cv::Rect(60, 40, 80, 14));  // the text's black plate
    EXPECT_LT(cv::mean(above)[0], 100.0);

    cv::Mat late(200, 200, CV_8UC3, cv::Scalar(128, 128, 128));
    marks.draw(late, 3 * kSecond);  // more than the hold time after the read
    EXPECT_EQ(cv::countNonZero(late.reshape(1) != 128), 0);
}

TEST(ViewMarksTest, RepeatsArePrintedUnlessOnlyChangesAreWanted) {
    const std::vector<std::vector<std::string>> reads = {{"A"}, {"A"},      {"B"},
                                                         {"A"}, {"A", "B"}, {"A", "B"}};
    const std::pair<bool, std::vector<bool>> cases[] = {
        {false, {true, true, true, true, true, true}},
        {true, {true, false, true, true, true, false}},
    };
    for (const auto& [changesOnly, printed] : cases) {
        OutputRepeats repeats(changesOnly);
        for (std::size_t i = 0; i < reads.size(); ++i) {
            std::vector<DecodedSymbol> symbols;
            for (const std::string& payload : reads[i]) {
                symbols.push_back(squareSymbol(payload));
            }
            EXPECT_EQ(repeats.shouldPrint(symbols), printed[i]) << changesOnly << " read " << i;
        }
    }
}

}  // namespace
}  // namespace qcl

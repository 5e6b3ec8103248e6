// The camera view's status lines go below the picture, fitted to its width.
#include "app/StatusPanel.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <sstream>

#include "app/CameraView.h"

namespace qcl {
namespace {

// The words of some lines, the " | " separators left out.
std::vector<std::string> wordsOf(const std::vector<std::string>& lines) {
    std::vector<std::string> words;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        for (std::string word; in >> word;) {
            if (word != "|") {
                words.push_back(word);
            }
        }
    }
    return words;
}

TEST(StatusPanel, TheFrameStaysWholeAndEveryLineFitsItsWidth) {
    ViewState state;
    state.codeType = CodeType::Color;
    const std::vector<std::string> lines = {statusText(state, 1234), aimingText(state)};
    for (const int width : {160, 320, 480, 640, 1280}) {
        for (const int channels : {1, 3}) {
            cv::Mat frame(width * 3 / 4, width, CV_8UC(channels));
            cv::randu(frame, 0, 256);
            const cv::Mat picture = withStatusPanel(frame, lines);
            ASSERT_EQ(picture.type(), CV_8UC3);
            EXPECT_EQ(picture.cols, width);
            ASSERT_GT(picture.rows, frame.rows);
            cv::Mat expected = frame;
            if (channels == 1) {
                cv::cvtColor(frame, expected, cv::COLOR_GRAY2BGR);
            }
            EXPECT_EQ(cv::norm(picture.rowRange(0, frame.rows), expected, cv::NORM_INF), 0)
                << "nothing is drawn over the picture, " << width;
            EXPECT_GT(cv::countNonZero(picture.rowRange(frame.rows, picture.rows).reshape(1)), 0);

            const FittedLines fitted = fitLines(lines, width);
            EXPECT_EQ(wordsOf(fitted.lines), wordsOf(lines)) << "no word lost, " << width;
            for (const std::string& line : fitted.lines) {
                int baseline = 0;
                const cv::Size size =
                    cv::getTextSize(line, cv::FONT_HERSHEY_PLAIN, fitted.scale, 1, &baseline);
                EXPECT_LE(size.width, width - 10) << "'" << line << "' at " << width;
            }
        }
    }
    // A wide frame shows each line whole at the designed size.
    EXPECT_EQ(fitLines(lines, 1280).lines, lines);
    EXPECT_DOUBLE_EQ(fitLines(lines, 1280).scale, 1.0);
}

}  // namespace
}  // namespace qcl

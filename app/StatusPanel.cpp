#include "app/StatusPanel.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace qcl {
namespace {

constexpr int kFont = cv::FONT_HERSHEY_PLAIN;
// The status text's designed size, and the smallest that stays legible in a narrow frame.
constexpr double kLargestScale = 1.0;
constexpr double kSmallestScale = 0.7;
constexpr int kMargin = 5;  // pixels left and right of the text, and above the first line
constexpr int kLineGap = 6;

int textWidth(const std::string& text, double scale) {
    int baseline = 0;
    return cv::getTextSize(text, kFont, scale, 1, &baseline).width;
}

int lineHeight(double scale) {
    int baseline = 0;
    return cv::getTextSize("Ag", kFont, scale, 1, &baseline).height + baseline + kLineGap;
}

// The pieces a line may be broken into: its " | " parts, or else its words; each keeps the
// separator that followed it.
std::vector<std::string> piecesOf(const std::string& line) {
    const std::string separator = line.find(" | ") != std::string::npos ? " | " : " ";
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t at = line.find(separator); at != std::string::npos;
         at = line.find(separator, start)) {
        pieces.push_back(line.substr(start, at + separator.size() - start));
        start = at + separator.size();
    }
    pieces.push_back(line.substr(start));
    return pieces;
}

// Packs the pieces into as few lines as fit; a piece wider than the room stands alone.
void breakLine(const std::string& line, int room, double scale, std::vector<std::string>& out) {
    std::string current;
    for (const std::string& piece : piecesOf(line)) {
        if (!current.empty() && textWidth(current + piece, scale) > room) {
            out.push_back(current.substr(0, current.find_last_not_of(" |") + 1));
            current.clear();
        }
        current += piece;
    }
    out.push_back(current);
}

}  // namespace

FittedLines fitLines(const std::vector<std::string>& lines, int width) {
    const int room = std::max(1, width - 2 * kMargin);
    int widest = 1;
    for (const std::string& line : lines) {
        widest = std::max(widest, textWidth(line, kLargestScale));
    }
    FittedLines fitted;
    fitted.scale = std::clamp(kLargestScale * room / widest, kSmallestScale, kLargestScale);
    for (const std::string& line : lines) {
        breakLine(line, room, fitted.scale, fitted.lines);
    }
    return fitted;
}

cv::Mat withStatusPanel(const cv::Mat& frame, const std::vector<std::string>& lines) {
    const FittedLines fitted = fitLines(lines, frame.cols);
    const int step = lineHeight(fitted.scale);
    const int panelHeight = kMargin + step * static_cast<int>(fitted.lines.size());
    cv::Mat picture(frame.rows + panelHeight, frame.cols, CV_8UC3, cv::Scalar::all(0));
    cv::Mat top = picture.rowRange(0, frame.rows);
    if (frame.channels() == 1) {
        cv::cvtColor(frame, top, cv::COLOR_GRAY2BGR);
    } else {
        frame.copyTo(top);
    }
    int bottom = frame.rows + kMargin;  // of the line drawn last, descenders included
    for (const std::string& line : fitted.lines) {
        bottom += step;
        cv::putText(picture, line, cv::Point(kMargin, bottom - kLineGap), kFont, fitted.scale,
                    cv::Scalar(255, 255, 255), 1, cv::LINE_8);
    }
    return picture;
}

}  // namespace qcl

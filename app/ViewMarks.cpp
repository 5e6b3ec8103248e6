#include "app/ViewMarks.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace qcl {
namespace {

// Marks stay this long after the last frame that read (clock ticks of 100 ns: one second).
constexpr std::int64_t kHoldTicks = 10000000;
// Longer payloads are cut in the window; the console has them whole.
constexpr std::size_t kShownCharacters = 40;
// The status lines take the top of the frame; texts are kept below them.
constexpr int kTopOfMarks = 44;
const cv::Scalar kOutlineColour(0, 220, 0);
const cv::Scalar kTextColour(255, 255, 255);
const cv::Scalar kTextBackground(0, 0, 0);

std::string shownText(const std::string& payload) {
    std::string text = payload.size() <= kShownCharacters
                           ? payload
                           : payload.substr(0, kShownCharacters - 3) + "...";
    // The window's font has printable ASCII only.
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) {
            c = '?';
        }
    }
    return text;
}

void drawText(cv::Mat& frame, const std::string& text, cv::Point at) {
    const int font = cv::FONT_HERSHEY_SIMPLEX;
    const double scale = 0.6;
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, font, scale, 1, &baseline);
    at.x = std::clamp(at.x, 0, std::max(0, frame.cols - size.width));
    at.y = std::clamp(at.y, kTopOfMarks, std::max(kTopOfMarks, frame.rows - baseline));
    cv::rectangle(frame, at + cv::Point(-2, baseline),
                  at + cv::Point(size.width + 2, -size.height - 2), kTextBackground, cv::FILLED);
    cv::putText(frame, text, at, font, scale, kTextColour, 1, cv::LINE_AA);
}

}  // namespace

void drawSymbolMarks(cv::Mat& frame, const std::vector<DecodedSymbol>& symbols) {
    for (const DecodedSymbol& symbol : symbols) {
        std::vector<cv::Point> outline;
        for (const cv::Point2d& p : symbol.outline) {
            outline.emplace_back(cvRound(p.x), cvRound(p.y));
        }
        if (!outline.empty()) {
            cv::polylines(frame, outline, true, kOutlineColour, 2, cv::LINE_AA);
        }
        const cv::Rect box = outline.empty() ? cv::Rect(cv::Point(symbol.center), cv::Size())
                                             : cv::boundingRect(outline);
        drawText(frame, shownText(symbol.payload), cv::Point(box.x, box.y - 6));
    }
}

void HeldMarks::update(const std::vector<DecodedSymbol>& symbols, std::int64_t nowTicks) {
    if (!symbols.empty()) {
        symbols_ = symbols;
        readTicks_ = nowTicks;
    }
}

bool HeldMarks::holding(std::int64_t nowTicks) const {
    return !symbols_.empty() && nowTicks - readTicks_ <= kHoldTicks;
}

void HeldMarks::draw(cv::Mat& frame, std::int64_t nowTicks) const {
    if (!holding(nowTicks)) {
        return;
    }
    if (frame.channels() == 1) {
        cv::cvtColor(frame, frame, cv::COLOR_GRAY2BGR);
    }
    drawSymbolMarks(frame, symbols_);
}

bool OutputRepeats::shouldPrint(const std::vector<DecodedSymbol>& symbols) {
    std::string payloads;
    for (const DecodedSymbol& symbol : symbols) {
        payloads += symbol.payload;
        payloads += '\0';
    }
    if (changesOnly_ && payloads == last_) {
        return false;
    }
    last_ = payloads;
    return true;
}

}  // namespace qcl

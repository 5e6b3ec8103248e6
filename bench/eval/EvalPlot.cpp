#include "bench/eval/EvalPlot.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace qcl::eval {
namespace {

const cv::Size kPanel(420, 300);
constexpr int kColumns = 4;
constexpr int kLegendHeight = 60;
// Margins inside a panel around the plotting area: left, right, top, bottom.
constexpr int kLeft = 52, kRight = 14, kTop = 38, kBottom = 50;
constexpr int kFont = cv::FONT_HERSHEY_SIMPLEX;
constexpr double kSmallText = 0.38;
constexpr double kTitleText = 0.55;
// Length of a dash and of the gap after it on the QR lines, in pixels.
constexpr double kDash = 7.0;
// Vertical step between the lines of neighbouring widths, in pixels.
constexpr double kSeriesStep = 2.0;
// One colour per width, in the order the widths were asked for (BGR).
const cv::Scalar kWidthColours[] = {{180, 90, 20}, {40, 140, 230}, {60, 170, 60},
                                    {40, 40, 210}, {150, 80, 150}, {60, 120, 140}};
constexpr int kColourCount = sizeof(kWidthColours) / sizeof(kWidthColours[0]);
const cv::Scalar kInk(40, 40, 40);
// The plot is mostly white: the strongest compression keeps the file small for the README.
constexpr int kPngCompression = 9;
const cv::Scalar kGrid(225, 225, 225);

struct Series {
    int width = 0;
    std::vector<double> ours, qr;  // percent per level
};

struct Panel {
    const Family* family = nullptr;
    std::vector<Series> series;
};

double rate(int part, int whole) {
    return whole == 0 ? 0.0 : 100.0 * part / whole;
}

std::vector<Panel> panelsOf(const std::vector<Cell>& cells) {
    std::vector<Panel> panels;
    for (const Cell& cell : cells) {
        if (panels.empty() || panels.back().family != cell.family) {
            panels.push_back({cell.family, {}});
        }
        std::vector<Series>& series = panels.back().series;
        if (series.empty() || series.back().width != cell.width) {
            series.push_back({cell.width, {}, {}});
        }
        const Tally& t = cell.tally;
        const bool none = cell.family->count == SymbolCount::None;
        series.back().ours.push_back(rate(none ? t.ours.misreads : t.ours.reads, t.tries));
        series.back().qr.push_back(rate(none ? t.qr.misreads : t.qr.reads, t.tries));
    }
    return panels;
}

void dashedLine(cv::Mat& image, cv::Point2d a, cv::Point2d b, const cv::Scalar& colour) {
    const double length = cv::norm(b - a);
    for (double s = 0.0; s < length; s += 2.0 * kDash) {
        const double e = std::min(length, s + kDash);
        cv::line(image, a + (b - a) * (s / length), a + (b - a) * (e / length), colour, 1,
                 cv::LINE_AA);
    }
}

void centredText(cv::Mat& image, const std::string& text, cv::Point at, double scale) {
    int baseline = 0;
    const cv::Size size = cv::getTextSize(text, kFont, scale, 1, &baseline);
    cv::putText(image, text, at - cv::Point(size.width / 2, 0), kFont, scale, kInk, 1, cv::LINE_AA);
}

void drawAxes(cv::Mat& panel, const Family& family, const cv::Rect& area) {
    for (int p = 0; p <= 100; p += 25) {
        const int y = area.y + area.height - area.height * p / 100;
        cv::line(panel, {area.x, y}, {area.x + area.width, y}, kGrid, 1);
        cv::putText(panel, std::to_string(p), {area.x - 30, y + 4}, kFont, kSmallText, kInk, 1,
                    cv::LINE_AA);
    }
    cv::rectangle(panel, area, kInk, 1);
    cv::putText(panel, "%", {area.x - 20, area.y - 6}, kFont, kSmallText, kInk, 1, cv::LINE_AA);
    const std::size_t n = family.levels.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int x = area.x + static_cast<int>(area.width * (i + 0.5) / n);
        cv::line(panel, {x, area.y + area.height}, {x, area.y + area.height + 4}, kInk, 1);
        centredText(panel, cv::format("%g", family.levels[i]), {x, area.y + area.height + 16},
                    kSmallText);
    }
    centredText(panel, family.unit, {area.x + area.width / 2, area.y + area.height + 36},
                kSmallText);
    const bool none = family.count == SymbolCount::None;
    centredText(panel, family.name + (none ? ": false positives %" : ": decoded %"),
                {kPanel.width / 2, 20}, kTitleText);
}

// Lines of equal rates are drawn `shift` pixels apart (one step per width), so none hides another.
void drawSeries(cv::Mat& panel, const std::vector<double>& values, const cv::Rect& area,
                const cv::Scalar& colour, bool ours, double shift) {
    const std::size_t n = values.size();
    std::vector<cv::Point2d> points;
    for (std::size_t i = 0; i < n; ++i) {
        points.emplace_back(area.x + area.width * (i + 0.5) / n,
                            area.y + area.height * (1.0 - values[i] / 100.0) + shift);
    }
    for (std::size_t i = 0; i + 1 < n; ++i) {
        if (ours) {
            cv::line(panel, points[i], points[i + 1], colour, 2, cv::LINE_AA);
        } else {
            dashedLine(panel, points[i], points[i + 1], colour);
        }
    }
    for (const cv::Point2d& p : points) {
        if (ours) {
            cv::circle(panel, p, 4, colour, cv::FILLED, cv::LINE_AA);
        } else {
            cv::rectangle(panel, cv::Rect(cv::Point(p) - cv::Point(3, 3), cv::Size(7, 7)), colour,
                          1);
        }
    }
}

cv::Mat drawPanel(const Panel& info, const std::vector<int>& widths, bool qr) {
    cv::Mat panel(kPanel, CV_8UC3, cv::Scalar::all(255));
    const cv::Rect area(kLeft, kTop, kPanel.width - kLeft - kRight, kPanel.height - kTop - kBottom);
    drawAxes(panel, *info.family, area);
    for (const Series& s : info.series) {
        const auto at = std::find(widths.begin(), widths.end(), s.width) - widths.begin();
        const cv::Scalar colour = kWidthColours[at % kColourCount];
        const double shift = kSeriesStep * (at - (widths.size() - 1) / 2.0);
        if (qr) {
            drawSeries(panel, s.qr, area, colour, false, shift);
        }
        drawSeries(panel, s.ours, area, colour, true, shift);
    }
    return panel;
}

void drawLegend(cv::Mat& image, const std::vector<int>& widths, bool qr) {
    int x = 20;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        const cv::Scalar colour = kWidthColours[i % kColourCount];
        cv::line(image, {x, 24}, {x + 30, 24}, colour, 3, cv::LINE_AA);
        const std::string label = widths[i] == 0 ? "no symbol" : std::to_string(widths[i]) + " px";
        cv::putText(image, label, {x + 38, 29}, kFont, 0.5, kInk, 1, cv::LINE_AA);
        x += 140;
    }
    const std::string styles = qr ? "solid line, filled dots: Quorview    dashed line, open "
                                    "squares: QR (zxing-cpp) at the same width"
                                  : "solid line, filled dots: Quorview";
    cv::putText(image, styles, {20, 52}, kFont, 0.5, kInk, 1, cv::LINE_AA);
}

}  // namespace

bool writePlot(const std::string& path, const std::vector<Cell>& cells, bool qr) {
    const std::vector<Panel> panels = panelsOf(cells);
    std::vector<int> widths;
    for (const Cell& cell : cells) {
        if (std::find(widths.begin(), widths.end(), cell.width) == widths.end()) {
            widths.push_back(cell.width);
        }
    }
    const int rows = std::max<int>(1, (panels.size() + kColumns - 1) / kColumns);
    cv::Mat image(kLegendHeight + rows * kPanel.height, kColumns * kPanel.width, CV_8UC3,
                  cv::Scalar::all(255));
    drawLegend(image, widths, qr);
    for (std::size_t i = 0; i < panels.size(); ++i) {
        const cv::Point corner(static_cast<int>(i % kColumns) * kPanel.width,
                               kLegendHeight + static_cast<int>(i / kColumns) * kPanel.height);
        drawPanel(panels[i], widths, qr).copyTo(image(cv::Rect(corner, kPanel)));
    }
    try {
        return cv::imwrite(path, image, {cv::IMWRITE_PNG_COMPRESSION, kPngCompression});
    } catch (const cv::Exception&) {
        return false;
    }
}

}  // namespace qcl::eval

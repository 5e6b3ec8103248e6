#include "bench/eval/EvalScenes.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <numeric>
#include <string>

#include "bench/eval/EvalFamilies.h"

namespace qcl::eval {
namespace {

// Cell sides of the smoothed noise layers of a photo-like background, in pixels of a frame
// 640 pixels wide: grain, blotches, shading and slow light changes.
constexpr double kTextureCells[] = {3, 12, 48, 160};
// Mean grey of a photo-like background.
constexpr double kMidGrey = 128.0;
// Largest tint of one colour channel against the others, in grey levels.
constexpr int kMaxTint = 15;
// Dark shapes on a busy background: their size as a share of the frame's width, and their grey.
constexpr double kShapeMinShare = 0.02;
constexpr double kShapeMaxShare = 0.12;
constexpr int kShapeDarkest = 10;
constexpr int kShapeLightest = 70;
// Room kept between neighbouring symbols of a multi-symbol scene, as a share of their width.
constexpr double kMultiMargin = 0.25;
// The smallest paper of a multi-symbol scene.
const cv::Size kMultiPaper(1280, 960);
// The larger pictures: a camera frame, a photograph, and the no-symbol pictures' larger size.
const cv::Size kFrame1280(1280, 960);
const cv::Size kFrame4000(4000, 3000);
// The text and frame scenes of the colour-scene kinds, in kind order.
constexpr double kColourTextScales[] = {0.5, 0.8, 1.2, 1.8};
constexpr double kColourFrameSpreads[] = {10, 25, 40};
// Texture spread of the no-symbol textured pictures.
constexpr double kNoSymbolTexture = 40.0;

double zoomOf(cv::Size size) {
    return size.width / static_cast<double>(kCanvas.width);
}

void darkShapes(cv::Mat& image, cv::RNG& rng, int count) {
    const double zoom = zoomOf(image.size());
    for (int i = 0; i < count; ++i) {
        const cv::Point centre(rng.uniform(0, image.cols), rng.uniform(0, image.rows));
        const int size =
            static_cast<int>(kCanvas.width * zoom * rng.uniform(kShapeMinShare, kShapeMaxShare));
        const cv::Scalar grey = cv::Scalar::all(rng.uniform(kShapeDarkest, kShapeLightest));
        switch (rng.uniform(0, 3)) {
            case 0:
                cv::ellipse(image, centre, cv::Size(size, size / 2 + 1), rng.uniform(0, 180), 0,
                            360, grey, cv::FILLED, cv::LINE_AA);
                break;
            case 1: {
                const cv::RotatedRect box(centre, cv::Size2f(size, size * 0.6f),
                                          static_cast<float>(rng.uniform(0, 180)));
                cv::Point2f corners[4];
                box.points(corners);
                std::vector<cv::Point> polygon(corners, corners + 4);
                cv::fillConvexPoly(image, polygon, grey, cv::LINE_AA);
                break;
            }
            default:
                cv::line(image, centre,
                         centre + cv::Point(rng.uniform(-size, size), rng.uniform(-size, size)),
                         grey, std::max(2, size / 8), cv::LINE_AA);
        }
    }
}

// Smoothed noise at several scales around mid-grey, slightly tinted, with a few dark shapes.
cv::Mat photoBackground(cv::Size size, double amplitude, cv::RNG& rng) {
    const double zoom = zoomOf(size);
    cv::Mat sum(size, CV_32F, cv::Scalar(0));
    for (const double cell : kTextureCells) {
        const double side = cell * zoom;
        cv::Mat coarse(static_cast<int>(size.height / side) + 3,
                       static_cast<int>(size.width / side) + 3, CV_32F);
        rng.fill(coarse, cv::RNG::NORMAL, 0.0, 1.0);
        cv::Mat layer;
        cv::resize(coarse, layer, size, 0, 0, cv::INTER_CUBIC);
        sum += layer;
    }
    cv::Scalar mean, deviation;
    cv::meanStdDev(sum, mean, deviation);
    const double gain = amplitude / std::max(deviation[0], 1e-6);
    std::vector<cv::Mat> channels(3);
    for (cv::Mat& channel : channels) {
        const double tint = rng.uniform(-kMaxTint, kMaxTint + 1);
        sum.convertTo(channel, CV_8U, gain, kMidGrey + tint - gain * mean[0]);
    }
    cv::Mat image;
    cv::merge(channels, image);
    darkShapes(image, rng, rng.uniform(3, 7));
    return image;
}

// Lines of random words over the whole picture, near-black on white.
void textPage(cv::Mat& image, double scale, cv::RNG& rng) {
    const int thickness = std::max(1, static_cast<int>(scale * 1.5));
    int baseline = 0;
    const cv::Size letter =
        cv::getTextSize("Mg", cv::FONT_HERSHEY_SIMPLEX, scale, thickness, &baseline);
    const int lineHeight = letter.height + baseline + std::max(2, letter.height / 2);
    for (int y = lineHeight; y < image.rows; y += lineHeight) {
        std::string line;
        while (static_cast<int>(line.size()) * letter.width / 2 < image.cols) {
            const int length = rng.uniform(2, 10);
            for (int i = 0; i < length; ++i) {
                line += static_cast<char>(rng.uniform(0, 3) == 0 ? rng.uniform('0', '9' + 1)
                                                                 : rng.uniform('a', 'z' + 1));
            }
            line += ' ';
        }
        cv::putText(image, line, cv::Point(rng.uniform(4, 24), y), cv::FONT_HERSHEY_SIMPLEX, scale,
                    cv::Scalar::all(rng.uniform(0, 40)), thickness, cv::LINE_AA);
    }
}

void discsAndRings(cv::Mat& image, cv::RNG& rng) {
    const double zoom = zoomOf(image.size());
    const int count = rng.uniform(8, 17);
    for (int i = 0; i < count; ++i) {
        const cv::Point centre(rng.uniform(0, image.cols), rng.uniform(0, image.rows));
        const int r = static_cast<int>(zoom * rng.uniform(8, 80));
        const cv::Scalar black = cv::Scalar::all(rng.uniform(0, 40));
        const int ring = std::max(2, r / 3);
        switch (rng.uniform(0, 4)) {
            case 0:
                cv::circle(image, centre, r, black, cv::FILLED, cv::LINE_AA);
                break;
            case 1:
                cv::circle(image, centre, r + ring / 2, black, ring, cv::LINE_AA);
                break;
            case 2:  // a ring broken at even steps, around a white disc
                for (int a = 0; a < 360; a += 30) {
                    cv::ellipse(image, centre, cv::Size(r + ring / 2, r + ring / 2), 0, a, a + 20,
                                black, ring, cv::LINE_AA);
                }
                break;
            default:  // a ring with a bar running out of it
                cv::circle(image, centre, r + ring / 2, black, ring, cv::LINE_AA);
                cv::line(image, centre + cv::Point(r, 0), centre + cv::Point(3 * r, 0), black, ring,
                         cv::LINE_AA);
        }
    }
}

// A top-left corner for a `symbol` wholly inside `canvas`, using `share` of the free room.
cv::Point randomPlace(cv::Size canvas, cv::Size symbol, double share, cv::RNG& rng) {
    const int freeX = std::max(0, canvas.width - symbol.width);
    const int freeY = std::max(0, canvas.height - symbol.height);
    const double x = freeX / 2.0 * (1.0 + share * rng.uniform(-1.0, 1.0));
    const double y = freeY / 2.0 * (1.0 + share * rng.uniform(-1.0, 1.0));
    return cv::Point(static_cast<int>(x), static_cast<int>(y));
}

void paste(cv::Mat& canvas, const cv::Mat& symbol, cv::Point topLeft) {
    const cv::Rect place(topLeft, symbol.size());
    const cv::Rect inside = place & cv::Rect(cv::Point(), canvas.size());
    symbol(inside - topLeft).copyTo(canvas(inside));
}

cv::Mat symbolInFrame(const cv::Mat& picture, int width, cv::Mat frame, cv::RNG& rng) {
    const cv::Mat symbol = scaleToWidth(picture, width);
    paste(frame, symbol, randomPlace(frame.size(), symbol.size(), 1.0, rng));
    return frame;
}

cv::Mat white(cv::Size size) {
    return cv::Mat(size, CV_8UC3, cv::Scalar::all(255));
}

}  // namespace

cv::Mat offCentreScene(const std::vector<cv::Mat>& symbols, int width, double share,
                       std::uint32_t seed) {
    cv::RNG rng(seed);
    const cv::Mat symbol = scaleToWidth(symbols.front(), width);
    cv::Mat canvas = white(kCanvas);
    paste(canvas, symbol, randomPlace(kCanvas, symbol.size(), share, rng));
    return canvas;
}

cv::Mat textureScene(const std::vector<cv::Mat>& symbols, int width, double amplitude,
                     std::uint32_t seed) {
    cv::RNG rng(seed);
    cv::Mat canvas = photoBackground(kCanvas, amplitude, rng);
    const cv::Mat symbol = scaleToWidth(symbols.front(), width);
    paste(canvas, symbol, randomPlace(kCanvas, symbol.size(), 0.0, rng));
    return canvas;
}

cv::Mat textScene(const std::vector<cv::Mat>& symbols, int width, double scale,
                  std::uint32_t seed) {
    cv::RNG rng(seed);
    cv::Mat canvas = white(kCanvas);
    textPage(canvas, scale, rng);
    darkShapes(canvas, rng, rng.uniform(2, 5));
    return symbolInFrame(symbols.front(), width, canvas, rng);
}

cv::Mat multiScene(const std::vector<cv::Mat>& symbols, int width, double, std::uint32_t seed) {
    cv::RNG rng(seed);
    const int count = static_cast<int>(symbols.size());
    const int cell = static_cast<int>(width * (1.0 + kMultiMargin));
    int columns = std::max(1, kMultiPaper.width / cell);
    int rows = std::max(1, kMultiPaper.height / cell);
    while (columns * rows < count) {
        (columns * kMultiPaper.height <= rows * kMultiPaper.width ? columns : rows) += 1;
    }
    const cv::Size paper(std::max(kMultiPaper.width, columns * cell),
                         std::max(kMultiPaper.height, rows * cell));
    cv::Mat canvas = white(paper);
    std::vector<int> cells(columns * rows);
    std::iota(cells.begin(), cells.end(), 0);
    for (int i = static_cast<int>(cells.size()) - 1; i > 0; --i) {
        std::swap(cells[i], cells[rng.uniform(0, i + 1)]);
    }
    const cv::Size cellSize(paper.width / columns, paper.height / rows);
    for (int i = 0; i < count; ++i) {
        const cv::Mat symbol = scaleToWidth(symbols[i], width);
        const cv::Point corner((cells[i] % columns) * cellSize.width,
                               (cells[i] / columns) * cellSize.height);
        paste(canvas, symbol, corner + randomPlace(cellSize, symbol.size(), 1.0, rng));
    }
    return canvas;
}

cv::Mat frame1280Scene(const std::vector<cv::Mat>& symbols, int width, double amplitude,
                       std::uint32_t seed) {
    cv::RNG rng(seed);
    return symbolInFrame(symbols.front(), width, photoBackground(kFrame1280, amplitude, rng), rng);
}

cv::Mat frame4000Scene(const std::vector<cv::Mat>& symbols, int width, double amplitude,
                       std::uint32_t seed) {
    cv::RNG rng(seed);
    return symbolInFrame(symbols.front(), width, photoBackground(kFrame4000, amplitude, rng), rng);
}

cv::Mat colourScene(const std::vector<cv::Mat>& symbols, int width, double kind,
                    std::uint32_t seed) {
    constexpr int kTextKinds = sizeof(kColourTextScales) / sizeof(kColourTextScales[0]);
    constexpr int kFrameKinds = sizeof(kColourFrameSpreads) / sizeof(kColourFrameSpreads[0]);
    const int index = std::clamp(static_cast<int>(kind) - 1, 0, kTextKinds + kFrameKinds - 1);
    if (index < kTextKinds) {
        return textScene(symbols, width, kColourTextScales[index], seed);
    }
    return frame1280Scene(symbols, width, kColourFrameSpreads[index - kTextKinds], seed);
}

cv::Mat noSymbolScene(const std::vector<cv::Mat>&, int, double kind, std::uint32_t seed) {
    cv::RNG rng(seed);
    const int index = static_cast<int>(kind) - 1;
    const cv::Size size = index < 4 ? kCanvas : kFrame1280;
    cv::Mat canvas = white(size);
    switch (index % 4) {
        case 0: {
            cv::Mat grey(size, CV_8U);
            rng.fill(grey, cv::RNG::UNIFORM, 0, 256);
            cv::cvtColor(grey, canvas, cv::COLOR_GRAY2BGR);
            break;
        }
        case 1:
            canvas = photoBackground(size, kNoSymbolTexture, rng);
            break;
        case 2:
            textPage(canvas, rng.uniform(0.5, 1.5), rng);
            break;
        default:
            discsAndRings(canvas, rng);
    }
    return canvas;
}

}  // namespace qcl::eval

// The whole-image read: the designed search first, then the locator's candidates, each read from
// a view cut around it at the scale the stage chain reads best.
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "common/Logger.h"
#include "decoder/Decoder.h"
#include "decoder/Locator.h"
#include "decoder/StageChain.h"

namespace qcl {
namespace {

// Side of a candidate's view: the chain's own working size, so nothing is resized again.
constexpr int kViewSide = 640;
// Half the view's side in rim radii: a quiet zone of 8 % keeps the ring pitch of a 9-ring
// symbol above the chain's 21 px in the view.
constexpr double kViewHalfSide = 1.08;
// Everything beyond the rim (plus this share of it and half a disc radius) is painted white,
// so that neighbours of the symbol do not reach the chain's centre search.
constexpr double kRimMargin = 0.05;
// Two reads are the same symbol when their centres are closer than this share of a rim radius.
constexpr double kSameSymbolShare = 0.5;
// Candidates within a read symbol's rim (white modules ringed by black ones) are not tried.
constexpr double kInsideShare = 1.0;

struct CandidateView {
    cv::Mat image;
    cv::Matx33d toCaller;  // view pixels -> caller's image pixels
};

CandidateView cutView(const cv::Mat& image, const SymbolCandidate& candidate) {
    const double half = candidate.outerRadius * kViewHalfSide + 2.0;
    const int side = static_cast<int>(std::ceil(2.0 * half));
    const int x0 = static_cast<int>(std::floor(candidate.center.x - half));
    const int y0 = static_cast<int>(std::floor(candidate.center.y - half));
    cv::Mat crop(side, side, image.type(), cv::Scalar::all(255));
    const cv::Rect wanted(x0, y0, side, side);
    const cv::Rect inside = wanted & cv::Rect(0, 0, image.cols, image.rows);
    if (inside.area() > 0) {
        image(inside).copyTo(crop(inside - wanted.tl()));
    }
    cv::Mat outside(crop.size(), CV_8UC1, cv::Scalar(255));
    const double rim = candidate.outerRadius * (1.0 + kRimMargin) + 0.5 * candidate.discRadius;
    cv::circle(outside,
               cv::Point(static_cast<int>(std::lround(candidate.center.x - x0)),
                         static_cast<int>(std::lround(candidate.center.y - y0))),
               static_cast<int>(std::ceil(rim)), cv::Scalar(0), cv::FILLED);
    crop.setTo(cv::Scalar::all(255), outside);

    CandidateView view;
    const double scale = static_cast<double>(kViewSide) / side;
    // Small symbols are enlarged cubically: edges stay steeper than with a linear blend, so thin
    // features (a notch floor, a marker one module wide) survive the view's binarisation.
    cv::resize(crop, view.image, cv::Size(kViewSide, kViewSide), 0, 0,
               scale < 1.0 ? cv::INTER_AREA : cv::INTER_CUBIC);
    // Pixel centres: view u maps to crop (u + 0.5) / scale - 0.5.
    view.toCaller = cv::Matx33d(1.0 / scale, 0.0, x0 + 0.5 / scale - 0.5, 0.0, 1.0 / scale,
                                y0 + 0.5 / scale - 0.5, 0.0, 0.0, 1.0);
    return view;
}

double rimRadius(const DecodedSymbol& symbol) {
    double sum = 0.0;
    for (const cv::Point2d& p : symbol.outline) {
        sum += cv::norm(p - symbol.center);
    }
    return symbol.outline.empty() ? 0.0 : sum / symbol.outline.size();
}

// True when `center` lies within `share` rim radii of a symbol already read.
bool nearSymbol(const std::vector<DecodedSymbol>& symbols, const cv::Point2d& center,
                double share) {
    return std::any_of(symbols.begin(), symbols.end(), [&](const DecodedSymbol& s) {
        return cv::norm(s.center - center) < share * rimRadius(s);
    });
}

// Top to bottom, then left to right: symbols whose centres lie within a rim radius of each
// other vertically form one row.
void sortInReadingOrder(std::vector<DecodedSymbol>& symbols) {
    std::sort(symbols.begin(), symbols.end(), [](const DecodedSymbol& a, const DecodedSymbol& b) {
        return a.center.y < b.center.y;
    });
    std::size_t rowStart = 0;
    for (std::size_t i = 1; i <= symbols.size(); ++i) {
        const bool rowEnds = i == symbols.size() ||
                             symbols[i].center.y - symbols[rowStart].center.y >
                                 std::min(rimRadius(symbols[i]), rimRadius(symbols[rowStart]));
        if (rowEnds) {
            std::sort(symbols.begin() + static_cast<long>(rowStart),
                      symbols.begin() + static_cast<long>(i),
                      [](const DecodedSymbol& a, const DecodedSymbol& b) {
                          return a.center.x < b.center.x;
                      });
            rowStart = i;
        }
    }
}

bool enough(const DecodeOptions& options, const std::vector<DecodedSymbol>& symbols) {
    return options.maxSymbols > 0 && static_cast<int>(symbols.size()) >= options.maxSymbols;
}

// Reads the locator's candidates that no symbol of `result` covers yet, within the options'
// limits counted from `start`.
void readLocatedSymbols(const DecodeParameters& parameters, const cv::Mat& image,
                        const DecodeOptions& options, std::chrono::steady_clock::time_point start,
                        DecodeAllResult& result) {
    const auto overBudget = [&] {
        const std::chrono::duration<double, std::milli> spent =
            std::chrono::steady_clock::now() - start;
        return options.timeBudgetMs > 0.0 && spent.count() > options.timeBudgetMs;
    };
    if (enough(options, result.symbols) || overBudget()) {
        return;
    }
    for (const SymbolCandidate& candidate : locateSymbols(image)) {
        if (enough(options, result.symbols) || overBudget()) {
            break;
        }
        if (nearSymbol(result.symbols, candidate.center, kInsideShare)) {
            continue;
        }
        logDebug() << "locator candidate at " << candidate.center << ", rim "
                   << candidate.outerRadius;
        const CandidateView view = cutView(image, candidate);
        DesignedDecode read = runDesignedDecode(parameters, view.image, options.enhance,
                                                realStages(), options.traceStages);
        mapStageTrace(read.trace, view.toCaller);
        if (!read.decoded) {
            const std::int32_t heldStage = result.failure.stage;
            result.failure.record(read.status.errorCode, read.status.stage);
            if (result.failure.stage != heldStage) {
                result.failureTrace = std::move(read.trace);
            }
            continue;
        }
        DecodedSymbol symbol =
            makeDecodedSymbol(std::move(read.payload), read.payloadType, read.eccType,
                              parameters.codeType, read.details, view.toCaller * read.toCaller);
        symbol.trace = std::move(read.trace);
        if (!nearSymbol(result.symbols, symbol.center, kSameSymbolShare)) {
            result.symbols.push_back(std::move(symbol));
        }
    }
}

}  // namespace

DecodeAllResult decodeAll(const DecodeParameters& parameters, const cv::Mat& image,
                          const DecodeOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    DecodeAllResult result;
    DesignedDecode whole =
        runDesignedDecode(parameters, image, options.enhance, realStages(), options.traceStages);
    if (whole.decoded) {
        result.symbols.push_back(makeDecodedSymbol(std::move(whole.payload), whole.payloadType,
                                                   whole.eccType, parameters.codeType,
                                                   whole.details, whole.toCaller));
        result.symbols.back().trace = std::move(whole.trace);
    } else {
        result.failure = whole.status;
        result.failureTrace = std::move(whole.trace);
    }
    readLocatedSymbols(parameters, image, options, start, result);
    if (!result.symbols.empty()) {
        result.failure = DecodeStatus{};
        result.failureTrace = StageTrace{};
    }
    sortInReadingOrder(result.symbols);
    return result;
}

std::string decode(const DecodeParameters& parameters, const cv::Mat& image, bool enhance) {
    const auto start = std::chrono::steady_clock::now();
    DesignedDecode whole = runDesignedDecode(parameters, image, enhance, realStages());
    if (whole.decoded) {
        return std::move(whole.payload);
    }
    // The designed search found nothing: the symbols the locator finds, first in reading order.
    DecodeOptions options;
    options.enhance = enhance;
    DecodeAllResult located;
    readLocatedSymbols(parameters, image, options, start, located);
    if (located.symbols.empty()) {
        throw QCException(static_cast<ErrorCode>(whole.status.errorCode));
    }
    sortInReadingOrder(located.symbols);
    return std::move(located.symbols.front().payload);
}

}  // namespace qcl

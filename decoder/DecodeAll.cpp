// The whole-image read: the designed search first, then the locator's candidates, each read from
// a view cut around it at the scale the stage chain reads best.
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <utility>

#include "common/Logger.h"
#include "decoder/Decoder.h"
#include "decoder/Locator.h"
#include "decoder/RimRectifier.h"
#include "decoder/StageChain.h"
#include "imaging/AdaptiveBinarisation.h"
#include "imaging/AreaReduction.h"
#include "imaging/ColourImage.h"
#include "imaging/Sharpening.h"

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
// The last try on an image where nothing reads: the whole search again on the image with its
// light divided out and sharpened by an unsharp mask of this radius (px) and strength, which
// undoes enough of a blur of up to about 3 px for the thresholds to find the modules again.
constexpr double kSharpenSigma = 3.0;
constexpr double kSharpenAmount = 3.0;
// ... unless the image is flat: grey levels spread by less than this (standard deviation) hold
// no symbol that evening or sharpening could bring out (a wall, a covered lens).
constexpr double kMinSpreadToSharpen = 4.0;
// ... or the first search saw no sign of a symbol: no candidate worth a view, and the
// whole-image read stopped at the inner zebra or before. Sharpening brings out the modules of
// a symbol the search saw, not a symbol it could not see at all.
constexpr int kMinViewsToSharpen = 1;
constexpr std::int32_t kSharpenPastStage = StageFindInnerZebra;
// Slanted symbols read per image through rim views: each failing view costs a designed search.
constexpr int kMaxRimViews = 3;
// A view enlarged at least this much holds a symbol whose modules are a few pixels: whether they
// survive the view's binarisation depends on the resampling, so a view that does not read is
// cut again, enlarged by Lanczos to these sides (px) in turn.
constexpr double kRetryEnlargement = 2.0;
constexpr int kRetrySides[] = {640, 480};
// ... but only when the first view got past the inner zebra: a view that did not even show the
// disc's zebra is a false candidate far more often than a resampling away from reading.
constexpr std::int32_t kRetryPastStage = StageFindInnerZebra;
// Views that may fail per decode, counted over candidates, retries, rim views and the sharpened
// pass: each costs a whole designed search, and an image with this many failures (a page of
// dots, a symbol beyond reading) is not read by the thirteenth.
constexpr int kMaxFailedViews = 12;

// One decode's search: what the caller asked for, when it began and what it has spent.
struct Search {
    const DecodeParameters& parameters;
    const DecodeOptions& options;
    std::chrono::steady_clock::time_point start;
    int failedViews = 0;
    // Candidates whose first view did not read. Symbols do not overlap, so a later candidate
    // centred within the rim of one of them is that candidate's own structure (its modules, a ring,
    // the specks around a blurred symbol), not a symbol of its own.
    std::vector<SymbolCandidate> failedCandidates;
};

struct CandidateView {
    cv::Mat image;
    cv::Matx33d toCaller;  // view pixels -> caller's image pixels
};

// The square around a candidate, in the caller's pixels, with everything beyond its rim white.
struct CandidateCrop {
    cv::Mat image;
    cv::Point origin;  // the square's top-left corner in the caller's image
};

CandidateCrop cutCrop(const cv::Mat& image, const SymbolCandidate& candidate) {
    const double half = candidate.outerRadius * kViewHalfSide + 2.0;
    const int side = static_cast<int>(std::ceil(2.0 * half));
    CandidateCrop crop;
    crop.origin = cv::Point(static_cast<int>(std::floor(candidate.center.x - half)),
                            static_cast<int>(std::floor(candidate.center.y - half)));
    crop.image = cv::Mat(side, side, image.type(), cv::Scalar::all(255));
    const cv::Rect wanted(crop.origin, cv::Size(side, side));
    const cv::Rect inside = wanted & cv::Rect(0, 0, image.cols, image.rows);
    if (inside.area() > 0) {
        image(inside).copyTo(crop.image(inside - wanted.tl()));
    }
    cv::Mat outside(crop.image.size(), CV_8UC1, cv::Scalar(255));
    const double rim = candidate.outerRadius * (1.0 + kRimMargin) + 0.5 * candidate.discRadius;
    cv::circle(outside,
               cv::Point(static_cast<int>(std::lround(candidate.center.x - crop.origin.x)),
                         static_cast<int>(std::lround(candidate.center.y - crop.origin.y))),
               static_cast<int>(std::ceil(rim)), cv::Scalar(0), cv::FILLED);
    crop.image.setTo(cv::Scalar::all(255), outside);
    return crop;
}

// The crop brought to `side` pixels; `enlarge` is the interpolation used when it grows.
CandidateView scaleView(const CandidateCrop& crop, int side, int enlarge) {
    CandidateView view;
    const double scale = static_cast<double>(side) / crop.image.cols;
    if (scale < 1.0) {
        view.image = reduceByArea(crop.image, cv::Size(side, side));
    } else {
        cv::resize(crop.image, view.image, cv::Size(side, side), 0, 0, enlarge);
    }
    // Pixel centres: view u maps to crop (u + 0.5) / scale - 0.5.
    const cv::Point2d shift(crop.origin.x + 0.5 / scale - 0.5, crop.origin.y + 0.5 / scale - 0.5);
    view.toCaller =
        cv::Matx33d(1.0 / scale, 0.0, shift.x, 0.0, 1.0 / scale, shift.y, 0.0, 0.0, 1.0);
    return view;
}

// The designed search on one view, counted against the search's failures.
DesignedDecode readView(Search& search, const cv::Mat& view) {
    DesignedDecode read = runDesignedDecode(search.parameters, view, search.options.enhance,
                                            realStages(), search.options.traceStages);
    if (!read.decoded) {
        ++search.failedViews;
    }
    return read;
}

bool exhausted(const Search& search) {
    return search.failedViews >= kMaxFailedViews;
}

// Reads a candidate's view; a small symbol's view that does not read is tried again with the
// other enlargements when it got past the inner zebra. `view` is left on the last view read.
DesignedDecode readCandidate(Search& search, const cv::Mat& image, const SymbolCandidate& candidate,
                             CandidateView& view) {
    const CandidateCrop crop = cutCrop(image, candidate);
    // Small symbols are enlarged cubically: edges stay steeper than with a linear blend, so thin
    // features (a notch floor, a marker one module wide) survive the view's binarisation.
    view = scaleView(crop, kViewSide, cv::INTER_CUBIC);
    DesignedDecode read = readView(search, view.image);
    if (!read.decoded) {
        search.failedCandidates.push_back(candidate);
    }
    const bool small = crop.image.cols * kRetryEnlargement <= kViewSide;
    const bool retry = small && read.status.stage > kRetryPastStage;
    for (std::size_t i = 0; retry && !read.decoded && i < std::size(kRetrySides); ++i) {
        if (exhausted(search)) {
            break;
        }
        view = scaleView(crop, kRetrySides[i], cv::INTER_LANCZOS4);
        read = readView(search, view.image);
    }
    return read;
}

// True when the candidate's centre lies within the rim of a candidate whose view did not read.
bool insideFailedCandidate(const Search& search, const SymbolCandidate& candidate) {
    return std::any_of(search.failedCandidates.begin(), search.failedCandidates.end(),
                       [&](const SymbolCandidate& failed) {
                           return cv::norm(failed.center - candidate.center) < failed.outerRadius;
                       });
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

bool overBudget(const Search& search) {
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - search.start;
    return search.options.timeBudgetMs > 0.0 && spent.count() > search.options.timeBudgetMs;
}

// True when the search should try no further view: enough symbols, no time or too many failures.
bool stop(const Search& search, const DecodeAllResult& result) {
    return enough(search.options, result.symbols) || overBudget(search) || exhausted(search);
}

// Adds what `read` found on a view (`toCaller`: view pixels -> caller's pixels) to `result`,
// unless that symbol is there already; a failure deeper than the held one replaces it.
void addRead(const DecodeParameters& parameters, DesignedDecode read, const cv::Matx33d& toCaller,
             DecodeAllResult& result) {
    mapStageTrace(read.trace, toCaller);
    if (!read.decoded) {
        const std::int32_t heldStage = result.failure.stage;
        result.failure.record(read.status.errorCode, read.status.stage);
        if (result.failure.stage != heldStage) {
            result.failureTrace = std::move(read.trace);
        }
        return;
    }
    DecodedSymbol symbol =
        makeDecodedSymbol(std::move(read.payload), read.payloadType, read.eccType,
                          parameters.codeType, read.details, toCaller * read.toCaller);
    symbol.trace = std::move(read.trace);
    if (!nearSymbol(result.symbols, symbol.center, kSameSymbolShare)) {
        result.symbols.push_back(std::move(symbol));
    }
}

// Reads the locator's candidates that no symbol of `result` covers yet, within the search's
// limits (symbols wanted, time budget, failed views).
void readLocatedSymbols(Search& search, const cv::Mat& image, DecodeAllResult& result) {
    if (stop(search, result)) {
        return;
    }
    for (const SymbolCandidate& candidate : locateSymbols(image)) {
        if (stop(search, result)) {
            break;
        }
        if (nearSymbol(result.symbols, candidate.center, kInsideShare) ||
            insideFailedCandidate(search, candidate)) {
            continue;
        }
        logDebug() << "locator candidate at " << candidate.center << ", rim "
                   << candidate.outerRadius;
        CandidateView view;
        DesignedDecode read = readCandidate(search, image, candidate, view);
        addRead(search.parameters, std::move(read), view.toCaller, result);
    }
}

// Reads the slanted symbols that the rim rectifier makes round again, skipping those already
// read, within the search's limits.
void readRimViews(Search& search, const cv::Mat& image, DecodeAllResult& result) {
    if (stop(search, result)) {
        return;
    }
    std::vector<ReadSymbol> known;
    for (const DecodedSymbol& symbol : result.symbols) {
        known.push_back({symbol.center, kInsideShare * rimRadius(symbol)});
    }
    for (const RimView& view : rimViews(image, kMaxRimViews, known)) {
        if (stop(search, result)) {
            break;
        }
        logDebug() << "rim view of the disc at " << view.discCenter << ", rim " << view.rim.size;
        addRead(search.parameters, readView(search, view.image), view.toCaller, result);
    }
}

// The designed search on the whole image, adding what it reads to `result`.
void readWholeImage(const DecodeParameters& parameters, const cv::Mat& image,
                    const DecodeOptions& options, DecodeAllResult& result) {
    DesignedDecode whole =
        runDesignedDecode(parameters, image, options.enhance, realStages(), options.traceStages);
    if (whole.decoded) {
        result.symbols.push_back(makeDecodedSymbol(std::move(whole.payload), whole.payloadType,
                                                   whole.eccType, parameters.codeType,
                                                   whole.details, whole.toCaller));
        result.symbols.back().trace = std::move(whole.trace);
        return;
    }
    const std::int32_t heldStage = result.failure.stage;
    result.failure.record(whole.status.errorCode, whole.status.stage);
    if (result.failure.stage != heldStage || result.failureTrace.reachedStage == 0) {
        result.failureTrace = std::move(whole.trace);
    }
}

// When nothing read: the designed search, the locator and the rim views once more, on the image
// with its light evened and sharpened. It keeps the caller's geometry: positions need no mapping.
void readSharpened(Search& search, const cv::Mat& image, DecodeAllResult& result) {
    const bool seen =
        search.failedViews >= kMinViewsToSharpen || result.failure.stage > kSharpenPastStage;
    if (!result.symbols.empty() || stop(search, result) || !seen) {
        return;
    }
    cv::Scalar mean;
    cv::Scalar spread;
    cv::meanStdDev(image, mean, spread);
    if (std::max({spread[0], spread[1], spread[2]}) < kMinSpreadToSharpen) {
        return;
    }
    logDebug() << "nothing read: the search again on the evened and sharpened image";
    const cv::Mat sharpened =
        unsharpMask(flattenIllumination(image), kSharpenSigma, kSharpenAmount);
    readWholeImage(search.parameters, sharpened, search.options, result);
    // The views tried before are tried again on the sharpened image.
    search.failedCandidates.clear();
    readLocatedSymbols(search, sharpened, result);
    readRimViews(search, sharpened, result);
}

DecodeAllResult decodeAllAs(const DecodeParameters& parameters, const cv::Mat& image,
                            const DecodeOptions& options) {
    Search search{parameters, options, std::chrono::steady_clock::now(), 0, {}};
    DecodeAllResult result;
    readWholeImage(parameters, image, options, result);
    readLocatedSymbols(search, image, result);
    readRimViews(search, image, result);
    readSharpened(search, image, result);
    if (!result.symbols.empty()) {
        result.failure = DecodeStatus{};
        result.failureTrace = StageTrace{};
    }
    sortInReadingOrder(result.symbols);
    return result;
}

}  // namespace

DecodeAllResult decodeAll(const DecodeParameters& parameters, const cv::Mat& image,
                          const DecodeOptions& options) {
    if (!options.autoCodeType) {
        return decodeAllAs(parameters, image, options);
    }
    // Black and white first; colour only when nothing black-and-white read and the image shows
    // colour at all. The failure reported is the deeper of the two searches'.
    DecodeParameters bw = parameters;
    bw.codeType = CodeType::BlackAndWhite;
    DecodeAllResult result = decodeAllAs(bw, image, options);
    if (!result.symbols.empty() || !hasColour(image)) {
        return result;
    }
    DecodeParameters colourParameters = parameters;
    colourParameters.codeType = CodeType::Color;
    DecodeAllResult colour = decodeAllAs(colourParameters, image, options);
    if (colour.symbols.empty()) {
        DecodeStatus failure = result.failure;
        failure.record(colour.failure.errorCode, colour.failure.stage);
        if (failure.stage == colour.failure.stage && failure.stage != result.failure.stage) {
            result.failureTrace = std::move(colour.failureTrace);
        }
        result.failure = failure;
        return result;
    }
    return colour;
}

std::string decode(const DecodeParameters& parameters, const cv::Mat& image, bool enhance) {
    const auto start = std::chrono::steady_clock::now();
    DesignedDecode whole = runDesignedDecode(parameters, image, enhance, realStages());
    if (whole.decoded) {
        return std::move(whole.payload);
    }
    // The designed search found nothing: the symbols the locator finds, first in reading order,
    // then the slanted ones the rim views straighten, then all of it on the image sharpened.
    DecodeOptions options;
    options.enhance = enhance;
    Search search{parameters, options, start, 0, {}};
    DecodeAllResult located;
    located.failure = whole.status;
    readLocatedSymbols(search, image, located);
    if (located.symbols.empty()) {
        readRimViews(search, image, located);
    }
    readSharpened(search, image, located);
    if (located.symbols.empty()) {
        throw QCException(static_cast<ErrorCode>(whole.status.errorCode));
    }
    sortInReadingOrder(located.symbols);
    return std::move(located.symbols.front().payload);
}

}  // namespace qcl

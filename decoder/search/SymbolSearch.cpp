// The whole-image read: look once, then read. The detector proposes where symbols lie; each
// hypothesis is read by the stage chain from a view cut around it at the scale the chain reads
// best; and only hypotheses whose view got past the inner zebra, deepest first, are given the
// costlier alternatives (other enlargements, a rim-rectified view, a sharpened view, the other
// code type) within the search's budget.
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <utility>

#include "common/Logger.h"
#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "decoder/search/CandidateViews.h"
#include "decoder/search/Detector.h"
#include "decoder/search/FoundSymbols.h"
#include "decoder/search/RimRectifier.h"
#include "decoder/search/SearchBudget.h"
#include "decoder/search/SearchImage.h"
#include "imaging/ColourImage.h"

namespace qcl {
namespace {

// Two reads are the same symbol when their centres are closer than this share of a rim radius.
constexpr double kSameSymbolShare = 0.5;
// Hypotheses within a read symbol's rim (its modules, a ring) are not tried.
constexpr double kInsideShare = 1.0;
// The other binarisations and the costlier alternatives are for hypotheses whose first view showed
// the chain the disc's inner zebra, even where the chain could not count its notches (a slant, a
// smear, a crop at a rotation the first binarisation breaks): a view that did not show the zebra
// at all is a false candidate far more often than an alternative away from reading.
constexpr std::int32_t kAlternativesFromStage = StageFindInnerZebra;
// A crop enlarged at least this much holds a symbol whose modules are a few pixels: whether they
// survive the view's binarisation depends on the resampling, so it is cut again, enlarged by
// Lanczos to these sides (px) in turn.
constexpr double kRetryEnlargement = 2.0;
constexpr int kRetrySides[] = {640, 480};
// Half the side of the square inside a rim (1 / sqrt 2 of its radius), in rim radii.
constexpr double kInsideRimSquare = 0.7;
// What a view that read counts as having reached: beyond every stage.
constexpr std::int32_t kReadStage = StageDecompress + 1;
// A disc this much flatter than round (minor over major axis) is seen at a slant: its symbol gets
// a view that makes the rim round again.
constexpr double kSlantedDisc = 0.9;
// ... and one this much flatter (a tilt of 40 degrees or more) is read face on before anything.
constexpr double kStrongSlant = 0.75;
// A rim found on the symbol's dark area within this share of the detector's gives the same crop.
constexpr double kSameRim = 0.03;
// The sharpened last pass is for searches whose views got past this stage: sharpening brings out
// the modules of a symbol the search saw, not a symbol it could not see at all.
constexpr std::int32_t kSharpenPastStage = StageFindInnerZebra;
// ... and for pictures of at most this many pixels: evening the light of a 1280 x 960 picture
// takes about 26 ms on this machine, of a 1920 x 1080 one 290 ms and of a 12-megapixel photo
// 1.8 s, more than the whole search before it.
constexpr double kMaxSharpenedPixels = 1280.0 * 1024.0;
// Failed views the sharpened pass may spend beyond the picture's budget: a blurred symbol spends
// that budget on its alternatives in the picture as it is, and then the pass that can read it
// would never run.
constexpr int kSharpenedPassViews = 4;
// Shares of a measured rim tried when the crop to it did not read (see readSmallerRims).
constexpr double kSmallerRims[] = {0.9, 0.85};

double semiMinorOver(const cv::RotatedRect& e) {
    return std::min(e.size.width, e.size.height) /
           std::max(1e-9f, std::max(e.size.width, e.size.height));
}

// One hypothesis on its way through the search.
struct Attempt {
    Hypothesis hypothesis;
    CandidateCrop crop;
    CandidateView first;  // the view read first
    CodeType codeType = CodeType::BlackAndWhite;
    std::int32_t reachedStage = 0;  // how far its views got so far
    // The rim found round its disc on the symbol's dark area, once asked for (`rimSought`).
    bool rimSought = false;
    bool rimFound = false;
    cv::RotatedRect rim;
    bool rimViewRead = false;       // its rim-rectified view was read
    bool rimViewFirstRead = false;  // ... with its first threshold
};

class Search {
  public:
    Search(const DecodeParameters& parameters, const cv::Mat& image, const DecodeOptions& options)
        : parameters_(parameters),
          options_(options),
          original_(image),
          budget_(image.size(), options.timeBudgetMs) {}

    DecodeAllResult run() {
        searchPicture();
        // Nothing read, though a view showed more of a symbol than its inner zebra: the search
        // once more on the picture with its light evened and sharpened as a whole, where a blur
        // that merged the modules of a small symbol is partly undone and the detector measures
        // its disc and rim again.
        if (sharpenedPassDue()) {
            sharpenedImage_ = sharpenedPicture(original_.image());
            sharpened_.emplace(sharpenedImage_);
            picture_ = &*sharpened_;
            wholePictureRead_ = false;
            searchPicture();
        }
        if (result_.symbols.empty() && result_.failure.errorCode == 0) {
            result_.failure.record(InnerCircleNotFound, StageFindCenter);
        }
        if (!result_.symbols.empty()) {
            result_.failure = DecodeStatus{};
            result_.failureTrace = StageTrace{};
        }
        sortInReadingOrder(result_.symbols);
        return std::move(result_);
    }

  private:
    // True when the sharpened pass is to run, which then has views of its own beyond the budget.
    bool sharpenedPassDue() {
        if (!result_.symbols.empty() || !sawSymbol_ ||
            original_.image().total() > kMaxSharpenedPixels) {
            return false;
        }
        budget_.allowMore(kSharpenedPassViews);
        return !finished();
    }

    // Detection on the picture looked at, a first view of every hypothesis, then the alternatives.
    void searchPicture() {
        std::vector<Attempt> attempts;
        for (const Hypothesis& h : detectSymbols(*picture_)) {
            if (finished()) {
                break;
            }
            if (nearSymbol(result_.symbols, h.center, kInsideShare)) {
                continue;
            }
            logDebug() << "hypothesis at " << h.center << ", disc " << h.discRadius << ", rim "
                       << h.outerRadius << ", evidence " << static_cast<int>(h.evidence);
            Attempt attempt = firstView(h);
            if (attempt.reachedStage > 0) {
                attempts.push_back(std::move(attempt));
            }
        }
        // The alternatives, deepest first: each cheap one for every hypothesis in turn, then the
        // costly ones, so that a few false hypotheses that got far do not spend the budget of a
        // symbol whose crop only needed another threshold or rim.
        std::stable_sort(attempts.begin(), attempts.end(), [](const Attempt& a, const Attempt& b) {
            return a.reachedStage > b.reachedStage;
        });
        for (int step = 0; step <= kCheapSteps; ++step) {
            for (Attempt& attempt : attempts) {
                if (finished()) {
                    break;
                }
                if (attempt.reachedStage >= kAlternativesFromStage &&
                    !nearSymbol(result_.symbols, attempt.hypothesis.center, kInsideShare)) {
                    if (step < kCheapSteps) {
                        tryCheapAlternative(attempt, step);
                    } else {
                        tryCostlyAlternatives(attempt);
                    }
                }
            }
        }
        sawSymbol_ =
            sawSymbol_ || std::any_of(attempts.begin(), attempts.end(), [](const Attempt& a) {
                return a.reachedStage > kSharpenPastStage;
            });
    }

    bool finished() const {
        const bool enough = options_.maxSymbols > 0 &&
                            static_cast<int>(result_.symbols.size()) >= options_.maxSymbols;
        return enough || budget_.spent();
    }

    // The code type a hypothesis is read as first: the caller's, or with the automatic choice,
    // colour when the symbol's own pixels show colour (its structure is black and white, colour
    // data modules are not): the square inside its rim is looked at, not the picture around it,
    // where a small colour symbol on a page is too little of the picture to count.
    CodeType codeTypeFor(const Hypothesis& h) {
        if (!options_.autoCodeType) {
            return parameters_.codeType;
        }
        if (picture_->image().channels() != 3) {
            return CodeType::BlackAndWhite;
        }
        const double half = kInsideRimSquare * h.outerRadius;
        const cv::Rect square = cv::Rect(cvRound(h.center.x - half), cvRound(h.center.y - half),
                                         cvRound(2 * half), cvRound(2 * half)) &
                                cv::Rect(0, 0, picture_->image().cols, picture_->image().rows);
        return !square.empty() && hasColour(picture_->image()(square)) ? CodeType::Color
                                                                       : CodeType::BlackAndWhite;
    }

    // The crop round a hypothesis to read as `codeType`: black-and-white symbols are read in
    // grey, a third of the pixels to scale and condition.
    CandidateCrop cropFor(CodeType codeType, const Hypothesis& h) {
        if (codeType == CodeType::Color || picture_->image().channels() == 1) {
            return cutCrop(picture_->image(), h);
        }
        if (!picture_->fullGrey().empty()) {
            return cutCrop(picture_->fullGrey(), h);
        }
        CandidateCrop crop = cutCrop(picture_->image(), h);
        cv::cvtColor(crop.image, crop.image, cv::COLOR_BGR2GRAY);
        return crop;
    }

    Attempt firstView(const Hypothesis& h) {
        Attempt attempt;
        attempt.hypothesis = h;
        attempt.codeType = codeTypeFor(h);
        attempt.crop = cropFor(attempt.codeType, h);
        attempt.first = pitchView(attempt.crop);
        // A symbol seen at a strong slant is read face on first: its view as cut seldom reads.
        if (semiMinorOver(h.disc) <= kStrongSlant &&
            readRimView(attempt, Binarisations::FirstOnly)) {
            return attempt;
        }
        read(attempt, attempt.first, attempt.codeType, Binarisations::FirstOnly);
        return attempt;
    }

    // The cheap alternatives, step by step: a slanted symbol's face-on view and the first view's
    // other thresholds, its crop cut to the rim found on the symbol's dark area, to rims a little
    // inside the measured one, and the whole picture.
    static constexpr int kCheapSteps = 4;
    void tryCheapAlternative(Attempt& attempt, int step) {
        switch (step) {
            case 0:
                // A slanted disc's symbol is read face on before anything else is tried on it.
                if (!readRimView(attempt) && !finished()) {
                    read(attempt, attempt.first, attempt.codeType, Binarisations::LaterOnly);
                }
                break;
            case 1:
                readRimCrop(attempt);
                break;
            case 2:
                readSmallerRims(attempt);
                break;
            default:
                readWholePicture(attempt);
                break;
        }
    }

    // Enlargements, the crop at its own size, sharpened views and the other code type, until one
    // reads.
    void tryCostlyAlternatives(Attempt& attempt) {
        const bool small = attempt.crop.image.cols * kRetryEnlargement <= kMaxViewSide;
        for (std::size_t i = 0; small && i < std::size(kRetrySides); ++i) {
            if (finished() ||
                read(attempt, scaledView(attempt.crop, kRetrySides[i], cv::INTER_LANCZOS4),
                     attempt.codeType)) {
                return;
            }
        }
        // A view reduced to the chain's pitch loses what a low contrast leaves of the modules:
        // the crop at its own size, as far as the chain's working size allows.
        if (attempt.first.image.cols < attempt.crop.image.cols && !finished() &&
            read(attempt,
                 pitchView(attempt.crop,
                           kMaxViewSide / static_cast<double>(attempt.crop.image.cols)),
                 attempt.codeType)) {
            return;
        }

        // Sharpened in the picture's own pixels, then seen at the chain's pitch and, for a small
        // symbol, enlarged to the chain's working size as well.
        const CandidateCrop sharpened = sharpenedCrop(attempt.crop);
        if (finished() || read(attempt, pitchView(sharpened), attempt.codeType)) {
            return;
        }
        if (small && !finished() &&
            read(attempt, scaledView(sharpened, kMaxViewSide, cv::INTER_CUBIC), attempt.codeType)) {
            return;
        }
        // The other code type: black and white for a symbol first read as colour, colour for one
        // first read as black and white only where the picture as a whole shows colour.
        const bool otherIsColour = attempt.codeType != CodeType::Color;
        if (options_.autoCodeType && (!otherIsColour || picture_->hasColour()) && !finished()) {
            const CodeType other = otherIsColour ? CodeType::Color : CodeType::BlackAndWhite;
            read(attempt, pitchView(cropFor(other, attempt.hypothesis)), other);
        }
    }

    // The designed search on the picture as the caller gave it, once per search and only for a
    // symbol that fills half of it: what the designed decode entry reads of such a symbol.
    bool readWholePicture(Attempt& attempt) {
        if (wholePictureRead_ || !coversPicture(attempt.crop) || finished()) {
            return false;
        }
        wholePictureRead_ = true;
        return read(attempt, CandidateView{picture_->image(), cv::Matx33d::eye()},
                    attempt.codeType);
    }

    // The rim round the hypothesis's disc, fitted to its symbol's dark area; null when none fits.
    const cv::RotatedRect* foundRim(Attempt& attempt) {
        if (!attempt.rimSought) {
            attempt.rimSought = true;
            attempt.rimFound = findRim(picture_->image(), attempt.hypothesis.disc, attempt.rim);
        }
        return attempt.rimFound ? &attempt.rim : nullptr;
    }

    // The crop cut again to the rim found on the symbol's dark area, where that differs from the
    // detector's: a quiet ring measured too far out (text, a scratch, damage beside the symbol)
    // leaves what lies beyond the rim in the view, and the chain takes it for modules.
    bool readRimCrop(Attempt& attempt) {
        const cv::RotatedRect* rim = foundRim(attempt);
        if (rim == nullptr || finished()) {
            return false;
        }
        const double radius = 0.5 * std::max(rim->size.width, rim->size.height);
        if (std::abs(radius / attempt.hypothesis.outerRadius - 1.0) < kSameRim) {
            return false;
        }
        return readCutTo(attempt, radius);
    }

    // The hypothesis's crop cut at another rim radius (px), read at the chain's pitch.
    bool readCutTo(Attempt& attempt, double rimRadius) {
        Hypothesis cut = attempt.hypothesis;
        cut.outerRadius = rimRadius;
        return read(attempt, pitchView(cropFor(attempt.codeType, cut)), attempt.codeType);
    }

    // The crop cut to rims a little inside the measured one: a quiet zone's circle found beyond
    // letters, a shadow or a smear beside the symbol sets the rim too far out, and what the crop
    // keeps beyond the true rim reads as modules.
    bool readSmallerRims(Attempt& attempt) {
        if (!attempt.hypothesis.rimMeasured) {
            return false;  // an estimated rim is the largest the disc allows anyway
        }
        for (const double share : kSmallerRims) {
            if (finished()) {
                return false;
            }
            if (readCutTo(attempt, share * attempt.hypothesis.outerRadius)) {
                return true;
            }
        }
        return false;
    }

    // A view in which the rim, found around a slanted disc, is round again; once per hypothesis
    // (its first threshold and its later ones may be read apart).
    bool readRimView(Attempt& attempt, Binarisations binarisations = Binarisations::All) {
        const Hypothesis& h = attempt.hypothesis;
        if (semiMinorOver(h.disc) > kSlantedDisc || attempt.rimViewRead) {
            return false;
        }
        // A view read with the first threshold already is read with the later ones only.
        if (binarisations == Binarisations::FirstOnly) {
            attempt.rimViewFirstRead = true;
        } else {
            attempt.rimViewRead = true;
            if (attempt.rimViewFirstRead) {
                binarisations = Binarisations::LaterOnly;
            }
        }
        const cv::RotatedRect* rim = foundRim(attempt);
        if (rim == nullptr) {
            return false;
        }
        const int side = std::clamp(static_cast<int>(attempt.first.image.cols), 64, kMaxViewSide);
        const RimView rimView = makeRimView(picture_->image(), h.disc, *rim, side);
        CandidateView view{rimView.image, rimView.toCaller};
        return read(attempt, view, attempt.codeType, binarisations);
    }

    // The designed search on one view, with the binarisations asked for; what it finds goes into
    // the result.
    bool read(Attempt& attempt, const CandidateView& view, CodeType codeType,
              Binarisations binarisations = Binarisations::All) {
        if (view.image.channels() == 1 && codeType == CodeType::Color) {
            return false;
        }
        DecodeParameters parameters = parameters_;
        parameters.codeType = codeType;
        DesignedDecode decoded =
            runDesignedDecode(parameters, view.image, options_.enhance, realStages(),
                              options_.traceStages, binarisations);
        attempt.reachedStage =
            std::max(attempt.reachedStage, decoded.decoded ? kReadStage : decoded.status.stage);
        if (!decoded.decoded) {
            budget_.viewFailed();
        }
        addRead(std::move(decoded), view.toCaller, codeType);
        return attempt.reachedStage == kReadStage;
    }

    // Adds what `read` found on a view (`toCaller`: view pixels -> caller's pixels) to the result,
    // unless that symbol is there already; a failure deeper than the held one replaces it.
    void addRead(DesignedDecode read, const cv::Matx33d& toCaller, CodeType codeType) {
        mapStageTrace(read.trace, toCaller);
        if (!read.decoded) {
            const std::int32_t heldStage = result_.failure.stage;
            result_.failure.record(read.status.errorCode, read.status.stage);
            if (result_.failure.stage != heldStage || result_.failureTrace.reachedStage == 0) {
                result_.failureTrace = std::move(read.trace);
            }
            return;
        }
        DecodedSymbol symbol =
            makeDecodedSymbol(std::move(read.payload), read.payloadType, read.eccType, codeType,
                              read.details, toCaller * read.toCaller);
        symbol.trace = std::move(read.trace);
        if (!nearSymbol(result_.symbols, symbol.center, kSameSymbolShare)) {
            result_.symbols.push_back(std::move(symbol));
        }
    }

    // True when the crop holds at least half of the picture.
    bool coversPicture(const CandidateCrop& crop) const {
        const cv::Rect square(crop.origin, crop.image.size());
        const cv::Rect inside =
            square & cv::Rect(0, 0, picture_->image().cols, picture_->image().rows);
        return 2.0 * inside.area() >= picture_->image().total();
    }

    const DecodeParameters& parameters_;
    const DecodeOptions& options_;
    bool wholePictureRead_ = false;
    SearchImage original_;
    // The picture the search looks at: the caller's, or for the last pass its sharpened copy
    // (`sharpenedImage_`, `sharpened_`), in the same geometry.
    SearchImage* picture_ = &original_;
    cv::Mat sharpenedImage_;
    std::optional<SearchImage> sharpened_;
    bool sawSymbol_ = false;  // a view of this search got past the inner zebra
    SearchBudget budget_;
    DecodeAllResult result_;
};

// Refuses what no search can read, as the designed decode entry does.
void checkImage(const DecodeParameters& parameters, const DecodeOptions& options,
                const cv::Mat& image) {
    if (image.channels() == 1 && parameters.codeType == CodeType::Color && !options.autoCodeType) {
        throw QCException(CodeTypeImageMismatch);
    }
    if (image.empty()) {
        return;
    }
    if (image.depth() != CV_8U || (image.channels() != 1 && image.channels() != 3)) {
        throw QCException(WrongImageType);
    }
}

}  // namespace

DecodeAllResult decodeAll(const DecodeParameters& parameters, const cv::Mat& image,
                          const DecodeOptions& options) {
    checkImage(parameters, options, image);
    if (image.empty()) {
        DecodeAllResult result;
        result.failure.record(InnerCircleNotFound, StageFindCenter);
        return result;
    }
    return Search(parameters, image, options).run();
}

std::string decode(const DecodeParameters& parameters, const cv::Mat& image, bool enhance) {
    DecodeOptions options;
    options.enhance = enhance;
    options.maxSymbols = 1;
    DecodeAllResult result = decodeAll(parameters, image, options);
    if (result.symbols.empty()) {
        throw QCException(static_cast<ErrorCode>(result.failure.errorCode));
    }
    return std::move(result.symbols.front().payload);
}

}  // namespace qcl

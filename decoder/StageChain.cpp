#include "decoder/StageChain.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/Logger.h"
#include "decoder/StageTrace.h"
#include "decoder/ViewCorrection.h"
#include "decoder/data/ModuleSampler.h"

namespace qcl {
namespace {

// Points drawn around the centre disc's ellipse.
constexpr int kTracedEllipsePoints = 48;

cv::Point2d imageCenter(const cv::Mat& image) {
    return {image.cols * 0.5, image.rows * 0.5};
}

// Records a failure of the level at `stage` by the deepest-failure rule and hands the code on.
ErrorCode fail(const DecodeContext& context, ErrorCode code, Stage stage) {
    const DecodeStatus before = *context.status;
    context.status->record(code, stage);
    if (context.trace != nullptr && context.status->stage != before.stage) {
        context.trace->keepDeepest(stage);
    }
    return code;
}

// The trace's record of the current path, or null when nobody looks; `stage` found something.
StageTrace* tracePath(const DecodeContext& context, Stage stage) {
    if (context.trace == nullptr) {
        return nullptr;
    }
    context.trace->path.reachedStage = stage;
    return &context.trace->path;
}

std::vector<cv::Point2d> ringPoints(const std::vector<RingPoint>& ring) {
    std::vector<cv::Point2d> points;
    for (const RingPoint& point : ring) {
        points.emplace_back(point.position);
    }
    return points;
}

// Marks the modules readMaskedData just sampled, in conditioned-image coordinates.
void traceModules(const DecodeContext& context, const SamplingGrid& grid,
                  const ModuleList& modules) {
    StageTrace* path = tracePath(context, StageReadMaskedData);
    if (path == nullptr) {
        return;
    }
    std::vector<cv::Point2d> centres;
    for (const cv::Point& centre : moduleCentres(
             grid, imageCenter(*grid.image), context.startMarker->angle, *context.radialZebra)) {
        centres.emplace_back(centre);
    }
    centres = toConditioned(centres, *context.transform);
    path->modules.clear();
    for (std::size_t i = 0; i < centres.size() && i < modules.size(); ++i) {
        path->modules.push_back({centres[i], modules[i]});
    }
}

// One line of the stage trace for an alternative: indented by the stage index of its level.
void logAlternative(Stage stage, const char* text) {
    LogLine line = logDebug();
    if (line.enabled()) {
        line << std::string(static_cast<std::size_t>(stage), ' ') << text;
    }
}

// What the successful path knew, for callers that report more than the payload.
void recordDetails(const DecodeContext& context, const SamplingGrid& grid,
                   const FrameReport& report) {
    if (context.details == nullptr) {
        return;
    }
    SymbolDetails& details = *context.details;
    details.transform = *context.transform;
    details.frameSize = context.image->size();
    details.modulesPerRing = grid.modulesPerRing;
    details.ringCount = grid.ringCount;
    details.startMarkerAngle = context.startMarker->angle;
    details.outerRadius = context.radialZebra->outerEdge;
    details.mirrored = context.mirrored;
    details.frame = report;
}

double markerLength(const StartMarkerCandidate& candidate) {
    return cv::norm(candidate.outerPoint - candidate.innerPoint);
}

}  // namespace

std::vector<StartMarkerCandidate> candidatesToTry(std::vector<StartMarkerCandidate> candidates) {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const StartMarkerCandidate& a, const StartMarkerCandidate& b) {
                         if (a.plausibility != b.plausibility) {
                             return a.plausibility > b.plausibility;
                         }
                         return markerLength(a) > markerLength(b);
                     });
    std::vector<StartMarkerCandidate> tried;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (i == 0 || candidates[i].plausibility >= kMinPlausibilityOfLaterCandidates) {
            tried.push_back(candidates[i]);
        }
    }
    return tried;
}

std::vector<cv::Point2d> outerZebraStartPoints(const StartMarkerCandidate& marker,
                                               const cv::Point2d& center) {
    const cv::Point2d& outer = marker.outerPoint;
    const cv::Point2d& measured = marker.measuredOuterPoint;
    if (outer.x == measured.x && outer.y == measured.y) {
        return {outer};
    }
    if (cv::norm(measured - center) > cv::norm(outer - center)) {
        return {measured, outer};
    }
    return {outer, measured};
}

ErrorCode StageChain::findCenterLevel(const DecodeContext& context) const {
    logStage(StageFindCenter);
    cv::RotatedRect ellipse;
    ErrorCode code = stages_.findCenter(*context.binaryImage, ellipse);
    if (code != Success) {
        return fail(context, code, StageFindCenter);
    }
    if (StageTrace* path = tracePath(context, StageFindCenter)) {
        path->centreDisc = ellipsePoints(ellipse, kTracedEllipsePoints);
    }
    DecodeContext next = context;
    next.innerRadius =
        static_cast<double>(std::max(ellipse.size.width, ellipse.size.height) * 0.5f);

    const cv::Matx33d identity = cv::Matx33d::eye();
    next.transform = &identity;
    code = findInnerZebraLevel(next);
    if (code == Success) {
        return Success;
    }

    logAlternative(StageFindCenter, "|affine transform");
    cv::Mat corrected;
    const cv::Matx33d affine =
        affineCorrection(*context.binaryImage, ellipse, next.innerRadius, corrected);
    next.binaryImage = &corrected;
    next.transform = &affine;
    code = findInnerZebraLevel(next);
    return code == Success ? Success : fail(context, code, StageFindCenter);
}

ErrorCode StageChain::findInnerZebraLevel(const DecodeContext& context) const {
    logStage(StageFindInnerZebra);
    InnerZebra zebra;
    ErrorCode code = stages_.findInnerZebra(*context.binaryImage, context.innerRadius, zebra);
    if (code != Success) {
        return fail(context, code, StageFindInnerZebra);
    }
    if (StageTrace* path = tracePath(context, StageFindInnerZebra)) {
        path->innerZebra = toConditioned(ringPoints(zebra.edges), *context.transform);
    }
    DecodeContext next = context;
    next.modulesPerRing = 4 * zebra.slotCount;
    logTrace() << "modules per ring = " << next.modulesPerRing;

    code = perspectiveTransformLevel(next, false, zebra);
    if (code != Success) {
        code = perspectiveTransformLevel(next, true, zebra);
    }
    return code == Success ? Success : fail(context, code, StageFindInnerZebra);
}

ErrorCode StageChain::perspectiveTransformLevel(const DecodeContext& context, bool flipped,
                                                const InnerZebra& zebra) const {
    logStage(StagePerspectiveTransform);
    DecodeContext view = context;
    cv::Mat mirrored;
    cv::Matx33d mirroredTransform;
    if (flipped) {
        logAlternative(StagePerspectiveTransform, "|flipped image");
        mirroredTransform = mirrorView(*context.binaryImage, mirrored) * (*context.transform);
        view.binaryImage = &mirrored;
        view.transform = &mirroredTransform;
        view.mirrored = true;
    } else {
        logAlternative(StagePerspectiveTransform, "|normal image");
    }
    ErrorCode code = findStartMarkerLevel(view);
    if (code == Success) {
        return Success;
    }

    logAlternative(StagePerspectiveTransform, "|transform 1");
    cv::Mat corrected;
    cv::Matx33d homography;
    // Edge points that admit no homography leave nothing to try in this view.
    if (transform1(*view.binaryImage, zebra, corrected, homography)) {
        const cv::Matx33d composed = homography * (*view.transform);
        DecodeContext next = view;
        next.binaryImage = &corrected;
        next.transform = &composed;
        code = findStartMarkerLevel(next);
    }
    return code == Success ? Success : fail(context, code, StagePerspectiveTransform);
}

ErrorCode StageChain::findStartMarkerLevel(const DecodeContext& context) const {
    logStage(StageFindStartMarker);
    const std::vector<StartMarkerCandidate> candidates = candidatesToTry(
        stages_.findStartMarker(*context.binaryImage, context.innerRadius, context.modulesPerRing));
    if (candidates.empty()) {
        return fail(context, StartMarkerNotDetected, StageFindStartMarker);
    }
    ErrorCode code = StartMarkerNotDetected;
    for (const StartMarkerCandidate& candidate : candidates) {
        if (StageTrace* path = tracePath(context, StageFindStartMarker)) {
            const std::vector<cv::Point2d> ends =
                toConditioned({candidate.innerPoint, candidate.outerPoint}, *context.transform);
            path->markerInner = ends[0];
            path->markerOuter = ends[1];
        }
        DecodeContext next = context;
        next.startMarker = &candidate;
        code = findOuterZebraLevel(next);
        if (code == Success) {
            return Success;
        }
    }
    return fail(context, code, StageFindStartMarker);
}

ErrorCode StageChain::findOuterZebraLevel(const DecodeContext& context) const {
    logStage(StageFindOuterZebra);
    const cv::Point2d center = imageCenter(*context.binaryImage);
    const StartMarkerCandidate& marker = *context.startMarker;
    ErrorCode code = WrongNumberOfOuterZebraModules;
    for (const cv::Point2d& startPoint : outerZebraStartPoints(marker, center)) {
        OuterZebra zebra;
        code =
            stages_.findOuterZebra(*context.binaryImage, context.modulesPerRing, startPoint, zebra);
        if (code != Success) {
            continue;
        }
        if (StageTrace* path = tracePath(context, StageFindOuterZebra)) {
            path->outerZebra = toConditioned(ringPoints(zebra.modules), *context.transform);
        }
        StartMarkerCandidate moved = marker;
        moved.outerPoint = {std::cos(marker.angle) * zebra.radius + center.x,
                            std::sin(marker.angle) * zebra.radius + center.y};
        code = findRadialZebraLevel(context);
        if (code == Success) {
            return Success;
        }

        logAlternative(StageFindOuterZebra, "|transform 2");
        cv::Mat corrected;
        cv::Matx33d homography;
        code = stages_.applyTransform2(*context.binaryImage, zebra, moved, corrected, homography);
        if (code != Success) {
            continue;  // no usable correction from this ring: the attempt has failed
        }
        const cv::Matx33d composed = homography * (*context.transform);
        DecodeContext next = context;
        next.binaryImage = &corrected;
        next.transform = &composed;
        next.startMarker = &moved;
        code = findRadialZebraLevel(next);
        if (code == Success) {
            return Success;
        }
    }
    return fail(context, code, StageFindOuterZebra);
}

ErrorCode StageChain::findRadialZebraLevel(const DecodeContext& context) const {
    logStage(StageFindRadialZebra);
    const cv::Mat& binary = *context.binaryImage;
    const cv::Point2d center = imageCenter(binary);
    const StartMarkerCandidate& marker = *context.startMarker;
    const double a = marker.angle;
    const double twoModules = 4.0 * CV_PI / context.modulesPerRing;

    const auto rIn = static_cast<std::int32_t>(std::lround(cv::norm(marker.innerPoint - center)));
    const std::int32_t limit = (9 * rIn) / 10;
    const auto rOut = static_cast<std::int32_t>(std::lround(cv::norm(marker.outerPoint - center)));
    const std::int32_t p1 =
        stages_.radialProbe(binary, twoModules, a + twoModules / 2, limit, true);
    const std::int32_t p0 = stages_.radialProbe(binary, twoModules, a, limit, false);
    if (!(p0 < p1 && p1 < rOut)) {
        return fail(context, RadialZebraNotDetected, StageFindRadialZebra);
    }
    const RadialZebra zebra =
        stages_.findRadialZebra(binary, twoModules, a + twoModules, p1, rOut, p0);
    if (zebra.ringCount < 2) {
        logTrace() << "no Radial Zebra found on the right of the start marker";
        return fail(context, RadialZebraNotDetected, StageFindRadialZebra);
    }

    const cv::Mat warped =
        stages_.warpInputImage(binary, *context.image, *context.transform, marker);
    DecodeContext next = context;
    next.image = &warped;
    next.radialZebra = &zebra;
    const ErrorCode code = readMaskedDataLevel(next);
    return code == Success ? Success : fail(context, code, StageFindRadialZebra);
}

ErrorCode StageChain::readMaskedDataLevel(const DecodeContext& context) const {
    logStage(StageReadMaskedData);
    const cv::Mat& image = *context.image;
    const RadialZebra& zebra = *context.radialZebra;
    SamplingGrid grid;
    grid.image = &image;
    grid.codeType = context.parameters.codeType;
    grid.modulesPerRing = context.modulesPerRing;
    grid.ringCount = zebra.ringCount;
    grid.bitsPerModule = context.parameters.codeType == CodeType::Color ? 3 : 1;
    grid.threshold = context.threshold;

    ModuleList masked;
    try {
        masked =
            stages_.readMaskedData(grid, imageCenter(image), context.startMarker->angle, zebra);
    } catch (const QCException& error) {
        // A grid that reaches outside the image is a wrong guess of this path, not of the image:
        // the search goes on with the next alternative.
        if (error.code != WrongGrid) {
            throw;
        }
        return fail(context, WrongGrid, StageReadMaskedData);
    }
    traceModules(context, grid, masked);

    ErrorCode code = decodeModules(context, grid, masked);
    if (code != Success && stages_.readModulesByGrey && grid.bitsPerModule == 1) {
        logAlternative(StageReadMaskedData, "|grey levels");
        const ModuleList grey =
            stages_.readModulesByGrey(grid, imageCenter(image), context.startMarker->angle, zebra);
        // The grey reading weighs its modules: its doubtful bytes are erased, so even the same
        // values as the threshold reading's may decode.
        if (!grey.empty()) {
            traceModules(context, grid, moduleValues(grey));
            code = decodeModules(context, grid, grey);
        }
    }
    return code == Success ? Success : fail(context, code, StageReadMaskedData);
}

ErrorCode StageChain::decodeModules(const DecodeContext& context, const SamplingGrid& grid,
                                    const ModuleList& masked) const {
    ErrorCode code = WrongGrid;
    FrameReport report;
    for (int mask = 0; mask < kMaskCount; ++mask) {
        ModuleList modules = masked;
        code = stages_.applyMaskAndLayout(grid, modules, mask, context.parameters.layout);
        if (code == Success) {
            code = stages_.decodeFrame(grid, modules, context.payload, context.payloadType,
                                       context.eccType, &report);
        }
        if (code == Success) {
            recordDetails(context, grid, report);
            if (context.trace != nullptr) {
                context.trace->found = context.trace->path;
            }
            return Success;
        }
    }
    return code;
}

}  // namespace qcl

// Runs the reader's detection stages and module sampling on one image along the plain path only:
// no affine, mirrored or corrected view, the first start-marker candidate and no transform 2.
// A symbol drawn head-on needs nothing else, so benchmarks of single stages can look at
// every intermediate result without the stage chain's search.
#pragma once

#include <opencv2/core.hpp>

#include <string>
#include <vector>

#include "common/CodeTypes.h"
#include "common/ErrorCodes.h"
#include "common/Stage.h"
#include "decoder/DecodeTypes.h"
#include "decoder/data/SamplingGrid.h"
#include "support/SymbolFixtures.h"

namespace qcl::test {

struct PlainPath {
    ErrorCode code = Success;   // first failure, Success when the modules were sampled
    Stage stage = StageDecode;  // the stage that failed (or the last one run)
    cv::Mat binary;             // working image (the centre disc painted in)
    int threshold = 0;
    cv::Point2d center;  // of the centre disc's ellipse
    double innerRadius = 0.0;
    InnerZebra innerZebra;
    ErrorCode innerZebraCode = Success;  // kept when a known modulesPerRing stood in for it
    std::int32_t modulesPerRing = 0;
    std::vector<StartMarkerCandidate> candidates;  // those the stage chain tries, in its order
    OuterZebra outerZebra;
    cv::Point2d outerStartPoint;  // the start point at which the outer zebra was found
    RadialZebra radialZebra;
    std::int32_t radialZebraStart = 0;  // p1: where the walk along the radial zebra began
    cv::Mat warped;                     // input image in the working frame, three channels
    ModuleList modules;                 // masked modules, outermost ring first
};

// Stops at the first stage that fails (first binarisation, Otsu, only). The first start-marker
// candidate is used; where the chain would try two outer-zebra start points, the first at which
// the outer zebra is found is used.
// With knownModulesPerRing > 0 a failed inner zebra does not stop the path: that count is used
// instead, so the later stages can be looked at on their own.
PlainPath runPlainPath(const cv::Mat& image, CodeType codeType,
                       std::int32_t knownModulesPerRing = 0);

struct RenderedPath {
    TestSymbol symbol;
    PlainPath path;
    std::string error;  // what() of an exception the path threw, empty otherwise
};

// Renders the symbol and runs the plain path on it (the drawn modules-per-ring standing in for a
// failed inner zebra), once per setup and program.
const RenderedPath& renderedPlainPath(const SymbolSetup& setup);

}  // namespace qcl::test

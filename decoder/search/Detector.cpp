#include "decoder/search/Detector.h"

#include <algorithm>
#include <cmath>

#include "decoder/search/DiscScan.h"

namespace qcl {
namespace {

// A disc larger than this share of the picture's shorter side leaves no room for its symbol.
constexpr double kMaxDiscShare = 0.15;
// The inner zebra's black reaches two pitches beyond the disc less the white gap at its top
// (a fifth of a pitch): its measured reach is about 1.8 pitches.
constexpr double kSpokePitches = 1.8;
// Without that reach, the disc itself: its radius is 0.75 to 1 pitch.
constexpr double kDiscPitches = 0.85;
// A rim not yet measured lies at most this many pitches beyond the disc (nine rings and the
// three pitches of the zebras).
constexpr double kMaxRimPitches = 12.0;

double pitchOf(const DiscEvidence& evidence, double discRadius) {
    return evidence.spokeLength > 0.0 ? evidence.spokeLength / kSpokePitches
                                      : discRadius / kDiscPitches;
}

// The hypothesis of a disc, when what it shows is a symbol's.
bool makeHypothesis(const cv::Mat& grey, const cv::Mat& binary, const DiscBlob& blob,
                    double toCaller, const DetectorOptions& options, Hypothesis& h) {
    const DiscEvidence evidence = measureEvidence(grey, binary, blob);
    // A symbol shows its outer zebra, or failing that (blur, a slant, damage) the quiet zone
    // round it: texture and noise show discs with a marker-like run often enough, but the ring
    // of modules or the white ring round them rarely.
    const bool symbolLike = evidence.reached == Evidence::OuterZebra || evidence.quietZone;
    if (evidence.reached < options.minEvidence || !symbolLike) {
        return false;
    }
    const cv::Point2d centre(blob.ellipse.center);
    // Pixel centres back to the caller's: x -> (x + 0.5) / scale - 0.5.
    const auto back = [toCaller](double v) { return (v + 0.5) * toCaller - 0.5; };
    h.center = cv::Point2d(back(centre.x), back(centre.y));
    h.disc = cv::RotatedRect(cv::Point2f(h.center),
                             blob.ellipse.size * static_cast<float>(toCaller), blob.ellipse.angle);
    h.discRadius = blob.radius * toCaller;
    h.pitch = pitchOf(evidence, blob.radius) * toCaller;
    h.rimMeasured = evidence.rimRadius > 0.0;
    h.quietZone = evidence.quietZone;
    h.outerRadius =
        h.rimMeasured ? evidence.rimRadius * toCaller : h.discRadius + kMaxRimPitches * h.pitch;
    if (h.outerRadius < options.minRimRadius || h.discRadius < options.minDiscRadius) {
        return false;
    }
    h.evidence = evidence.reached;
    const double axes = std::min(blob.ellipse.size.width, blob.ellipse.size.height) /
                        std::max(blob.ellipse.size.width, blob.ellipse.size.height);
    h.score = axes * h.discRadius;
    return true;
}

}  // namespace

std::vector<Hypothesis> detectSymbols(SearchImage& image, const DetectorOptions& options) {
    const cv::Mat& grey = image.detectionGrey();
    if (grey.cols < 8 || grey.rows < 8) {
        return {};
    }
    const cv::Mat& binary = image.detectionBinary();
    const double toCaller = 1.0 / image.detectionScale();
    DiscScanOptions scan;
    scan.minRadius = std::max(scan.minRadius, options.minDiscRadius * image.detectionScale());
    scan.maxRadius = std::max(scan.minRadius, kMaxDiscShare * std::min(grey.cols, grey.rows));

    std::vector<Hypothesis> found;
    const auto consider = [&](const DiscBlob& blob) {
        Hypothesis h;
        if (makeHypothesis(grey, binary, blob, toCaller, options, h)) {
            found.push_back(h);
        }
    };
    for (const DiscBlob& blob : scanForDiscs(binary, scan)) {
        consider(blob);
    }
    // A disc that damage has bitten into (a blot inside it, a black centre) is no ellipse the scan
    // accepts. Where the scan found nothing, the white area at the middle of the picture's dark
    // pixels is taken whole: that is where a symbol that fills the picture has its disc.
    DiscBlob middle;
    if (found.empty() && discAtMiddle(binary, scan, middle)) {
        consider(middle);
    }
    std::stable_sort(found.begin(), found.end(), [](const Hypothesis& a, const Hypothesis& b) {
        return a.evidence != b.evidence ? a.evidence > b.evidence : a.score > b.score;
    });
    std::vector<Hypothesis> kept;
    for (const Hypothesis& h : found) {
        if (static_cast<int>(kept.size()) >= options.maxHypotheses) {
            break;
        }
        const bool seen = std::any_of(kept.begin(), kept.end(), [&](const Hypothesis& k) {
            return cv::norm(k.center - h.center) < std::max(k.discRadius, h.discRadius);
        });
        if (!seen) {
            kept.push_back(h);
        }
    }
    return kept;
}

}  // namespace qcl

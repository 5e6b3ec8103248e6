#include "decoder/search/Detector.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "decoder/search/DiscScan.h"
#include "decoder/search/RimRectifier.h"
#include "decoder/search/RingSamples.h"

#include <opencv2/imgproc.hpp>

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

// A disc tilted by 45 degrees is this share of its radius across its minor axis.
constexpr double kSlantedMinorShare = 0.7;
// Notches of 32 modules per ring and more (eight, less one the marker may merge): a count that
// texture gives a disc only by chance.
constexpr int kConvincingNotches = 7;
// Share of a measured rim's radius that must lie inside the picture on every side.
constexpr double kMinRimInside = 0.75;
// Discs of a reduced picture smaller than this (px there) are looked at again in the caller's
// pixels when they showed too little: the window reaches this many disc radii round them (the
// quiet zone of nine rings lies within 16), and the disc sought there is of this share of the
// reduced one's radius.
constexpr double kCloserLookRadius = 8.0;
constexpr double kCloserLookReach = 18.0;
// Where the disc's own grey and the black floor round it are read (disc radii), and how far apart
// they must be (grey levels) for a threshold between them.
constexpr double kCloserLookInside = 0.4;
constexpr double kFloorRing = 1.15;
constexpr double kMinCloserLookContrast = 12.0;
constexpr double kCloserLookMinShare = 0.6;
constexpr double kCloserLookMaxShare = 1.6;
// A disc still smaller than this (px radius) in the caller's pixels is enlarged for the closer
// look until it is this large, by a whole factor of at most kMaxEnlargement: the notches of a
// 120 px symbol are a pixel or two wide, and the marker thinner.
constexpr double kCloserLookDisc = 8.0;
constexpr double kMaxEnlargement = 3.0;
// Tiny discs of a picture looked at closer where no disc showed an outer zebra: a symbol's
// disc is among the most contrasted of them, and each look costs an enlarged window.
constexpr int kMaxTinyLooks = 8;
// Discs that showed only their floor, largest first, whose dark area is looked at for a rim where
// the picture showed nothing else.
constexpr std::size_t kMaxFloorLooks = 4;

double pitchOf(const DiscEvidence& evidence, double discRadius) {
    return evidence.spokeLength > 0.0 ? evidence.spokeLength / kSpokePitches
                                      : discRadius / kDiscPitches;
}

// A symbol shows its outer zebra, or failing that (blur, a slant, damage) the quiet zone round
// it, or eight notches or more evenly spaced round its disc: texture and noise show discs with a
// marker-like run often enough, but the ring of modules, the white ring round them or so many
// even notches rarely.
bool symbolLike(const DiscEvidence& evidence, const DetectorOptions& options) {
    return evidence.reached >= options.minEvidence &&
           (evidence.reached == Evidence::OuterZebra || evidence.quietZone ||
            evidence.notches >= kConvincingNotches);
}

// A disc and what it showed, measured on a picture whose pixel x lies at caller pixel
// (x + 0.5) * toCaller - 0.5 + origin.
struct Measured {
    DiscBlob blob;
    DiscEvidence evidence;
    double toCaller = 1.0;
    cv::Point2d origin;
};

// The hypothesis of a disc that showed a symbol; false when it is too small for one.
bool makeHypothesis(const Measured& m, const DetectorOptions& options, Hypothesis& h) {
    const double toCaller = m.toCaller;
    const cv::Point2d centre(m.blob.ellipse.center);
    const auto back = [&](double v, double origin) { return (v + 0.5) * toCaller - 0.5 + origin; };
    h.center = cv::Point2d(back(centre.x, m.origin.x), back(centre.y, m.origin.y));
    h.disc =
        cv::RotatedRect(cv::Point2f(h.center), m.blob.ellipse.size * static_cast<float>(toCaller),
                        m.blob.ellipse.angle);
    h.discRadius = m.blob.radius * toCaller;
    h.pitch = pitchOf(m.evidence, m.blob.radius) * toCaller;
    h.rimMeasured = m.evidence.rimRadius > 0.0;
    h.quietZone = m.evidence.quietZone;
    h.outerRadius =
        h.rimMeasured ? m.evidence.rimRadius * toCaller : h.discRadius + kMaxRimPitches * h.pitch;
    // A tilt narrows the disc but leaves its longer axis: that is the symbol's size.
    const double discMajor = 0.5 * std::max(h.disc.size.width, h.disc.size.height);
    if (h.outerRadius < options.minRimRadius || discMajor < options.minDiscRadius) {
        return false;
    }
    h.evidence = m.evidence.reached;
    const double axes = std::min(m.blob.ellipse.size.width, m.blob.ellipse.size.height) /
                        std::max(m.blob.ellipse.size.width, m.blob.ellipse.size.height);
    h.score = axes * h.discRadius;
    return true;
}

// True unless the hypothesis's measured rim reaches well beyond the picture: the stage chain reads
// no symbol with a quarter of its rings cut off, and a large round thing whose "rim" lies far
// outside (a plate, a ring of a pattern) is no symbol.
bool insidePicture(const Hypothesis& h, cv::Size picture) {
    if (!h.rimMeasured) {
        return true;  // an estimate of the largest symbol such a disc could have
    }
    const double room =
        std::min({h.center.x + 0.5, h.center.y + 0.5, picture.width - 0.5 - h.center.x,
                  picture.height - 0.5 - h.center.y});
    return room >= kMinRimInside * h.outerRadius;
}

// A disc that showed its notches, or a blur's dark surroundings, but no marker to a quiet zone
// (a small symbol's marker breaks, a busy background leaves no white ring): its rim as the outline
// of the dark area round it, when that is concentric with the disc and holds modules.
void rimOfDarkArea(const EvidenceImages& images, Measured& m) {
    cv::RotatedRect rim;
    if (!findRim(images.grey, m.blob.ellipse, rim)) {
        return;
    }
    const double radius = 0.5 * std::max(rim.size.width, rim.size.height);
    if (showsModules(images, m.blob, radius)) {
        m.evidence.rimRadius = radius;
        m.evidence.quietZone = true;
    }
}

// A small disc looked at again in the caller's own pixels (a reduced picture's disc) and, where
// it is still only a few pixels across, enlarged, so that the notches, the marker and the thin
// quiet zone of a small symbol show: the window round it is thresholded halfway between the
// disc's grey and the black ringing it, and the disc nearest its middle measured. `caller` is the
// disc in the caller's pixels. False when the window shows no disc there.
bool closerLook(SearchImage& image, const DiscBlob& caller, const DiscScanOptions& scan,
                Measured& m) {
    const cv::Point2d centre(caller.ellipse.center);
    const double radius = caller.radius;
    const int half = static_cast<int>(std::ceil(kCloserLookReach * radius));
    const cv::Rect window =
        cv::Rect(cvRound(centre.x) - half, cvRound(centre.y) - half, 2 * half + 1, 2 * half + 1) &
        cv::Rect(0, 0, image.image().cols, image.image().rows);
    if (window.width < 8 || window.height < 8) {
        return false;
    }
    const double enlarge = std::clamp(std::ceil(kCloserLookDisc / radius), 1.0, kMaxEnlargement);
    cv::Mat grey = image.greyRegion(window);
    if (enlarge > 1.0) {
        cv::resize(grey, grey, cv::Size(), enlarge, enlarge, cv::INTER_CUBIC);
    }
    // Window pixel x lies at (x + 0.5) / enlarge - 0.5 in the window's caller pixels.
    const auto toWindow = [&](double v) { return (v + 0.5) * enlarge - 0.5; };
    const cv::Point2d middle(toWindow(centre.x - window.x), toWindow(centre.y - window.y));
    const cv::RotatedRect disc0(cv::Point2f(middle),
                                caller.ellipse.size * static_cast<float>(enlarge),
                                caller.ellipse.angle);
    // One threshold for the window: at this size a symbol is too small for light to change
    // across it.
    const double light = sampleRing(grey, grey, disc0, kCloserLookInside).meanGrey;
    const double dark = sampleRing(grey, grey, disc0, kFloorRing).meanGrey;
    if (light - dark < kMinCloserLookContrast) {
        return false;
    }
    const int threshold = static_cast<int>(0.5 * (light + dark));
    cv::Mat binary;
    cv::threshold(grey, binary, threshold, 255, cv::THRESH_BINARY);
    const double windowRadius = radius * enlarge;
    DiscScanOptions near = scan;
    near.minRadius = std::max(scan.minRadius, kCloserLookMinShare * windowRadius);
    near.maxRadius = std::max(near.minRadius, kCloserLookMaxShare * windowRadius);
    DiscBlob disc;
    if (!discThrough(binary, cv::Point(cvRound(middle.x), cvRound(middle.y)), near, disc) ||
        cv::norm(cv::Point2d(disc.ellipse.center) - middle) > windowRadius) {
        return false;
    }
    const EvidenceImages images{grey, binary, light - dark};
    m.blob = disc;
    m.evidence = measureEvidence(images, disc);
    m.toCaller = 1.0 / enlarge;
    m.origin = cv::Point2d(window.tl());
    return true;
}

// A disc of the detection picture in the caller's pixels.
DiscBlob inCaller(const DiscBlob& blob, double toCaller) {
    const cv::Point2f centre((blob.ellipse.center.x + 0.5f) * static_cast<float>(toCaller) - 0.5f,
                             (blob.ellipse.center.y + 0.5f) * static_cast<float>(toCaller) - 0.5f);
    return DiscBlob{cv::RotatedRect(centre, blob.ellipse.size * static_cast<float>(toCaller),
                                    blob.ellipse.angle),
                    blob.radius * toCaller};
}

// The discs only a few pixels across that showed their black floor but nothing more, looked at
// closer, enlarged, the most contrasted first: a small symbol's disc is white against the black
// of its zebra, where texture and noise leave greys between; at most kMaxTinyLooks of them, each
// handed to `accept` when the look found a disc. Called only where no disc showed an outer zebra:
// a page of specks would otherwise pay for a look at every one.
template <typename Accept>
void lookAtTinyDiscs(SearchImage& image, const EvidenceImages& images,
                     const std::vector<DiscBlob>& discs, const DiscScanOptions& scan,
                     const Accept& accept) {
    std::vector<std::pair<double, const DiscBlob*>> ranked;
    for (const DiscBlob& disc : discs) {
        const double light =
            sampleRing(images.grey, images.grey, disc.ellipse, kCloserLookInside).meanGrey;
        const double dark = sampleRing(images.grey, images.grey, disc.ellipse, kFloorRing).meanGrey;
        ranked.emplace_back(light - dark, &disc);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    const std::size_t looks = std::min(ranked.size(), static_cast<std::size_t>(kMaxTinyLooks));
    for (std::size_t i = 0; i < looks; ++i) {
        Measured m;
        if (closerLook(image, *ranked[i].second, scan, m)) {
            accept(m);
        }
    }
}

// The tiny discs seen at a slant, narrower across than the least radius the scan takes, added to
// `discs`: the scan again with that bound lowered, in a picture looked at at its own size and not
// noisy (what the median leaves of noise is specks of every slant).
void addSlantedTinyDiscs(SearchImage& image, const EvidenceImages& images,
                         const DiscScanOptions& scan, std::vector<DiscBlob>& discs) {
    if (image.noisy() || image.detectionScale() != 1.0) {
        return;
    }
    DiscScanOptions slanted = scan;
    slanted.minRadius = std::max(DiscScanOptions{}.minRadius, kSlantedMinorShare * scan.minRadius);
    for (const DiscBlob& blob : scanForDiscs(images.binary, slanted)) {
        const float minor = 0.5f * std::min(blob.ellipse.size.width, blob.ellipse.size.height);
        if (minor < scan.minRadius && blob.radius < kCloserLookDisc &&
            measureEvidence(images, blob).floorSeen) {
            discs.push_back(blob);
        }
    }
}

// The hypotheses best first (deepest evidence, then roundness and size), at most `count`, none
// centred within the disc of a better one.
std::vector<Hypothesis> bestApart(std::vector<Hypothesis> found, int count) {
    std::stable_sort(found.begin(), found.end(), [](const Hypothesis& a, const Hypothesis& b) {
        return a.evidence != b.evidence ? a.evidence > b.evidence : a.score > b.score;
    });
    std::vector<Hypothesis> kept;
    for (const Hypothesis& h : found) {
        if (static_cast<int>(kept.size()) >= count) {
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

    const EvidenceImages images{grey, binary, image.detectionContrast()};
    std::vector<Hypothesis> found;
    std::vector<DiscBlob> tinyDiscs;  // for a closer look where no disc shows an outer zebra
    std::vector<Measured> floorOnly;  // discs that showed their black floor and nothing more
    const auto keep = [&](const Measured& m) {
        Hypothesis h;
        if (symbolLike(m.evidence, options) && makeHypothesis(m, options, h) &&
            insidePicture(h, image.image().size())) {
            found.push_back(h);
            return true;
        }
        return false;
    };
    const auto consider = [&](const DiscBlob& blob) {
        Measured m{blob, measureEvidence(images, blob), toCaller, cv::Point2d(0.0, 0.0)};
        const bool small = toCaller > 1.0 && blob.radius < kCloserLookRadius;
        const bool closer = !symbolLike(m.evidence, options) && small && m.evidence.floorSeen &&
                            closerLook(image, inCaller(blob, toCaller), scan, m);
        // (After a closer look the disc is measured in a window of its own, not in `images`.)
        if (!closer && !symbolLike(m.evidence, options) && m.evidence.reached >= Evidence::Disc) {
            rimOfDarkArea(images, m);
        }
        const bool tiny = toCaller == 1.0 && blob.radius < kCloserLookDisc;
        // A tiny disc that showed a symbol is measured again enlarged, where its pitch and rim
        // come out of more than a few pixels.
        // A disc looked at so already is not looked at again among the tiny ones: the look would
        // measure the same.
        const bool lookedCloser = tiny && symbolLike(m.evidence, options);
        Measured enlarged;
        if (lookedCloser && closerLook(image, blob, scan, enlarged) &&
            symbolLike(enlarged.evidence, options)) {
            m = enlarged;
        }
        if (!keep(m) && tiny && !lookedCloser && m.evidence.floorSeen) {
            tinyDiscs.push_back(blob);
        } else if (!tiny && m.evidence.floorSeen && m.evidence.reached == Evidence::None) {
            floorOnly.push_back(m);
        }
    };
    for (const DiscBlob& blob : scanForDiscs(binary, scan)) {
        consider(blob);
    }
    // A disc that damage has bitten into (a blot inside it, a black centre) is no ellipse the scan
    // accepts. Where the scan found nothing, the white area at the middle of the picture's dark
    // pixels is taken whole: that is where a symbol that fills the picture has its disc.
    DiscBlob middle;
    DiscBlob enclosing;
    if (found.empty() && discAtMiddle(binary, scan, middle, &enclosing)) {
        consider(middle);
        if (found.empty() && enclosing.radius <= scan.maxRadius) {
            consider(enclosing);
        }
    }
    // A smear along one direction merges the notches on two sides of the disc and leaves them on
    // the others: neither a count of even notches nor a blur's uniform ring. Where nothing was
    // found, the discs that showed their floor, most contrasted first, are a symbol's when the
    // dark area round them has a symbol's rim and modules.
    if (found.empty()) {
        std::stable_sort(
            floorOnly.begin(), floorOnly.end(),
            [](const Measured& a, const Measured& b) { return a.blob.radius > b.blob.radius; });
        for (std::size_t i = 0; i < std::min(floorOnly.size(), kMaxFloorLooks); ++i) {
            Measured& m = floorOnly[i];
            rimOfDarkArea(images, m);
            if (m.evidence.quietZone) {
                m.evidence.reached = Evidence::Disc;
                keep(m);
            }
        }
    }
    // The tiny discs are looked at where no disc showed the outer zebra, the mark a symbol leaves
    // that texture does not: a false hypothesis of a speck must not hide a small symbol.
    const bool zebraSeen = std::any_of(found.begin(), found.end(), [](const Hypothesis& h) {
        return h.evidence == Evidence::OuterZebra;
    });
    if (!zebraSeen) {
        addSlantedTinyDiscs(image, images, scan, tinyDiscs);
        // Noise enlarged shows a zebra-like ring now and then: a tiny disc needs the white ring
        // round its symbol or the zebra's notches as well.
        lookAtTinyDiscs(image, images, tinyDiscs, scan, [&](const Measured& m) {
            return (m.evidence.quietZone || m.evidence.notches >= kConvincingNotches) && keep(m);
        });
    }
    return bestApart(std::move(found), options.maxHypotheses);
}

}  // namespace qcl

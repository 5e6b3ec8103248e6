#include "support/SymbolFixtures.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "support/SeededRandom.h"

namespace qcl::test {

namespace {
constexpr int kModulesPerRingChoices[] = {16, 32, 48, 64, 80};
// A reading with this share of modules right stands in for a successful frame decode.
constexpr double kDecodedShare = 0.95;
// Largest symbol the sweeps draw into a 640-px image (8 px quiet zone on each side remain).
constexpr double kLargestDiameter = 620.0;
}  // namespace

ModuleList randomModules(std::int32_t modulesPerRing, std::int32_t ringCount, CodeType codeType,
                         std::uint32_t seed) {
    SeededRandom random(seed);
    const int maxValue = codeType == CodeType::Color ? 7 : 1;
    ModuleList modules(static_cast<std::size_t>((modulesPerRing - kNonDataSlots) * ringCount));
    for (auto& v : modules) {
        v = static_cast<std::uint8_t>(random.uniformInt(0, maxValue));
    }
    return modules;
}

RenderOptions renderOptionsFor(const SymbolSetup& setup) {
    RenderOptions options;
    options.ringPitch = setup.pitch;
    options.diameter = setup.diameter;
    options.imageSize = setup.imageSize;
    options.startAngle = setup.rotation;
    options.blackCenter = setup.blackCenter;
    options.mirrored = setup.mirrored;
    return options;
}

TestSymbol renderTestSymbol(const SymbolSetup& setup, const ModuleList& modules) {
    const SymbolRenderer renderer(setup.modulesPerRing, setup.ringCount, setup.codeType,
                                  renderOptionsFor(setup));
    TestSymbol symbol;
    symbol.modules = modules;
    symbol.image = renderer.render(modules);
    symbol.geometry = renderer.geometry();
    return symbol;
}

TestSymbol renderTestSymbol(const SymbolSetup& setup) {
    return renderTestSymbol(
        setup, randomModules(setup.modulesPerRing, setup.ringCount, setup.codeType, setup.seed));
}

std::ostream& operator<<(std::ostream& os, const SymbolSetup& setup) {
    os << "M=" << setup.modulesPerRing << " D=" << setup.ringCount << " " << setup.codeType;
    if (setup.pitch > 0) {
        os << " pitch=" << setup.pitch;
    } else if (setup.diameter > 0) {
        os << " diameter=" << setup.diameter;
    }
    os << " image=" << setup.imageSize.width << "x" << setup.imageSize.height
       << " rotation=" << setup.rotation << " seed=" << setup.seed;
    if (setup.blackCenter) {
        os << " blackCenter";
    }
    if (setup.mirrored) {
        os << " mirrored";
    }
    return os;
}

std::vector<SymbolSetup> standardSymbolSetups(std::uint32_t seed, int rotationsPerShape) {
    SeededRandom random(seed);
    std::vector<SymbolSetup> setups;
    for (int m : kModulesPerRingChoices) {
        const double smallest = minimumRingPitch(m);
        // {rings, pitch, diameter}: smallest pitch, a middle size, the largest diameter.
        const struct {
            int rings;
            double pitch;
            double diameter;
        } shapes[] = {
            {2, smallest, 0}, {3, smallest + 3, 0}, {5, 0, 460}, {9, 0, kLargestDiameter}};
        for (const auto& shape : shapes) {
            for (int r = 0; r < rotationsPerShape; ++r) {
                SymbolSetup setup;
                setup.modulesPerRing = m;
                setup.ringCount = shape.rings;
                setup.pitch = shape.pitch;
                setup.diameter = shape.diameter;
                setup.rotation = random.uniformReal(0.0, 2.0 * CV_PI);
                setup.seed = static_cast<std::uint32_t>(random.uniformInt(1, 1 << 30));
                setup.codeType = r % 2 == 1 ? CodeType::Color : CodeType::BlackAndWhite;
                setups.push_back(setup);
            }
        }
    }
    return setups;
}

namespace {

double shareRight(const ModuleList& read, const ModuleList& truth) {
    if (read.size() != truth.size() || truth.empty()) {
        return 0.0;
    }
    std::size_t right = 0;
    for (std::size_t i = 0; i < truth.size(); ++i) {
        right += read[i] == truth[i];
    }
    return static_cast<double>(right) / static_cast<double>(truth.size());
}

}  // namespace

ReadBack readBackSymbol(const TestSymbol& symbol, CodeType codeType) {
    const SymbolGeometry& g = symbol.geometry;
    // Truth radii in pixels of the reader's working image.
    const double longer = std::max(symbol.image.cols, symbol.image.rows);
    const double toWorking = longer > 640.0 ? 640.0 / longer : 1.0;
    ReadBack result;
    bool firstSeen = false;
    bool pathGood = false;
    bool plainInnerZebra = false;
    int innerZebraSearches = 0;
    int markerSearches = 0;
    StageFunctions stages = realStages();
    const auto innerZebra = stages.findInnerZebra;
    stages.findInnerZebra = [&](const cv::Mat& binary, double radius, InnerZebra& zebra) {
        const ErrorCode code = innerZebra(binary, radius, zebra);
        if (++innerZebraSearches == 1) {
            plainInnerZebra = code == Success;
        }
        if (result.modulesPerRing == 0 && code == Success) {
            result.modulesPerRing = 4 * zebra.slotCount;
        }
        return code;
    };
    const auto startMarker = stages.findStartMarker;
    stages.findStartMarker = [&](const cv::Mat& binary, double radius, std::int32_t m) {
        std::vector<StartMarkerCandidate> found = startMarker(binary, radius, m);
        if (++markerSearches == 1) {
            result.markerCandidates = static_cast<std::int32_t>(found.size());
            for (const StartMarkerCandidate& c : found) {
                if (c.plausibility > result.markerPlausibility) {
                    result.markerPlausibility = c.plausibility;
                    result.markerAngleError =
                        std::remainder(c.angle - g.startAngle, 2.0 * CV_PI) / g.moduleAngle();
                }
            }
        }
        return found;
    };
    const auto radialZebra = stages.findRadialZebra;
    stages.findRadialZebra = [&](const cv::Mat& binary, double s, double a, std::int32_t p1,
                                 std::int32_t rOut, std::int32_t p0) {
        const RadialZebra zebra = radialZebra(binary, s, a, p1, rOut, p0);
        if (result.ringCount == 0 && zebra.ringCount >= 2) {
            result.ringCount = zebra.ringCount;
            result.firstRingError = zebra.firstRingRadius - g.ringCenterRadius(0) * toWorking;
            result.lastRingError =
                zebra.lastRingRadius - g.ringCenterRadius(g.ringCount - 1) * toWorking;
        }
        return zebra;
    };
    const auto readModules = stages.readMaskedData;
    stages.readMaskedData = [&](const SamplingGrid& grid, const cv::Point2d& centre, double angle,
                                const RadialZebra& zebra) {
        ModuleList read = readModules(grid, centre, angle, zebra);
        const double share = shareRight(read, symbol.modules);
        pathGood = share >= kDecodedShare;
        if (!firstSeen || pathGood) {
            result.moduleAccuracy = share;
        }
        if (!firstSeen) {
            result.firstPath = pathGood && plainInnerZebra && markerSearches == 1;
            firstSeen = true;
        }
        return read;
    };
    stages.decodeFrame = [&](const SamplingGrid&, const ModuleList&, std::string* payload,
                             std::uint8_t*, std::uint8_t*) {
        if (!pathGood) {
            return EccCannotCorrect;
        }
        *payload = "modules";
        return Success;
    };
    DecodeParameters parameters;
    parameters.codeType = codeType;
    try {
        decode(parameters, symbol.image, true, stages);
        result.decoded = true;
    } catch (const QCException& error) {
        result.failure = error.code;
    }
    return result;
}

std::ostream& operator<<(std::ostream& os, const ReadBack& r) {
    os << (r.decoded ? "decoded" : "failed") << (r.firstPath ? " (first path)" : "")
       << " failure=" << static_cast<int>(r.failure) << " M=" << r.modulesPerRing
       << " candidates=" << r.markerCandidates << " score=" << r.markerPlausibility
       << " angleError=" << r.markerAngleError << " rings=" << r.ringCount
       << " firstRingError=" << r.firstRingError << " lastRingError=" << r.lastRingError
       << " accuracy=" << r.moduleAccuracy;
    return os;
}

cv::Mat gaussianBlur(const cv::Mat& image, double sigma) {
    cv::Mat out;
    cv::GaussianBlur(image, out, cv::Size(0, 0), sigma);
    return out;
}

cv::Mat addGaussianNoise(const cv::Mat& image, double sigma, std::uint32_t seed) {
    cv::Mat noise(image.size(), CV_32FC(image.channels()));
    cv::RNG rng(seed);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, sigma);
    cv::Mat sum;
    image.convertTo(sum, noise.type());
    sum += noise;
    cv::Mat out;
    sum.convertTo(out, image.type());
    return out;
}

cv::Mat jpegRoundTrip(const cv::Mat& image, int quality) {
    std::vector<uchar> buffer;
    if (!cv::imencode(".jpg", image, buffer, {cv::IMWRITE_JPEG_QUALITY, quality})) {
        throw std::runtime_error("JPEG encoding failed");
    }
    return cv::imdecode(buffer, cv::IMREAD_COLOR);
}

cv::Mat rotateAndScale(const cv::Mat& image, double angle, double scale) {
    const cv::Point2f centre(image.cols / 2.0f, image.rows / 2.0f);
    // getRotationMatrix2D turns counter-clockwise on screen for a positive angle in degrees.
    const cv::Mat map = cv::getRotationMatrix2D(centre, -angle * 180.0 / CV_PI, scale);
    cv::Mat out;
    cv::warpAffine(image, out, map, image.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar::all(255));
    return out;
}

cv::Mat tilt(const cv::Mat& image, double strength, double angle) {
    const double cx = image.cols / 2.0;
    const double cy = image.rows / 2.0;
    const double a = 2.0 * strength / std::max(image.cols, image.rows);
    const cv::Matx33d toCentre(1, 0, -cx, 0, 1, -cy, 0, 0, 1);
    const cv::Matx33d back(1, 0, cx, 0, 1, cy, 0, 0, 1);
    const cv::Matx33d bend(1, 0, 0, 0, 1, 0, a * std::cos(angle), a * std::sin(angle), 1);
    const cv::Matx33d map = back * bend * toCentre;
    cv::Mat out;
    cv::warpPerspective(image, out, cv::Mat(map), image.size(), cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, cv::Scalar::all(255));
    return out;
}

}  // namespace qcl::test

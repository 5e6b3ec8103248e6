// How often noise passes the frame checks: random module grids of every symbol size through
// unmasking and frame decoding as the stage chain runs them, with header and checksum alone
// (what the frame format itself checks) and with the writer's layout rules on top; and how many
// frame checks one decode costs. From the two, the misreads to expect per million images.
//
//   quorview_false_accept [--grids N] [--seed S] [--show-accepted K] [--failing-image PNG]
//                         [--doubts 1]
//
// With --doubts 1 every black-and-white module carries a random doubt, as the grey-level reading
// of noise gives it, so the frame decoder's erasure reads are tried too.
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/Logger.h"
#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "decoder/data/DataMask.h"
#include "decoder/data/FrameDecoder.h"
#include "support/RoundTrip.h"
#include "support/SeededRandom.h"
#include "support/SymbolFixtures.h"
#include "writer/SymbolSizing.h"

namespace {

using qcl::CodeType;
using qcl::ModuleList;
using qcl::SamplingGrid;

struct Tally {
    long tries = 0;
    long acceptedBefore = 0;  // header and checksum only
    long acceptedAfter = 0;   // with the writer's layout rules
};

// One random grid through the five masks, counting accepted frames both ways.
void tryGrid(const SamplingGrid& shape, const ModuleList& modules, Tally& tally,
             std::vector<std::string>& acceptedBefore, std::uint32_t seed) {
    for (int mask = 0; mask < qcl::kMaskCount; ++mask) {
        for (const bool strict : {false, true}) {
            SamplingGrid grid = shape;
            grid.checkWriterLayout = strict;
            ModuleList unmasked = modules;
            if (qcl::applyMaskAndLayout(grid, unmasked, mask, qcl::Layout::HorizontalShortSnake) !=
                qcl::Success) {
                continue;
            }
            std::string payload;
            std::uint8_t type = 0;
            std::uint8_t ecc = 0;
            bool accepted = false;
            try {
                accepted = qcl::decodeFrame(grid, unmasked, &payload, &type, &ecc) == qcl::Success;
            } catch (const qcl::QCException&) {
                accepted = false;  // a payload shorter than its header says: refused
            }
            if (!strict) {
                ++tally.tries;
                tally.acceptedBefore += accepted ? 1 : 0;
                if (accepted) {
                    acceptedBefore.push_back("M=" + std::to_string(grid.modulesPerRing) +
                                             " rings=" + std::to_string(grid.ringCount) +
                                             (grid.bitsPerModule == 3 ? " colour" : " bw") +
                                             " seed=" + std::to_string(seed) +
                                             " mask=" + std::to_string(mask));
                }
            } else {
                tally.acceptedAfter += accepted ? 1 : 0;
            }
        }
    }
}

// Frame checks (decodeFrame calls) of one decode of `image`.
long frameChecksOf(const cv::Mat& image, CodeType codeType) {
    long calls = 0;
    qcl::StageFunctions stages = qcl::realStages();
    const auto real = stages.decodeFrame;
    stages.decodeFrame = [&](const SamplingGrid& grid, const ModuleList& modules, std::string* p,
                             std::uint8_t* t, std::uint8_t* e, qcl::FrameReport* r) {
        ++calls;
        return real(grid, modules, p, t, e, r);
    };
    qcl::DecodeParameters parameters;
    parameters.codeType = codeType;
    try {
        qcl::decode(parameters, image, true, stages);
    } catch (const qcl::QCException&) {
    }
    return calls;
}

}  // namespace

int main(int argc, char** argv) {
    int gridsPerShape = 2000;
    std::uint32_t seed = 1;
    int show = 0;
    std::string failingPath;
    bool doubts = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--grids") == 0) {
            gridsPerShape = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--seed") == 0) {
            seed = static_cast<std::uint32_t>(std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--failing-image") == 0) {
            failingPath = argv[i + 1];
        } else if (std::strcmp(argv[i], "--doubts") == 0) {
            doubts = std::atoi(argv[i + 1]) != 0;
        } else if (std::strcmp(argv[i], "--show-accepted") == 0) {
            show = std::atoi(argv[i + 1]);
        }
    }
    qcl::logger().setFileThreshold(qcl::LogLevel::Off);
    qcl::logger().setConsoleThreshold(qcl::LogLevel::Off);

    std::printf(
        "| modules x rings | code | tries | accepted, header+checksum | accepted, writer rules "
        "|\n");
    std::printf("|---|---|---|---|---|\n");
    Tally total;
    std::vector<std::string> acceptedBefore;
    for (const CodeType codeType : {CodeType::BlackAndWhite, CodeType::Color}) {
        for (int modules = 16; modules <= 80; modules += 16) {
            const int most = qcl::writer::maxRingCount(codeType, modules);
            for (int rings = 2; rings <= std::min(9, most); ++rings) {
                SamplingGrid grid;
                grid.codeType = codeType;
                grid.modulesPerRing = modules;
                grid.ringCount = rings;
                grid.bitsPerModule = codeType == CodeType::Color ? 3 : 1;
                Tally tally;
                for (int g = 0; g < gridsPerShape; ++g) {
                    const std::uint32_t gridSeed =
                        seed * 1000003u +
                        static_cast<std::uint32_t>(modules * 131 + rings * 17 + g * 7919);
                    ModuleList values =
                        qcl::test::randomModules(modules, rings, codeType, gridSeed);
                    if (doubts && codeType == CodeType::BlackAndWhite) {
                        qcl::test::SeededRandom random(gridSeed);
                        for (std::uint8_t& value : values) {
                            value = qcl::withDoubt(
                                value,
                                static_cast<std::uint8_t>(random.uniformInt(0, qcl::kMaxDoubt)));
                        }
                    }
                    tryGrid(grid, values, tally, acceptedBefore, gridSeed);
                }
                std::printf(
                    "| %d x %d | %s | %ld | %ld (%.2e) | %ld (%.2e) |\n", modules, rings,
                    codeType == CodeType::Color ? "colour" : "bw", tally.tries,
                    tally.acceptedBefore, static_cast<double>(tally.acceptedBefore) / tally.tries,
                    tally.acceptedAfter, static_cast<double>(tally.acceptedAfter) / tally.tries);
                total.tries += tally.tries;
                total.acceptedBefore += tally.acceptedBefore;
                total.acceptedAfter += tally.acceptedAfter;
            }
        }
    }
    const double before = static_cast<double>(total.acceptedBefore) / total.tries;
    const double after = static_cast<double>(total.acceptedAfter) / total.tries;
    std::printf(
        "\nper frame check: %.3e accepted with header and checksum, %.3e with the writer's "
        "rules (%ld tries)\n",
        before, after, total.tries);

    // Frame checks per decode on a failing symbol (too small to read) and on a no-symbol image.
    qcl::writer::SymbolOptions options;
    options.modulesPerRing = 64;
    options.ringCount = 9;
    qcl::RenderOptions render;
    render.imageSize = cv::Size(640, 640);
    const cv::Mat symbol =
        qcl::test::writeSymbol("false accept probe 0123456789", options, render).image;
    cv::Mat small;
    cv::resize(symbol, small, cv::Size(200, 200), 0, 0, cv::INTER_AREA);
    cv::Mat failing(640, 640, CV_8UC3, cv::Scalar::all(255));
    small.copyTo(failing(cv::Rect(220, 220, 200, 200)));
    failing = qcl::test::jpegRoundTrip(failing, 60);
    if (!failingPath.empty()) {
        failing = cv::imread(failingPath, cv::IMREAD_COLOR);
    }
    cv::Mat noise(640, 640, CV_8UC3);
    cv::randu(noise, cv::Scalar::all(0), cv::Scalar::all(255));
    const long clean = frameChecksOf(symbol, CodeType::BlackAndWhite);
    const long failed = frameChecksOf(failing, CodeType::BlackAndWhite);
    const long none = frameChecksOf(noise, CodeType::BlackAndWhite);
    std::printf("frame checks per decode: clean %ld, failing small symbol %ld, noise %ld\n", clean,
                failed, none);
    std::printf("expected misreads per million failing images: %.1f before, %.3f after\n",
                before * failed * 1e6, after * failed * 1e6);
    for (int i = 0; i < show && i < static_cast<int>(acceptedBefore.size()); ++i) {
        std::printf("accepted before: %s\n", acceptedBefore[static_cast<std::size_t>(i)].c_str());
    }
    return 0;
}

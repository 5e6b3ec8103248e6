// A wrong payload is never reported: an image the reader once misread, and random module grids
// whose noise passes header and checksum, which the writer's layout rules refuse.
#include <gtest/gtest.h>
#include <opencv2/imgcodecs.hpp>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "decoder/Decoder.h"
#include "decoder/StageChain.h"
#include "decoder/data/DataMask.h"
#include "decoder/data/FrameDecoder.h"
#include "support/SymbolFixtures.h"
#include "tests/decoder/data/DataPathFixture.h"

namespace qcl {
namespace {

std::string dataFile(const std::string& name) {
    const char* root = std::getenv("QUORVIEW_SOURCE_DIR");
    return std::string(root != nullptr ? root : "..") + "/tests/data/" + name;
}

// Images the reader once misread; each must read right or not at all:
// - a 64 x 8 symbol of 40 bytes at 200 px, JPEG quality 60: its modules are noise to the chain,
//   and one try's noise once passed the frame checks as the Digits text "1774816858890728";
// - a small symbol shrunk to 168 px through heavy JPEG, whose grid read as one colour: the all-zero
//   codeword of an empty frame, once reported as an empty text.
TEST(Misread, ImagesOnceMisreadReadRightOrNotAtAll) {
    for (const char* name : {"misread-jpeg60-200px", "misread-blank-grid-168px"}) {
        SCOPED_TRACE(name);
        const cv::Mat image = cv::imread(dataFile(std::string(name) + ".png"), cv::IMREAD_COLOR);
        ASSERT_FALSE(image.empty());
        std::ifstream file(dataFile(std::string(name) + ".txt"), std::ios::binary);
        const std::string expected{std::istreambuf_iterator<char>(file),
                                   std::istreambuf_iterator<char>()};
        const DecodeAllResult result = decodeAll(DecodeParameters{}, image, DecodeOptions{});
        for (const DecodedSymbol& symbol : result.symbols) {
            EXPECT_EQ(symbol.payload, expected);
        }
    }
}

// Random grids (seeded as the false-accept measurement draws them) whose frame passed header and
// checksum at the given mask; the layout rules refuse every one.
TEST(Misread, RandomGridsThatPassedTheChecksumAreRefused) {
    struct Accepted {
        int modulesPerRing;
        int rings;
        CodeType codeType;
        std::uint32_t seed;
        int mask;
    };
    const Accepted accepted[] = {
        {64, 3, CodeType::BlackAndWhite, 1634039u, 0},
        {64, 4, CodeType::BlackAndWhite, 3122828u, 1},
        {48, 5, CodeType::BlackAndWhite, 3587970u, 4},
        {32, 7, CodeType::BlackAndWhite, 10821290u, 3},
        {16, 4, CodeType::Color, 17795782u, 4},
        {32, 2, CodeType::Color, 24821997u, 2},
        {48, 4, CodeType::Color, 9041560u, 0},
    };
    for (const Accepted& a : accepted) {
        SamplingGrid grid =
            test::makeGrid(a.modulesPerRing, a.rings, a.codeType == CodeType::Color);
        const ModuleList drawn = test::randomModules(a.modulesPerRing, a.rings, a.codeType, a.seed);
        for (const bool strict : {false, true}) {
            grid.checkWriterLayout = strict;
            ModuleList modules = drawn;
            ASSERT_EQ(applyMaskAndLayout(grid, modules, a.mask, Layout::HorizontalShortSnake),
                      Success);
            std::string payload;
            std::uint8_t type = 0;
            std::uint8_t ecc = 0;
            const ErrorCode code = decodeFrame(grid, modules, &payload, &type, &ecc);
            EXPECT_EQ(code == Success, !strict) << "seed " << a.seed << " strict " << strict;
        }
    }
}

}  // namespace
}  // namespace qcl

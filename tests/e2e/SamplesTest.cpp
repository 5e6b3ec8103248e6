// The shipped sample images decode to their expected texts (colour codes are named "colour-*").
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/RoundTrip.h"

namespace qcl {
namespace {

namespace fs = std::filesystem;

TEST(Samples, EverySampleDecodesToItsText) {
    const char* root = std::getenv("QUORVIEW_SOURCE_DIR");
    // Run by hand: the samples lie two folders above this source file.
    const fs::path folder =
        (root != nullptr ? fs::path(root) : fs::path(__FILE__).parent_path() / ".." / "..") /
        "samples";
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    int samples = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const fs::path image = entry.path();
        if (image.extension() != ".png") {
            continue;
        }
        ++samples;
        std::ifstream expectedFile(fs::path(image).replace_extension(".txt"), std::ios::binary);
        ASSERT_TRUE(expectedFile.is_open()) << image << " has no text file";
        std::ostringstream expected;
        expected << expectedFile.rdbuf();
        const bool colour = image.filename().string().rfind("colour-", 0) == 0;
        const test::ReadResult read =
            test::readSymbol(cv::imread(image.string(), cv::IMREAD_COLOR),
                             colour ? CodeType::Color : CodeType::BlackAndWhite);
        EXPECT_TRUE(read.decoded) << image << ": error " << read.errorCode;
        EXPECT_EQ(read.payload, expected.str()) << image;
    }
    EXPECT_GE(samples, 4) << "samples missing in " << folder;
}

}  // namespace
}  // namespace qcl

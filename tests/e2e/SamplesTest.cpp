// The shipped sample images decode to their expected texts.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/RoundTrip.h"

namespace qcl {
namespace {

namespace fs = std::filesystem;

fs::path samplesFolder() {
    if (const char* root = std::getenv("QUORVIEW_SOURCE_DIR")) {
        return fs::path(root) / "samples";
    }
    // Run by hand: the samples lie two folders above this source file.
    return fs::path(__FILE__).parent_path().parent_path().parent_path() / "samples";
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Samples, EverySampleDecodesToItsText) {
    const fs::path folder = samplesFolder();
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    std::vector<fs::path> images;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".png") {
            images.push_back(entry.path());
        }
    }
    ASSERT_GE(images.size(), 4u) << "samples missing in " << folder;
    for (const fs::path& image : images) {
        fs::path expectedFile = image;
        expectedFile.replace_extension(".txt");
        ASSERT_TRUE(fs::exists(expectedFile)) << expectedFile;
        const bool colour = image.filename().string().rfind("colour-", 0) == 0;
        const cv::Mat pixels = cv::imread(image.string(), cv::IMREAD_COLOR);
        ASSERT_FALSE(pixels.empty()) << image;
        const test::ReadResult read =
            test::readSymbol(pixels, colour ? CodeType::Color : CodeType::BlackAndWhite);
        EXPECT_TRUE(read.decoded) << image << ": error " << read.errorCode;
        EXPECT_EQ(read.payload, readText(expectedFile)) << image;
    }
}

}  // namespace
}  // namespace qcl

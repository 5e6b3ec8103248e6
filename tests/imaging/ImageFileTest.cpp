#include "imaging/ImageFile.h"
#include "imaging/RowShrinker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <filesystem>
#include <fstream>

namespace qcl {
namespace {

// A picture with structure in every channel, so swapped channels or rows show.
cv::Mat gradient(int width, int height) {
    cv::Mat image(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.at<cv::Vec3b>(y, x) =
                cv::Vec3b(static_cast<uchar>(x * 4), static_cast<uchar>(y * 4),
                          static_cast<uchar>(255 - x * 2));
        }
    }
    return image;
}

std::vector<std::uint8_t> encode(const std::string& extension, const cv::Mat& image) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(cv::imencode(extension, image, bytes)) << extension;
    return bytes;
}

double meanDifference(const cv::Mat& a, const cv::Mat& b) {
    cv::Mat difference;
    cv::absdiff(a, b, difference);
    return cv::mean(difference.reshape(1))[0];
}

TEST(ImageFile, ReadsEveryDepthAndChannelCountAsBgr) {
    const cv::Mat bgr = gradient(60, 40);
    cv::Mat grey, bgra, grey16, greyAsBgr;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    cv::cvtColor(bgr, bgra, cv::COLOR_BGR2BGRA);
    cv::cvtColor(grey, greyAsBgr, cv::COLOR_GRAY2BGR);
    grey.convertTo(grey16, CV_16U, 257);
    const cv::Mat clear(bgr.size(), CV_8UC4, cv::Scalar::all(0));
    const cv::Mat white(bgr.size(), CV_8UC3, cv::Scalar::all(255));
    // Our conversions to 8-bit BGR: grey, alpha (transparent areas white) and 16-bit in the
    // formats that carry them.
    const struct {
        const char* extension;
        cv::Mat written;
        const cv::Mat& expected;
        double tolerance;
    } cases[] = {
        {".png", bgr, bgr, 0.0},           {".png", grey, greyAsBgr, 0.0},
        {".png", bgra, bgr, 0.0},          {".png", grey16, greyAsBgr, 0.5},
        {".tiff", grey16, greyAsBgr, 0.5}, {".jpg", bgr, bgr, 4.0},
        {".png", clear, white, 0.0},
    };
    for (const auto& c : cases) {
        const ImageReadResult read = readImageBytes(encode(c.extension, c.written));
        ASSERT_TRUE(read.ok()) << c.extension << ": " << read.error;
        ASSERT_EQ(read.image.type(), CV_8UC3) << c.extension;
        ASSERT_EQ(read.image.size(), bgr.size()) << c.extension;
        EXPECT_LE(meanDifference(read.image, c.expected), c.tolerance)
            << c.extension << " depth " << c.written.depth() << " channels "
            << c.written.channels();
    }
}

TEST(ImageFile, DamagedBytesAnswerOneLineOfOurOwn) {
    const cv::Mat bgr = gradient(64, 64);
    for (const char* extension : {".png", ".jpg"}) {
        const std::vector<std::uint8_t> whole = encode(extension, bgr);
        for (const std::size_t kept : {std::size_t{0}, std::size_t{3}, std::size_t{20}}) {
            const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + kept);
            const ImageReadResult read = readImageBytes(cut);
            EXPECT_FALSE(read.ok()) << extension << " kept " << kept;
            EXPECT_EQ(read.error.rfind("The image bytes cannot be read: ", 0), 0u) << read.error;
            EXPECT_EQ(read.error.find('\n'), std::string::npos) << read.error;
        }
    }
    EXPECT_FALSE(readImageFile("/nonexistent/image.png").ok());
}

// Every kind of path gets one line of our own and no wait: a directory, a device, a pipe nobody
// writes to, a file whose reading fails, an empty file and a missing one.
TEST(ImageFile, PathsThatNameNoImageFileAreRefusedInOurWords) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("quorview-paths-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::ofstream(dir / "empty.png").close();
    const std::string pngBytes = [] {
        const std::vector<std::uint8_t> bytes = encode(".png", gradient(8, 8));
        return std::string(bytes.begin(), bytes.end());
    }();
    std::ofstream(dir / "real.png", std::ios::binary) << pngBytes;
    // A sparse file of 4 GiB that starts as a PNG: refused by its size, before it is read.
    std::ofstream(dir / "huge.png", std::ios::binary) << pngBytes;
    fs::resize_file(dir / "huge.png", std::uintmax_t{4} << 30);
    const struct {
        std::string path;
        std::string reason;  // "" when the file is read
    } cases[] = {
        {dir.string(), "it is a directory"},
        {"/dev/null", "it is a device, not a file"},
        {"/dev/zero", "it is a device, not a file"},
        {(dir / "pipe").string(), "it is a pipe that delivered nothing (no writer)"},
        // Readable by its permissions, even to root, but the system refuses to read it.
        {"/proc/self/mem", "it is unreadable (Input/output error)"},
        {(dir / "missing.png").string(), "it is missing"},
        {(dir / "real.png/inside").string(), "it is missing"},
        {(dir / "huge.png").string(), "it is larger than 1 GiB"},
        {(dir / "real.png").string(), ""},
    };
    for (const auto& c : cases) {
        const FileBytes read = readFileBytes(c.path);
        EXPECT_EQ(read.error, c.reason) << c.path;
        if (c.reason.empty()) {
            EXPECT_EQ(std::string(read.bytes.begin(), read.bytes.end()), pngBytes);
        }
    }
    const ImageReadResult folder = readImageFile(dir.string());
    EXPECT_EQ(folder.error, "Image file '" + dir.string() + "' cannot be read: it is a directory");
    EXPECT_EQ(readImageFile((dir / "empty.png").string()).error,
              "Image file '" + (dir / "empty.png").string() + "' cannot be read: it is empty");
    fs::remove_all(dir);
}

TEST(ImageFile, LargeImagesAreReducedWhileReading) {
    // 4500 x 4000 is past the pixel budget: read at half size, the picture averaged not cropped.
    cv::Mat large(4000, 4500, CV_8UC3, cv::Scalar(255, 255, 255));
    cv::rectangle(large, cv::Rect(0, 0, 2250, 2000), cv::Scalar(0, 0, 0), cv::FILLED);
    for (const char* extension : {".png", ".jpg"}) {
        const ImageReadResult read = readImageBytes(encode(extension, large));
        ASSERT_TRUE(read.ok()) << extension << ": " << read.error;
        EXPECT_EQ(read.image.size(), cv::Size(2250, 2000)) << extension;
        EXPECT_LE(static_cast<std::int64_t>(read.image.total()), kMaxReadPixels);
        EXPECT_LT(read.image.at<cv::Vec3b>(500, 500)[0], 10) << extension;
        EXPECT_GT(read.image.at<cv::Vec3b>(1500, 1500)[0], 245) << extension;
    }
}

}  // namespace
}  // namespace qcl

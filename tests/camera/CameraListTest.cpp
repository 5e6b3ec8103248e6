// The camera listing: heading, device lines, sorted distinct frame sizes, silence on failure;
// the Video for Linux queries on a device folder without cameras.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "camera/CameraList.h"
#include "camera/V4l2Queries.h"

namespace qcl {
namespace {

const std::string kHeading = "Available camera devices are: \n";

// Devices and sizes as a test describes them.
class FakeQueries : public CameraQueries {
  public:
    bool enumerates = true;
    std::vector<CameraDevice> devices;
    std::map<int, std::vector<FrameSizeEntry>> sizes;
    std::map<int, bool> sizeQueryFails;

    bool listDevices(std::vector<CameraDevice>& out) override {
        if (!enumerates) {
            return false;
        }
        out = devices;
        return true;
    }
    bool frameSizes(const CameraDevice& device, std::vector<FrameSizeEntry>& out) override {
        out = sizes[device.index];  // what was gathered before a failure is still handed back
        return !sizeQueryFails[device.index];
    }
};

std::string listing(CameraQueries& queries) {
    std::ostringstream out;
    listCameraDevices(out, queries);
    return out.str();
}

TEST(CameraListTest, NoDeviceGivesTheHeadingOnly) {
    FakeQueries queries;
    EXPECT_EQ(listing(queries), kHeading);
}

TEST(CameraListTest, FailedEnumerationPrintsNothing) {
    FakeQueries queries;
    queries.enumerates = false;
    queries.devices = {{0, "Hidden"}};
    EXPECT_EQ(listing(queries), "");
}

TEST(CameraListTest, RepeatedAndUnsortedSizesAreListedOnceInOrder) {
    FakeQueries queries;
    queries.devices = {{0, "USB Camera"}, {2, "Second Camera"}};
    using F = FrameSizeEntry;
    // The same sizes in two pixel formats, out of order.
    queries.sizes[0] = {F::size(1280, 720), F::size(640, 480), F::size(640, 360),
                        F::size(320, 240),  F::size(640, 480), F::size(1280, 720),
                        F::size(320, 240),  F::size(0, 0),     F::size(640, 360)};
    queries.sizes[2] = {F::size(800, 600)};
    EXPECT_EQ(listing(queries), kHeading +
                                    "0) USB Camera\n"
                                    "\t320 x 240\n"
                                    "\t640 x 360\n"
                                    "\t640 x 480\n"
                                    "\t1280 x 720\n"
                                    "2) Second Camera\n"
                                    "\t800 x 600\n");
}

TEST(CameraListTest, SizesSortByWidthThenHeightNotByArea) {
    using F = FrameSizeEntry;
    const std::vector<std::uint64_t> sizes =
        distinctFrameSizes({F::size(800, 100), F::size(640, 2000), F::size(640, 480)});
    ASSERT_EQ(sizes.size(), 3U);
    EXPECT_EQ(sizes[0], (640ULL << 32) | 480);
    EXPECT_EQ(sizes[1], (640ULL << 32) | 2000);
    EXPECT_EQ(sizes[2], (800ULL << 32) | 100);
}

TEST(CameraListTest, RangesGiveTheirEndsAndTheCommonSizesOnTheirGrid) {
    using F = FrameSizeEntry;
    FakeQueries queries;
    queries.devices = {{0, "Range Camera"}};
    // Widths 160..1280 in steps of 16, heights 120..960 in steps of 8.
    queries.sizes[0] = {F::range(160, 120, 1280, 960, 16, 8)};
    EXPECT_EQ(listing(queries), kHeading +
                                    "0) Range Camera\n"
                                    "\t160 x 120\n\t176 x 144\n\t320 x 240\n\t352 x 288\n"
                                    "\t640 x 360\n\t640 x 480\n\t800 x 448\n\t800 x 600\n"
                                    "\t848 x 480\n\t1024 x 576\n\t1024 x 768\n\t1280 x 720\n"
                                    "\t1280 x 960\n");
}

TEST(CameraListTest, ContinuousRangeAndDiscreteSizesMergeWithoutRepeats) {
    using F = FrameSizeEntry;
    const std::vector<std::uint64_t> sizes =
        distinctFrameSizes({F::range(640, 480, 800, 600, 1, 1), F::size(640, 480),
                            F::size(800, 600), F::size(700, 500)});
    const std::vector<std::uint64_t> expected = {(640ULL << 32) | 480, (700ULL << 32) | 500,
                                                 (800ULL << 32) | 600};
    EXPECT_EQ(sizes, expected);
}

TEST(CameraListTest, RangeWithStepZeroHasOnlyItsEnds) {
    using F = FrameSizeEntry;
    const std::vector<std::uint64_t> sizes =
        distinctFrameSizes({F::range(320, 240, 1280, 720, 0, 0)});
    const std::vector<std::uint64_t> expected = {(320ULL << 32) | 240, (1280ULL << 32) | 720};
    EXPECT_EQ(sizes, expected);
}

TEST(CameraListTest, DeviceWhoseSizesCannotBeAskedIsListedWithoutOrWithPartialSizes) {
    FakeQueries queries;
    queries.devices = {{0, "Busy"}, {1, "Partly"}};
    queries.sizeQueryFails[0] = true;
    queries.sizeQueryFails[1] = true;
    queries.sizes[1] = {FrameSizeEntry::size(640, 480)};
    EXPECT_EQ(listing(queries), kHeading + "0) Busy\n1) Partly\n\t640 x 480\n");
}

TEST(V4l2QueriesTest, NodeNamesAreVideoAndDigits) {
    EXPECT_EQ(videoNodeNumber("video0"), 0);
    EXPECT_EQ(videoNodeNumber("video12"), 12);
    EXPECT_EQ(videoNodeNumber("video"), -1);
    EXPECT_EQ(videoNodeNumber("video1a"), -1);
    EXPECT_EQ(videoNodeNumber("vbi0"), -1);
    EXPECT_EQ(videoNodeNumber("myvideo0"), -1);
    EXPECT_EQ(videoNodeNumber("video99999999999"), -1);
}

class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quorview-camera-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

TEST(V4l2QueriesTest, FolderWithoutCameraDevicesGivesTheHeadingOnly) {
    TempFolder folder;
    // Files named like device nodes that are no devices answer no capability query.
    std::ofstream(folder.path() / "video0") << "not a device";
    std::ofstream(folder.path() / "video3") << "";
    std::ofstream(folder.path() / "null") << "";
    V4l2Queries queries(folder.path().string());
    EXPECT_EQ(listing(queries), kHeading);
}

TEST(V4l2QueriesTest, MissingFolderPrintsNothing) {
    V4l2Queries queries("/nonexistent-device-folder");
    EXPECT_EQ(listing(queries), "");
}

TEST(V4l2QueriesTest, NodePathUsesTheIndex) {
    EXPECT_EQ(V4l2Queries("/dev").nodePath(2), "/dev/video2");
}

}  // namespace
}  // namespace qcl

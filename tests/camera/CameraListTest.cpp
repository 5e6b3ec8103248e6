// The camera listing: heading, device lines, sorted distinct frame sizes; the Video for Linux
// queries on a device folder without cameras (the heading alone) and on none (silence).
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "camera/CameraList.h"
#include "camera/V4l2Queries.h"
#include "support/ProgramRunner.h"

namespace qcl {
namespace {

const std::string kHeading = "Available camera devices are: \n";
using F = FrameSizeEntry;

// Devices and sizes as a test describes them.
class FakeQueries : public CameraQueries {
  public:
    std::vector<CameraDevice> devices;
    std::map<int, std::vector<FrameSizeEntry>> sizes;
    std::map<int, bool> sizeQueryFails;

    bool listDevices(std::vector<CameraDevice>& out) override {
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

// The distinct sizes of `entries` as "640x480 800x600".
std::string sizesText(const std::vector<FrameSizeEntry>& entries) {
    std::string text;
    for (const std::uint64_t size : distinctFrameSizes(entries)) {
        text += (text.empty() ? "" : " ") + std::to_string(size >> 32) + "x" +
                std::to_string(size & 0xFFFFFFFFU);
    }
    return text;
}

TEST(CameraListTest, RepeatedAndUnsortedSizesAreListedOnceInOrder) {
    FakeQueries queries;
    queries.devices = {{0, "USB Camera"}, {1, "Busy"}, {3, "Partly"}};
    // The same sizes in two pixel formats, out of order.
    queries.sizes[0] = {F::size(1280, 720), F::size(640, 480), F::size(640, 360),
                        F::size(320, 240),  F::size(640, 480), F::size(1280, 720),
                        F::size(320, 240),  F::size(0, 0),     F::size(640, 360)};
    // Devices that cannot be asked are listed with what was gathered before the failure.
    queries.sizeQueryFails = {{1, true}, {3, true}};
    queries.sizes[3] = {F::size(800, 600)};
    EXPECT_EQ(listing(queries),
              kHeading + "0) USB Camera\n\t320 x 240\n\t640 x 360\n\t640 x 480\n\t1280 x 720\n" +
                  "1) Busy\n3) Partly\n\t800 x 600\n");
}

TEST(CameraListTest, DistinctSizesSortByWidthThenHeightAndExpandRanges) {
    const std::pair<std::vector<FrameSizeEntry>, std::string> cases[] = {
        {{F::size(800, 100), F::size(640, 2000), F::size(640, 480)},  // not by area
         "640x480 640x2000 800x100"},
        {{F::range(640, 480, 800, 600, 1, 1), F::size(640, 480), F::size(700, 500)},
         "640x480 700x500 800x600"},
        {{F::range(320, 240, 1280, 720, 0, 0)}, "320x240 1280x720"},  // step 0: only the ends
        // The ends and the common sizes that lie on the grid.
        {{F::range(160, 120, 1280, 960, 16, 8)},
         "160x120 176x144 320x240 352x288 640x360 640x480 800x448 800x600 848x480 1024x576 "
         "1024x768 1280x720 1280x960"}};
    for (const auto& [entries, expected] : cases) {
        EXPECT_EQ(sizesText(entries), expected);
    }
}

TEST(V4l2QueriesTest, NodeNamesAreVideoAndDigits) {
    const std::pair<const char*, int> names[] = {
        {"video0", 0}, {"video12", 12},  {"video", -1},           {"video1a", -1},
        {"vbi0", -1},  {"myvideo0", -1}, {"video99999999999", -1}};
    for (const auto& [name, number] : names) {
        EXPECT_EQ(videoNodeNumber(name), number) << name;
    }
}

TEST(V4l2QueriesTest, FolderWithoutCameraDevicesGivesTheHeadingOnly) {
    const test::TempDir folder;
    // Files named like device nodes that are no devices answer no capability query.
    folder.write("video0", "not a device");
    folder.write("video3", "");
    folder.write("null", "");
    V4l2Queries queries(folder.path().string());
    EXPECT_EQ(listing(queries), kHeading);

    V4l2Queries missing("/nonexistent-device-folder");
    EXPECT_EQ(listing(missing), "");
}

}  // namespace
}  // namespace qcl

// The list of video capture devices and their frame sizes, printed when the menu starts.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace qcl {

// A capture device as the platform reports it; `index` is the number to enter as the menu's
// device number.
struct CameraDevice {
    int index = 0;
    std::string name;
};

// One frame-size entry of a device: a single size, or a range of sizes on a grid (a range with
// steps of 1 is a continuous range).
struct FrameSizeEntry {
    bool discrete = true;
    std::uint32_t width = 0;  // discrete: the size; range: the smallest size
    std::uint32_t height = 0;
    std::uint32_t maxWidth = 0;  // range only
    std::uint32_t maxHeight = 0;
    std::uint32_t stepWidth = 1;
    std::uint32_t stepHeight = 1;

    static FrameSizeEntry size(std::uint32_t width, std::uint32_t height);
    static FrameSizeEntry range(std::uint32_t minWidth, std::uint32_t minHeight,
                                std::uint32_t maxWidth, std::uint32_t maxHeight,
                                std::uint32_t stepWidth, std::uint32_t stepHeight);
};

// The platform queries behind the listing; tests put a fake in their place.
class CameraQueries {
  public:
    virtual ~CameraQueries() = default;
    // Capture devices in index order; false when the platform cannot enumerate at all.
    virtual bool listDevices(std::vector<CameraDevice>& devices) = 0;
    // Every frame-size entry of every pixel format of the device, repeats included; false when
    // the device cannot be asked (its sizes are then left out).
    virtual bool frameSizes(const CameraDevice& device, std::vector<FrameSizeEntry>& sizes) = 0;
};

// The queries of this platform (Video for Linux devices under /dev on Linux).
std::unique_ptr<CameraQueries> platformCameraQueries();

// Prints the heading, then per device its index, ") " and name, then its distinct frame sizes in
// ascending order of width, then height, each as a tab, width, " x ", height. Prints nothing when
// the devices cannot be enumerated; never throws.
void listCameraDevices(std::ostream& out, CameraQueries& queries);
// The same for the platform's devices on standard output.
void listCameraDevices();

// The distinct frame sizes of every device, packed as below; empty when none can be listed.
std::vector<std::uint64_t> listedFrameSizes(CameraQueries& queries);
// The same for the platform's devices.
std::vector<std::uint64_t> listedFrameSizes();
// Sizes that cameras commonly offer, packed as below, for when no camera lists its own.
std::vector<std::uint64_t> commonFrameSizes();

// Frame sizes packed as width << 32 | height, sorted and without repeats or zero sizes. A range
// contributes its smallest and largest size and the common sizes that lie on its grid.
std::vector<std::uint64_t> distinctFrameSizes(const std::vector<FrameSizeEntry>& entries);

}  // namespace qcl
